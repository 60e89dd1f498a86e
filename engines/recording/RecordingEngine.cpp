// The recording engine: fills every EngineFunctions entry with a recorder.
// Each entry logs its arguments, may call back a test's function (which can
// call host services from inside the call), may raise, and returns what the
// test asked for (0 by default). Texts it returns come from the host's
// Allocate service, as the contract requires.
#ifndef _WIN32
#include <fcntl.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>
#endif

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <map>
#include <stdexcept>
#include <string>
#include <thread>
#include <utility>
#include <vector>

#include "ComponentExchange.h"
#include "EngineSide.h"
#include "RecordingEngineControl.h"

namespace {

constexpr size_t kMaxCalls = 16384;
constexpr size_t kTextResultRoom = 128 * 1024;  // tests hand over long replies
constexpr size_t kServiceTextRoom = 1024;

// Plain data of fixed widths: it may live in a file that processes of both
// widths map.
struct EntryBehaviour {
    int64_t result;
    int32_t hasText;
    int32_t raise;
    int32_t serviceCall;
    char serviceText[kServiceTextRoom];
};

struct SharedState {
    int64_t callCount;
    RecordedCall calls[kMaxCalls];
    EntryBehaviour behaviours[EngineFunctions::kCount];
    // The texts the two entries with text results answer.
    char getVariableText[kTextResultRoom];
    char callFunction2Text[kTextResultRoom];
    int32_t rectWords[4];
    int32_t threadServicesEntry;
    int32_t threadServicesDelayMs;
    int32_t paintEntry;
    uint32_t paintColor;
    int32_t paintRect[4];  // left, top, right, bottom
    int32_t engineProcessId;
    int32_t lastStatus;
    int32_t lastHasReply;
    char lastReply[kServiceTextRoom];
};

// What only this process can hold: addresses.
struct LocalState {
    HostServices* services = nullptr;
    RecordingCallback callbacks[EngineFunctions::kCount] = {};
    void* callbackContexts[EngineFunctions::kCount] = {};
    std::map<InstanceRecord*, const BackBufferInfo*> backBuffers;  // as the host last described them
    void* componentReply = nullptr;
    int32_t componentCount = 0;
};

LocalState& Local() {
    static LocalState state;
    return state;
}

void ClearShared(SharedState& state) {
    std::memset(&state, 0, sizeof state);
    state.lastStatus = -1;
}

// The file the environment names, mapped; null when none is named.
SharedState* MapNamedState() {
    const char* path = std::getenv(kRecordingStateVariable);
#ifdef _WIN32
    char buffer[1024];
    DWORD length = GetEnvironmentVariableA(kRecordingStateVariable, buffer, sizeof buffer);
    path = length > 0 && length < sizeof buffer ? buffer : nullptr;
    if (!path) return nullptr;
    HANDLE file = CreateFileA(path, GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                              OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) return nullptr;
    HANDLE mapping = CreateFileMappingA(file, nullptr, PAGE_READWRITE, 0, sizeof(SharedState), nullptr);
    CloseHandle(file);
    if (!mapping) return nullptr;
    void* view = MapViewOfFile(mapping, FILE_MAP_ALL_ACCESS, 0, 0, sizeof(SharedState));
    CloseHandle(mapping);
    return static_cast<SharedState*>(view);
#else
    if (!path) return nullptr;
    int fd = open(path, O_RDWR | O_CREAT | O_CLOEXEC, 0600);
    if (fd < 0) return nullptr;
    struct stat status {};
    bool sized = fstat(fd, &status) == 0 && (static_cast<size_t>(status.st_size) >= sizeof(SharedState) ||
                                             ftruncate(fd, sizeof(SharedState)) == 0);
    void* view = sized ? mmap(nullptr, sizeof(SharedState), PROT_READ | PROT_WRITE, MAP_SHARED, fd, 0) : MAP_FAILED;
    close(fd);
    return view == MAP_FAILED ? nullptr : static_cast<SharedState*>(view);
#endif
}

SharedState& State() {
    static SharedState* state = [] {
        SharedState* named = MapNamedState();
        if (named) return named;
        static SharedState own;
        ClearShared(own);
        return &own;
    }();
    return *state;
}

constexpr size_t kTextRoom = sizeof(RecordedCall::text[0]);

void CopyText(char* target, const char* text, size_t room) {
    if (!text) return;
    std::strncpy(target, text, room - 1);
    target[room - 1] = 0;
}

// Recurses until the stack is gone; the volatile limit hides that from the compiler.
volatile int recursionLimit = -1;
int Recurse(int depth) {
    volatile char frame[512];
    frame[depth % sizeof frame] = static_cast<char>(depth);
    return depth == recursionLimit ? 0 : Recurse(depth + 1) + frame[0];
}

void CorruptHeap() {
    char* volatile block = static_cast<char*>(std::malloc(64));
    std::free(block);
    std::free(block);
}

// What a chatty engine does: prints, through the C runtime and the handles.
void PrintOutput() {
    static const char line[] = "\xff\xff\xff\x7f an engine's output, which reaches nobody\n";
    for (int i = 0; i < 8 * 1024; ++i) {
        std::fputs(line, i % 2 ? stdout : stderr);
    }
    std::fflush(stdout);
    DWORD written = 0;
    for (DWORD which : {STD_OUTPUT_HANDLE, STD_ERROR_HANDLE}) {
        for (int i = 0; i < 4 * 1024; ++i) WriteFile(GetStdHandle(which), line, sizeof line - 1, &written, nullptr);
    }
}

void Raise(int32_t kind) {
    switch (kind) {
        case kRaiseNothing: return;
#ifdef _WIN32
        case kRaiseForeignCppException: RaiseException(0xE06D7363, EXCEPTION_NONCONTINUABLE, 0, nullptr); return;
        case kRaiseAccessViolation: *static_cast<volatile int*>(nullptr) = 1; return;
#endif
        case kRaiseCrash: *static_cast<volatile int*>(nullptr) = 1; return;
        case kRaiseAbort: std::abort();
        case kRaiseStackOverflow: Recurse(0); return;
        case kRaiseHeapCorruption: CorruptHeap(); return;
        case kRaisePrintOutput: PrintOutput(); return;
        case kRaiseHang:
            for (;;) std::this_thread::sleep_for(std::chrono::seconds(1));
        default: throw std::runtime_error("recording engine: raise");
    }
}

// Starts the program of an ASCII command line and lets it run on; its process id, 0 if none.
int32_t StartProgram(const char* commandLine) {
    std::u16string line(commandLine, commandLine + std::strlen(commandLine));
    size_t programEnd = line.size() > 1 && line[0] == u'"' ? line.find(u'"', 1) : std::u16string::npos;
    if (programEnd == std::u16string::npos) return 0;
    std::u16string program = line.substr(1, programEnd - 1);
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION started{};
    if (!CreateProcessW(reinterpret_cast<LPCWSTR>(program.c_str()), reinterpret_cast<LPWSTR>(&line[0]), nullptr,
                        nullptr, FALSE, 0, nullptr, nullptr, &startup, &started)) {
        return 0;
    }
    CloseHandle(started.hThread);
    CloseHandle(started.hProcess);
    return static_cast<int32_t>(started.dwProcessId);
}

bool FillBackBuffer(InstanceRecord* record, uint32_t color, const int32_t* r, bool locked);
void BlitBackBuffer(InstanceRecord* record, const int32_t* r);

// The scripted service call of an entry, with what it gave kept for the test.
void MakeServiceCall(InstanceRecord* record, const EntryBehaviour& behaviour) {
    SharedState& state = State();
    HostServices* services = Local().services;
    if (behaviour.serviceCall == kServiceCallNothing || !services) return;
    if (behaviour.serviceCall == kServiceCallTrace) {
        state.lastStatus = EntryAs<service::Trace>(services->entries[kServiceTrace])(record, behaviour.serviceText);
        return;
    }
    if (behaviour.serviceCall == kSetNullCursor || behaviour.serviceCall == kSetArrowCursor) {
        SetCursor(behaviour.serviceCall == kSetNullCursor ? nullptr : LoadCursorW(nullptr, IDC_ARROW));
        return;
    }
    if (behaviour.serviceCall == kSendToHostWindow) {
        HWND window = EntryAs<service::GetWindowHandle>(services->entries[kServiceGetWindowHandle])(record);
        state.lastStatus = -1;
        SendMessageW(window, WM_NULL, 0, 0);
        state.lastStatus = 1;
        return;
    }
    if (behaviour.serviceCall == kAskFromTwoThreadsAtOnce) {
        auto getSize = EntryAs<service::GetWindowSize>(services->entries[kServiceGetWindowSize]);
        auto ask = [record, getSize] {
            for (int i = 0; i < 10000; ++i) {
                int32_t width = 0, height = 0;
                getSize(record, &width, &height);
            }
        };
        state.lastStatus = -1;
        std::thread other(ask);
        ask();
        other.join();
        state.lastStatus = 1;
        return;
    }
    if (behaviour.serviceCall == kBlitThenDrawOn) {
        const int32_t area[4] = {0, 0, 10, 10};
        state.lastStatus = -1;
        if (!FillBackBuffer(record, 0x00FF0000, area, true)) return;
        BlitBackBuffer(record, area);
        if (FillBackBuffer(record, 0x000000FF, area, false)) state.lastStatus = 1;
        return;
    }
    if (behaviour.serviceCall == kCloseHostWindowsParent) {
        HWND window = EntryAs<service::GetWindowHandle>(services->entries[kServiceGetWindowHandle])(record);
        state.lastStatus = -1;
        SendMessageW(GetParent(window), WM_CLOSE, 0, 0);
        state.lastStatus = 1;
        return;
    }
    if (behaviour.serviceCall == kUpdateHostWindowOnce || behaviour.serviceCall == kResizeHostWindowOnce) {
        bool resize = behaviour.serviceCall == kResizeHostWindowOnce;
        const_cast<EntryBehaviour&>(behaviour).serviceCall = kServiceCallNothing;  // the paint it causes calls again
        HWND window = EntryAs<service::GetWindowHandle>(services->entries[kServiceGetWindowHandle])(record);
        state.lastStatus = -1;
        if (resize) {
            SetWindowPos(window, nullptr, 0, 0, 70, 50, SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
        } else {
            RECT area{0, 0, 10, 10};
            InvalidateRect(window, &area, FALSE);
            UpdateWindow(window);
        }
        state.lastStatus = 1;
        return;
    }
    if (behaviour.serviceCall == kStartProgram) {
        state.lastStatus = StartProgram(behaviour.serviceText);
        return;
    }
    if (behaviour.serviceCall == kReadStartupFlags) {
        STARTUPINFOW startup{};
        startup.cb = sizeof startup;
        GetStartupInfoW(&startup);
        state.lastStatus = static_cast<int32_t>(startup.dwFlags);
        return;
    }
    if (behaviour.serviceCall == kShowRuntimeErrorBox) {
        MessageBoxW(nullptr, reinterpret_cast<LPCWSTR>(u"Runtime Error!\n\nProgram: stagerun\n\nabnormal program termination"),
                    reinterpret_cast<LPCWSTR>(u"Microsoft Visual C++ Runtime Library"), MB_OK | MB_ICONHAND | MB_TASKMODAL);
        ExitProcess(3);
    }
    if (behaviour.serviceCall == kShowMessageBox) {
        std::u16string text(behaviour.serviceText, behaviour.serviceText + std::strlen(behaviour.serviceText));
        MessageBoxW(nullptr, reinterpret_cast<LPCWSTR>(text.c_str()), reinterpret_cast<LPCWSTR>(u"Movie"), MB_OK);
        state.lastStatus = 1;
        return;
    }
    if (behaviour.serviceCall == kAskToKillScriptFromAThread) {
        state.lastStatus = -1;
        std::thread([record, services] {
            State().lastStatus = EntryAs<service::AskToKillScript>(services->entries[kServiceAskToKillScript])(record);
        }).detach();
        return;
    }
    if (behaviour.serviceCall == kServiceCallPaintNow) {
        EntryAs<service::FourWords>(services->entries[kServiceInvalidateArea])(record, 0, 0, 10, 10);
        EntryAs<service::FlushPainting>(services->entries[kServiceFlushPainting])(record, 0, 0);
        state.lastStatus = 1;
        return;
    }
    if (behaviour.serviceCall == kServiceCallWithoutRecord) record = nullptr;
    if (behaviour.serviceCall == kServiceCallInvalidate) {
        state.lastStatus = EntryAs<service::FourWords>(services->entries[kServiceInvalidateArea])(record, 0, 0, 1, 1);
        return;
    }
    char* reply = nullptr;
    state.lastStatus =
        EntryAs<service::CallFunction>(services->entries[kServiceCallFunction])(record, behaviour.serviceText, &reply);
    state.lastHasReply = reply != nullptr;
    CopyText(state.lastReply, reply, sizeof state.lastReply);
    EntryAs<service::Free>(services->entries[kFree])(reply);
}

// Fills a rectangle of the record's back buffer (left, top, right, bottom)
// through the lock the host gives, or straight into the pixels it was given
// with the buffer; false when there are none.
bool FillBackBuffer(InstanceRecord* record, uint32_t color, const int32_t* r, bool locked) {
    HostServices* services = Local().services;
    auto found = Local().backBuffers.find(record);
    if (!services || found == Local().backBuffers.end() || !found->second) return false;
    const BackBufferInfo& info = *found->second;
    void* pixels = info.pixels;
    if (locked && EntryAs<service::LockBackBuffer>(services->entries[kServiceLockBackBuffer])(record, &pixels) != 0) {
        return false;
    }
    if (!pixels) return false;
    for (int32_t y = std::max(r[1], 0); y < std::min(r[3], info.height); ++y) {
        auto* row = reinterpret_cast<uint32_t*>(static_cast<char*>(pixels) + static_cast<size_t>(y) * info.bytesPerRow);
        for (int32_t x = std::max(r[0], 0); x < std::min(r[2], info.width); ++x) row[x] = color;
    }
    if (locked) EntryAs<service::RecordOnly>(services->entries[kServiceUnlockBackBuffer])(record);
    return true;
}

void BlitBackBuffer(InstanceRecord* record, const int32_t* r) {
    HostServices* services = Local().services;
    EntryAs<service::FourWords>(services->entries[kServiceBlitRect])(record, r[0], r[1], r[2] - r[0], r[3] - r[1]);
}

// The painting a test asked for: into the back buffer, then onto the window.
void Paint(InstanceRecord* record) {
    SharedState& state = State();
    if (FillBackBuffer(record, state.paintColor, state.paintRect, true)) BlitBackBuffer(record, state.paintRect);
}

void CallServicesFromAThread(InstanceRecord* record) {
    HostServices* services = Local().services;
    int32_t delay = State().threadServicesDelayMs;
    if (!services) return;
    std::thread thread([record, services, delay] {
        std::this_thread::sleep_for(std::chrono::milliseconds(std::max(delay, 0)));
        EntryAs<service::FourWords>(services->entries[kServiceInvalidateArea])(record, 0, 0, 20, 20);
        EntryAs<service::Trace>(services->entries[kServiceTrace])(record, "from a thread");
    });
    if (delay < 0) {
        thread.join();
    } else {
        thread.detach();
    }
}

// Records the call, runs the test's callback and scripted service call, raises if asked.
const EntryBehaviour& Enter(int entry, InstanceRecord* record, std::initializer_list<intptr_t> args,
                            const char* text0 = nullptr, const char* text1 = nullptr, double number = 0) {
    RecordedCall call{};
    call.entry = entry;
    call.record = reinterpret_cast<intptr_t>(record);
    int i = 0;
    for (intptr_t arg : args) {
        if (i < 5) call.args[i++] = arg;
    }
    call.number = number;
    CopyText(call.text[0], text0, kTextRoom);
    CopyText(call.text[1], text1, kTextRoom);
    SharedState& state = State();
    if (state.callCount < static_cast<int64_t>(kMaxCalls)) state.calls[state.callCount++] = call;
    state.engineProcessId = static_cast<int32_t>(GetCurrentProcessId());
    const EntryBehaviour& behaviour = state.behaviours[entry];
    LocalState& local = Local();
    if (local.callbacks[entry]) local.callbacks[entry](record, local.services, local.callbackContexts[entry]);
    MakeServiceCall(record, behaviour);
    if (state.paintEntry == entry && entry != 0) Paint(record);
    if (state.threadServicesEntry == entry && entry != 0) CallServicesFromAThread(record);
    Raise(behaviour.raise);
    return behaviour;
}

RecordedCall& LastCall() { return State().calls[State().callCount > 0 ? State().callCount - 1 : 0]; }

char* TextResultOf(int32_t entry) {
    if (entry == kGetVariable) return State().getVariableText;
    return entry == kCallFunction2 ? State().callFunction2Text : nullptr;
}

// A copy of the configured text from the host's heap, or null.
char* AllocatedText(int32_t entry, const EntryBehaviour& behaviour) {
    return behaviour.hasText ? CopyToHostHeap(Local().services, TextResultOf(entry)) : nullptr;
}

// Any entry without a shape of its own: up to five 32-bit words after the
// record (the upper half of a 64-bit slot holding a word is undefined).
template <int N>
intptr_t ENGINE_CDECL Generic(InstanceRecord* record, int32_t a, int32_t b, int32_t c, int32_t d, int32_t e) {
    return Enter(N, record, {a, b, c, d, e}).result;
}

intptr_t ENGINE_CDECL HandleEvent(InstanceRecord* record, const int32_t* event) {
    return Enter(kHandleEvent, record, {event[0], event[1], event[2]}).result;
}

intptr_t ENGINE_CDECL SetBackBuffer(InstanceRecord* record, void* info) {
    auto* described = static_cast<const BackBufferInfo*>(info);
    Local().backBuffers[record] = described;
    // Second: whether the description has a colour table (it must, whatever its count).
    return Enter(kSetBackBuffer, record, {reinterpret_cast<intptr_t>(info), described && described->colorTable ? 1 : 0})
        .result;
}

intptr_t ENGINE_CDECL SetHostModule(InstanceRecord* record, HMODULE module) {
    return Enter(kSetHostModule, record, {reinterpret_cast<intptr_t>(module)}).result;
}

void ENGINE_CDECL Shutdown() { Enter(kShutdown, nullptr, {}); }

intptr_t ENGINE_CDECL GetRect(InstanceRecord* record, int32_t* a, int32_t* b, int32_t* c, int32_t* d) {
    const EntryBehaviour& behaviour = Enter(kGetRect, record, {});
    int32_t* words[4] = {a, b, c, d};
    for (int i = 0; i < 4; ++i) *words[i] = State().rectWords[i];
    return behaviour.result;
}

intptr_t ENGINE_CDECL LoadMovie(InstanceRecord* record, int32_t number, const char* url, uint8_t option) {
    return Enter(kLoadMovie, record, {number, option}, url).result;
}

intptr_t ENGINE_CDECL SetVariable(InstanceRecord* record, const char* name, const char* value) {
    return Enter(kSetVariable, record, {}, name, value).result;
}

char* ENGINE_CDECL GetVariable(InstanceRecord* record, const char* name) {
    return AllocatedText(kGetVariable, Enter(kGetVariable, record, {}, name));
}

intptr_t ENGINE_CDECL CallFunction(InstanceRecord* record, const char* request) {
    return Enter(kCallFunction, record, {}, request).result;
}

intptr_t ENGINE_CDECL CallFunction2(InstanceRecord* record, const char* request, char** reply) {
    const EntryBehaviour& behaviour = Enter(kCallFunction2, record, {}, request);
    if (behaviour.hasText) *reply = AllocatedText(kCallFunction2, behaviour);
    return behaviour.result;
}

intptr_t ENGINE_CDECL GetMovieSize(InstanceRecord* record, int32_t* width, int32_t* height) {
    const EntryBehaviour& behaviour = Enter(kGetMovieSize, record, {});
    *width = static_cast<int32_t>(behaviour.result >> 16);
    *height = static_cast<int32_t>(behaviour.result & 0xFFFF);
    return 0;
}

double ENGINE_CDECL EngineCall36(InstanceRecord* record, int32_t a, int32_t b) {
    return static_cast<double>(Enter(36, record, {a, b}).result) + 0.5;
}

intptr_t ENGINE_CDECL EngineCall37(InstanceRecord* record, int32_t a, int32_t b, double value) {
    return Enter(37, record, {a, b}, nullptr, nullptr, value).result;
}

intptr_t ENGINE_CDECL EngineCall50(InstanceRecord* record, uint8_t flag, int32_t word) {
    return Enter(50, record, {flag, word}).result;
}

std::string Joined(char* const* texts, int32_t count) {
    std::string joined;
    for (int32_t i = 0; texts && i < count; ++i) joined += (i ? "|" : "") + std::string(texts[i] ? texts[i] : "");
    return joined;
}

intptr_t ENGINE_CDECL SetComponentParameters(InstanceRecord* record, int32_t identifier,
                                             ComponentParameterDesc* descriptor) {
    std::string values = Joined(descriptor->values, descriptor->values ? descriptor->count : 0);
    std::string keys = Joined(descriptor->keys, descriptor->keys ? descriptor->count : 0);
    const EntryBehaviour& behaviour = Enter(kSetComponentParameters, record,
                                            {identifier, descriptor->kind, descriptor->count, descriptor->selectedIndex,
                                             descriptor->keys == nullptr && descriptor->values == nullptr},
                                            descriptor->name, values.c_str());
    CopyText(LastCall().keysJoined, keys.c_str(), sizeof LastCall().keysJoined);
    return behaviour.result;
}

void* ENGINE_CDECL GetComponentParameters(InstanceRecord* record, int32_t identifier, int32_t* count) {
    Enter(kGetComponentParameters, record, {identifier});
    LocalState& state = Local();
    *count = state.componentCount;
    void* reply = state.componentReply;
    state.componentReply = nullptr;
    return reply;
}

intptr_t ENGINE_CDECL EngineCall88(InstanceRecord* record, uint8_t byte) { return Enter(88, record, {byte}).result; }

template <int... N>
void FillGeneric(EngineFunctions* functions, std::integer_sequence<int, N...>) {
    ((functions->entries[N] = AsEntry(&Generic<N>)), ...);
}

}  // namespace

// The variant without entry point exports it under another name.
#ifdef RECORDING_NO_ENTRY
#define RECORDING_ENTRY_POINT RecordingEngine_NotTheEntryPoint
#else
#define RECORDING_ENTRY_POINT ExternalPlayer_Initialize
#endif

ENGINE_EXPORT int32_t ENGINE_STDCALL RECORDING_ENTRY_POINT(HostServices* services, EngineFunctions* functions) {
    Local().services = services;
    RecordedCall call{};
    call.entry = kRecordedInitialize;
    call.args[0] = reinterpret_cast<intptr_t>(services);
    call.args[1] = reinterpret_cast<intptr_t>(functions);
    SharedState& state = State();
    if (state.callCount < static_cast<int64_t>(kMaxCalls)) state.calls[state.callCount++] = call;
    FillGeneric(functions, std::make_integer_sequence<int, EngineFunctions::kCount>());
    functions->entries[kShutdown] = AsEntry(&Shutdown);
    functions->entries[kHandleEvent] = AsEntry(&HandleEvent);
    functions->entries[kSetBackBuffer] = AsEntry(&SetBackBuffer);
    functions->entries[kSetHostModule] = AsEntry(&SetHostModule);
    functions->entries[kGetRect] = AsEntry(&GetRect);
    functions->entries[kLoadMovie] = AsEntry(&LoadMovie);
    functions->entries[kSetVariable] = AsEntry(&SetVariable);
    functions->entries[kGetVariable] = AsEntry(&GetVariable);
    functions->entries[kGetMovieSize] = AsEntry(&GetMovieSize);
    functions->entries[kCallFunction] = AsEntry(&CallFunction);
    functions->entries[kCallFunction2] = AsEntry(&CallFunction2);
    functions->entries[36] = AsEntry(&EngineCall36);
    functions->entries[37] = AsEntry(&EngineCall37);
    functions->entries[50] = AsEntry(&EngineCall50);
    functions->entries[88] = AsEntry(&EngineCall88);
    functions->entries[kSetComponentParameters] = AsEntry(&SetComponentParameters);
    functions->entries[kGetComponentParameters] = AsEntry(&GetComponentParameters);
#ifdef RECORDING_FAIL_INIT
    return 1;
#else
    return 0;
#endif
}

ENGINE_EXPORT void RecordingEngine_Reset() {
    ClearShared(State());
    LocalState& local = Local();
    std::fill(std::begin(local.callbacks), std::end(local.callbacks), nullptr);
    std::fill(std::begin(local.callbackContexts), std::end(local.callbackContexts), nullptr);
}

ENGINE_EXPORT int32_t RecordingEngine_CallCount() { return static_cast<int32_t>(State().callCount); }

ENGINE_EXPORT int32_t RecordingEngine_GetCall(int32_t index, RecordedCall* call) {
    if (index < 0 || index >= State().callCount || !call) return 0;
    *call = State().calls[index];
    return 1;
}

ENGINE_EXPORT void RecordingEngine_SetResult(int32_t entry, intptr_t result) {
    if (entry >= 0 && entry < EngineFunctions::kCount) State().behaviours[entry].result = result;
}

ENGINE_EXPORT void RecordingEngine_SetTextResult(int32_t entry, const char* text) {
    if (entry < 0 || entry >= EngineFunctions::kCount) return;
    char* slot = TextResultOf(entry);
    if (!slot) return;
    State().behaviours[entry].hasText = text != nullptr;
    slot[0] = 0;
    CopyText(slot, text, kTextResultRoom);
}

ENGINE_EXPORT void RecordingEngine_SetRaise(int32_t entry, int32_t raise) {
    if (entry >= 0 && entry < EngineFunctions::kCount) State().behaviours[entry].raise = raise;
}

ENGINE_EXPORT void RecordingEngine_SetCallback(int32_t entry, RecordingCallback callback, void* context) {
    if (entry < 0 || entry >= EngineFunctions::kCount) return;
    Local().callbacks[entry] = callback;
    Local().callbackContexts[entry] = context;
}

ENGINE_EXPORT void RecordingEngine_SetServiceCall(int32_t entry, int32_t serviceCall, const char* text) {
    if (entry < 0 || entry >= EngineFunctions::kCount) return;
    EntryBehaviour& behaviour = State().behaviours[entry];
    behaviour.serviceCall = serviceCall;
    behaviour.serviceText[0] = 0;
    CopyText(behaviour.serviceText, text, sizeof behaviour.serviceText);
}

ENGINE_EXPORT int32_t RecordingEngine_LastServiceCall(int32_t* status, char* reply, int32_t room) {
    const SharedState& state = State();
    if (status) *status = state.lastStatus;
    if (reply && room > 0) CopyText(reply, state.lastReply, static_cast<size_t>(room));
    return state.lastHasReply;
}

ENGINE_EXPORT void RecordingEngine_SetPaint(int32_t entry, uint32_t color, int32_t left, int32_t top, int32_t right,
                                            int32_t bottom) {
    SharedState& state = State();
    state.paintEntry = entry;
    state.paintColor = color;
    int32_t rect[4] = {left, top, right, bottom};
    std::copy(rect, rect + 4, state.paintRect);
}

ENGINE_EXPORT void RecordingEngine_SetThreadServices(int32_t entry, int32_t delayMs) {
    State().threadServicesEntry = entry;
    State().threadServicesDelayMs = delayMs;
}

ENGINE_EXPORT int32_t RecordingEngine_ProcessId() { return State().engineProcessId; }

ENGINE_EXPORT void RecordingEngine_SetRectWords(int32_t a, int32_t b, int32_t c, int32_t d) {
    int32_t* words = State().rectWords;
    words[0] = a, words[1] = b, words[2] = c, words[3] = d;
}

ENGINE_EXPORT void RecordingEngine_SetComponentReply(void* descriptors, int32_t count) {
    Local().componentReply = descriptors;
    Local().componentCount = count;
}
