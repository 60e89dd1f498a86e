#include "EngineProxy.h"

#include <algorithm>
#include <cstring>
#include <exception>
#include <utility>

#include "EngineGuard.h"
#include "EngineProtocol.h"
#include "HostServices.h"
#include "PlayerInstance.h"

namespace {

constexpr int32_t kRefused = -1;  // what an entry whose success is 0 answers when it cannot be made
// How long a released engine process may take to end by itself (its engine
// was shut down with its last instance) before it is ended.
constexpr DWORD kQuitWaitMs = 100;
// Notices an engine's threads send while one call waits; beyond, they are dropped.
constexpr size_t kMaxQueuedNotices = 65536;
// Their bytes: room for one of the longest frames; more is no sound engine process.
constexpr size_t kMaxQueuedNoticeBytes = ChannelFrame::kMaxBytes;
// How long queued work is served before the thread goes back to its message
// loop (the rest is announced, as the engine process announces notices).
constexpr Milliseconds kServingSlice{50};
// What a process start may take beyond the engine's own time: a minute of
// CPU where 32-bit code runs in an emulator.
constexpr Milliseconds kStartAllowance{300000};
// Past the soft limit, how often the engine process's windows are looked at
// for a C runtime's error box, which ends it at once rather than at the hard limit.
constexpr Milliseconds kLookForErrorBoxesEvery{250};

// Thrown out of a proxy entry the host called guarded when the engine raised
// in its process, or that process ended during the call: as in one process,
// the guard reports the call as one that did not return.
struct EngineProcessFailure : std::exception {};

std::u16string Directory(const std::u16string& path) {
    size_t slash = path.find_last_of(u"\\/");
    return slash == std::u16string::npos ? std::u16string() : path.substr(0, slash + 1);
}

std::u16string EngineHostPath(ModuleArchitecture engine) {
    std::u16string own(32768, u'\0');
    HMODULE module = ModuleOfAddress(reinterpret_cast<const void*>(&EngineProxy::Start));
    DWORD length = GetModuleFileNameW(module, AsWide(&own[0]), static_cast<DWORD>(own.size()));
    own.resize(length < own.size() ? length : 0);
    const char16_t* program = kEngineHostProgram;
    if (engine != ModuleArchitecture::Unknown && engine != OwnArchitecture()) {
        program = engine == ModuleArchitecture::X86 ? kEngineHostProgram32 : kEngineHostProgram64;
    }
    return Directory(own) + program;
}

std::u16string Quoted(const std::u16string& text) { return u"\"" + text + u"\""; }

char* HeapCopy(const std::optional<std::string>& text) {
    return text ? CopyToEngineBlock(text->data(), text->size()) : nullptr;
}

// What an entry gives when its engine process is gone: what the host reads as
// failure, as for a call it skipped (0), except for the two entries whose
// success is 0.
int32_t FailedResult(int entry) { return entry == kLoadMovie || entry == kSetBackBuffer ? kRefused : 0; }

int32_t ResultOf(const std::optional<ChannelFrame>& answer, int entry) {
    return answer ? answer->words[kAnswerResult] : FailedResult(entry);
}

// ---- the proxy entries ----

template <int Entry, typename... Words>
int32_t ENGINE_CDECL WordsEntry(InstanceRecord* record, Words... words) {
    EngineProxy* proxy = EngineProxy::Of(record);
    return proxy ? ResultOf(proxy->Call(record, Entry, {static_cast<int32_t>(words)...}), Entry) : FailedResult(Entry);
}

void ENGINE_CDECL NewInstance(InstanceRecord* record) { WordsEntry<kNewInstance>(record); }

void ENGINE_CDECL DestroyInstance(InstanceRecord* record) {
    if (EngineProxy* proxy = EngineProxy::Of(record)) {
        proxy->Call(record, kDestroyInstance);
        proxy->Forget(record);
    }
}

// The engine process gives the engine its own module.
void ENGINE_CDECL SetHostModule(InstanceRecord* record, HMODULE) { WordsEntry<kSetHostModule>(record); }

int32_t ENGINE_CDECL HandleEvent(InstanceRecord* record, const int32_t* event) {
    return event ? WordsEntry<kHandleEvent>(record, event[0], event[1], event[2]) : FailedResult(kHandleEvent);
}

int32_t ENGINE_CDECL LoadMovie(InstanceRecord* record, int32_t number, const char* url, uint8_t option) {
    EngineProxy* proxy = EngineProxy::Of(record);
    return proxy ? ResultOf(proxy->Call(record, kLoadMovie, {number, option}, {ChannelFrame::TextOf(url)}), kLoadMovie)
                 : kRefused;
}

int32_t ENGINE_CDECL SetVariable(InstanceRecord* record, const char* name, const char* value) {
    EngineProxy* proxy = EngineProxy::Of(record);
    return proxy ? ResultOf(
                       proxy->Call(record, kSetVariable, {}, {ChannelFrame::TextOf(name), ChannelFrame::TextOf(value)}),
                       kSetVariable)
                 : FailedResult(kSetVariable);
}

char* ENGINE_CDECL GetVariable(InstanceRecord* record, const char* name) {
    EngineProxy* proxy = EngineProxy::Of(record);
    std::optional<ChannelFrame> answer =
        proxy ? proxy->Call(record, kGetVariable, {}, {ChannelFrame::TextOf(name)}) : std::nullopt;
    return answer && !answer->texts.empty() ? HeapCopy(answer->texts[0]) : nullptr;
}

int32_t ENGINE_CDECL GetMovieSize(InstanceRecord* record, int32_t* width, int32_t* height) {
    EngineProxy* proxy = EngineProxy::Of(record);
    std::optional<ChannelFrame> answer = proxy ? proxy->Call(record, kGetMovieSize) : std::nullopt;
    if (!answer || answer->words.size() < kAnswerOut + 2) return FailedResult(kGetMovieSize);
    if (width) *width = answer->words[kAnswerOut];
    if (height) *height = answer->words[kAnswerOut + 1];
    return answer->words[kAnswerResult];
}

// The back buffer is the window's DIB section over a file mapping: the engine
// process gets a duplicate of the mapping and draws where the window blits from.
int32_t ENGINE_CDECL SetBackBuffer(InstanceRecord* record, const BackBufferInfo* info) {
    EngineProxy* proxy = EngineProxy::Of(record);
    if (!proxy || !info || !record->owner) return kRefused;
    DIBSECTION dib{};
    HBITMAP bitmap = record->owner->GetBackBufferBitmap();
    if (!bitmap || GetObjectW(bitmap, sizeof dib, &dib) != sizeof dib || !dib.dshSection) return kRefused;
    HANDLE remote = nullptr;
    if (!DuplicateHandle(GetCurrentProcess(), dib.dshSection, proxy->Process(), &remote, 0, FALSE,
                         DUPLICATE_SAME_ACCESS)) {
        return kRefused;
    }
    int32_t colors = info->colorTable ? std::min(std::max(info->colorCount, 0), kMaxBufferColors) : 0;
    std::vector<int32_t> words{HandleWord(remote),
                               static_cast<int32_t>(dib.dsOffset),
                               info->width,
                               info->height,
                               info->bitsPerPixel,
                               info->bytesPerRow,
                               info->bottomUp,
                               info->pixelFormat,
                               colors};
    for (int32_t i = 0; i < colors; ++i) {
        int32_t color = 0;
        std::memcpy(&color, &info->colorTable[i], sizeof color);
        words.push_back(color);
    }
    return ResultOf(proxy->Call(record, kSetBackBuffer, words), kSetBackBuffer);
}

// The engine sets the cursor inside the call; the engine process tells which.
int32_t ENGINE_CDECL UpdateCursor(InstanceRecord* record) {
    EngineProxy* proxy = EngineProxy::Of(record);
    std::optional<ChannelFrame> answer = proxy ? proxy->Call(record, kUpdateCursor) : std::nullopt;
    if (!answer || answer->words.size() < kAnswerOut + 2) return 0;
    if (answer->words[kAnswerOut]) SetCursor(WordHandle<HCURSOR>(answer->words[kAnswerOut + 1]));
    return answer->words[kAnswerResult];
}

int32_t ENGINE_CDECL CallFunction(InstanceRecord* record, const char* request) {
    EngineProxy* proxy = EngineProxy::Of(record);
    return proxy ? ResultOf(proxy->Call(record, kCallFunction, {}, {ChannelFrame::TextOf(request)}), kCallFunction)
                 : FailedResult(kCallFunction);
}

int32_t ENGINE_CDECL CallFunction2(InstanceRecord* record, const char* request, char** reply) {
    EngineProxy* proxy = EngineProxy::Of(record);
    std::optional<ChannelFrame> answer =
        proxy ? proxy->Call(record, kCallFunction2, {}, {ChannelFrame::TextOf(request)}) : std::nullopt;
    if (answer && reply && !answer->texts.empty()) *reply = HeapCopy(answer->texts[0]);
    return ResultOf(answer, kCallFunction2);
}

// How many words and texts each host service's request carries.
struct RequestShape {
    size_t words;
    size_t texts;
};

std::optional<RequestShape> ShapeOf(uint16_t service) {
    switch (service) {
        case kServiceGetWindowSize:
        case kServiceGetWindowHandle:
        case kServiceAskToKillScript:
        case kServiceLockBackBuffer:
        case kServiceUnlockBackBuffer: return RequestShape{0, 0};
        case kServiceBlitRect:
        case kServiceInvalidateArea: return RequestShape{4, 0};
        case kServiceFillBackground: return RequestShape{3, 0};
        case kServiceResizeDisplay:
        case kServiceFlushPainting: return RequestShape{2, 0};
        case kServiceSetCursorType: return RequestShape{1, 0};
        case kServiceTrace:
        case kServiceCallFunction: return RequestShape{0, 1};
        default: return std::nullopt;
    }
}

// Whether a request or notice is of a known service, with its words and texts.
bool HasItsServicesShape(const ChannelFrame& frame) {
    std::optional<RequestShape> shape = ShapeOf(frame.code);
    return shape && frame.words.size() == shape->words && frame.texts.size() == shape->texts;
}

// A process-creation attribute list holding one handle list.
class InheritedHandles {
public:
    explicit InheritedHandles(std::vector<HANDLE> handles) : handles_(std::move(handles)) {
        SIZE_T size = 0;
        InitializeProcThreadAttributeList(nullptr, 1, 0, &size);
        storage_.resize(size);
        auto* list = reinterpret_cast<LPPROC_THREAD_ATTRIBUTE_LIST>(storage_.data());
        if (size && InitializeProcThreadAttributeList(list, 1, 0, &size)) {
            list_ = list;
            if (!UpdateProcThreadAttribute(list_, 0, PROC_THREAD_ATTRIBUTE_HANDLE_LIST, handles_.data(),
                                           handles_.size() * sizeof(HANDLE), nullptr, nullptr)) {
                DeleteProcThreadAttributeList(list_);
                list_ = nullptr;
            }
        }
        for (HANDLE handle : handles_) SetHandleInformation(handle, HANDLE_FLAG_INHERIT, HANDLE_FLAG_INHERIT);
    }
    ~InheritedHandles() {
        for (HANDLE handle : handles_) SetHandleInformation(handle, HANDLE_FLAG_INHERIT, 0);
        if (list_) DeleteProcThreadAttributeList(list_);
    }
    InheritedHandles(const InheritedHandles&) = delete;
    InheritedHandles& operator=(const InheritedHandles&) = delete;
    LPPROC_THREAD_ATTRIBUTE_LIST List() const { return list_; }

private:
    std::vector<HANDLE> handles_;
    std::vector<unsigned char> storage_;
    LPPROC_THREAD_ATTRIBUTE_LIST list_ = nullptr;
};

// Starts the engine process with the channel's far ends, which it alone
// inherits, and no standard handles: what the engine prints goes nowhere.
// Without the busy cursor Windows would show for a GUI program's start: the
// user started nothing.
bool StartHostProcess(const std::u16string& program, const std::u16string& enginePath, const ChannelEnds& theirs,
                      PROCESS_INFORMATION* started) {
    std::u16string line =
        Quoted(program) + u" " + Quoted(enginePath) + u" " + ChannelArguments(theirs, GetCurrentProcessId());
    std::vector<HANDLE> handles;
    for (HANDLE handle : theirs.Handles()) {
        if (handle) handles.push_back(handle);
    }
    InheritedHandles inherited(handles);
    if (!inherited.List()) return false;
    STARTUPINFOEXW startup{};
    startup.StartupInfo.cb = sizeof startup;
    startup.StartupInfo.dwFlags = STARTF_USESTDHANDLES | STARTF_FORCEOFFFEEDBACK;
    startup.lpAttributeList = inherited.List();
    return CreateProcessW(AsWide(program.c_str()), AsWide(&line[0]), nullptr, nullptr, TRUE,
                          EXTENDED_STARTUPINFO_PRESENT, nullptr, nullptr, &startup.StartupInfo, started) != FALSE;
}

// A job that ends the engine process when its last handle closes, as the
// library's process ends: the engine process cannot outlive the JVM. What
// the engine starts (a browser for a link) leaves the job: it is the user's.
HANDLE JobEndingWithUs(HANDLE process) {
    HANDLE job = CreateJobObjectW(nullptr, nullptr);
    JOBOBJECT_EXTENDED_LIMIT_INFORMATION limits{};
    limits.BasicLimitInformation.LimitFlags = JOB_OBJECT_LIMIT_KILL_ON_JOB_CLOSE | JOB_OBJECT_LIMIT_SILENT_BREAKAWAY_OK;
    if (job && SetInformationJobObject(job, JobObjectExtendedLimitInformation, &limits, sizeof limits) &&
        AssignProcessToJobObject(job, process)) {
        return job;
    }
    if (job) CloseHandle(job);
    return nullptr;  // the engine process still watches for our end itself
}

}  // namespace

std::unique_ptr<EngineProxy> EngineProxy::Start(const std::u16string& enginePath, ModuleArchitecture architecture,
                                                const HostServices& services, std::u16string* reason) {
    return StartProgram(EngineHostPath(architecture), enginePath, services, reason);
}

std::unique_ptr<EngineProxy> EngineProxy::StartProgram(const std::u16string& program, const std::u16string& enginePath,
                                                       const HostServices& services, std::u16string* reason) {
    ChannelPair pair(ChannelTransportFromEnvironment());
    if (!pair.Made()) {
        *reason = u"no channel to its engine process";
        return nullptr;
    }
    PROCESS_INFORMATION started{};
    if (!StartHostProcess(program, enginePath, pair.Theirs(), &started)) {
        *reason = u"its engine process " + program + u" does not start";
        return nullptr;
    }
    CloseHandle(started.hThread);
    pair.CloseTheirs();  // the channel ends when the engine process's ends close
    HANDLE job = JobEndingWithUs(started.hProcess);
    std::unique_ptr<EngineProxy> proxy(
        new EngineProxy(started.hProcess, started.dwProcessId, job, pair.TakeOurs(), services));
    if (!proxy->Greet(reason)) return nullptr;
    return proxy;
}

EngineProxy::EngineProxy(HANDLE process, DWORD processId, HANDLE job, ChannelEnds ends, const HostServices& services)
    : process_(process), processId_(processId), job_(job), channel_(ends), services_(services), limits_(EngineTimeLimitsFromEnvironment()) {
    channel_.SetPeer(process_);
}

EngineProxy::~EngineProxy() {
    channel_.Close();
    ReapProcess(kQuitWaitMs);
    if (job_) CloseHandle(job_);
    CloseHandle(process_);
}

// The process ends once its channel is closed; one that does not in the time
// given (it may be stuck in the engine) is ended.
void EngineProxy::ReapProcess(DWORD graceMs) {
    if (WaitForSingleObject(process_, graceMs) != WAIT_OBJECT_0) {
        TerminateProcess(process_, 1);
        WaitForSingleObject(process_, INFINITE);
    }
    DWORD code = 0;
    GetExitCodeProcess(process_, &code);  // reaps it where that is separate
}

bool EngineProxy::Greet(std::u16string* reason) {
    ChannelFrame hello;
    hello.words = {kEngineProtocolVersion, static_cast<int32_t>(sizeof(void*) * 8),
                   static_cast<int32_t>(GetCurrentProcessId())};
    ChannelFrame answer;
    WaitBudget budget(limits_.hard + kStartAllowance);
    if (!channel_.Send(hello) ||
        ReceiveFrame(channel_, process_, &answer, budget, Dispatch::SentMessages) != Waited::Frame ||
        answer.kind != FrameKind::Hello || answer.words.size() != kEngineHelloWords) {
        *reason = u"its engine process did not greet";
        return false;
    }
    if (answer.words[kHelloVersion] != kEngineProtocolVersion) {
        *reason = u"its engine process speaks another protocol";
        return false;
    }
    if (answer.words[kHelloLoadStatus] != 0) {
        std::string why = !answer.texts.empty() && answer.texts[0] ? *answer.texts[0] : "no reason given";
        *reason = Utf16FromUtf8(why);
        return false;
    }
    entryMask_.assign(answer.words.begin() + kHelloEntryMask, answer.words.end());
    return true;
}

void EngineProxy::FillTable(EngineFunctions& table) const {
    std::memset(&table, 0, sizeof table);
    EngineEntry* e = table.entries;
    e[kNewInstance] = AsEntry(&NewInstance);
    e[kDestroyInstance] = AsEntry(&DestroyInstance);
    e[kHandleEvent] = AsEntry(&HandleEvent);
    e[kStopPlay] = AsEntry(&WordsEntry<kStopPlay>);
    e[kLoadMovie] = AsEntry(&LoadMovie);
    e[kSetVariable] = AsEntry(&SetVariable);
    e[kGetVariable] = AsEntry(&GetVariable);
    e[kGetMovieSize] = AsEntry(&GetMovieSize);
    e[kSetBackBuffer] = AsEntry(&SetBackBuffer);
    e[kPaintArea] = AsEntry(&WordsEntry<kPaintArea, int32_t, int32_t, int32_t, int32_t>);
    e[kDetachBackBuffer] = AsEntry(&WordsEntry<kDetachBackBuffer>);
    e[kSetHostModule] = AsEntry(&SetHostModule);
    e[kDoPlay] = AsEntry(&WordsEntry<kDoPlay>);
    e[kSetMouseCapture] = AsEntry(&WordsEntry<kSetMouseCapture, int32_t>);
    e[kUpdateCursor] = AsEntry(&UpdateCursor);
    e[kSetModeValue] = AsEntry(&WordsEntry<kSetModeValue, int32_t>);
    e[kCallFunction] = AsEntry(&CallFunction);
    e[kCallFunction2] = AsEntry(&CallFunction2);
    for (int i = 0; i < EngineFunctions::kCount; ++i) {
        bool filled = (static_cast<uint32_t>(entryMask_[i / 32]) >> (i % 32)) & 1;
        if (!filled) e[i] = nullptr;
    }
}

void EngineProxy::Adopt(InstanceRecord* record) {
    record->engineData = reinterpret_cast<uintptr_t>(this);
    records_[nextInstance_++] = record;
}

void EngineProxy::Forget(InstanceRecord* record) { records_.erase(InstanceOf(record)); }

std::vector<InstanceRecord*> EngineProxy::Records() const {
    std::vector<InstanceRecord*> records;
    for (const auto& entry : records_) records.push_back(entry.second);
    return records;
}

EngineProxy* EngineProxy::Of(InstanceRecord* record) {
    auto* proxy = record ? reinterpret_cast<EngineProxy*>(record->engineData) : nullptr;
    return proxy && !proxy->Ended() ? proxy : nullptr;
}

uint32_t EngineProxy::InstanceOf(const InstanceRecord* record) const {
    for (const auto& known : records_) {
        if (known.second == record) return known.first;
    }
    return 0;  // no instance has it
}

InstanceRecord* EngineProxy::RecordOf(uint32_t instance) const {
    auto it = records_.find(instance);
    return it == records_.end() ? nullptr : it->second;
}

std::optional<ChannelFrame> EngineProxy::Call(InstanceRecord* record, int entry, std::vector<int32_t> words,
                                              std::vector<std::optional<std::string>> texts) {
    bool guarded = TakeGuardedCallMark();
    uint32_t instance = InstanceOf(record);
    if (Ended() || instance == 0) {
        if (guarded) throw EngineProcessFailure();
        return std::nullopt;
    }
    ChannelFrame call;
    call.kind = FrameKind::Call;
    call.code = static_cast<uint16_t>(entry | (guarded ? kGuardedCall : 0));
    call.instance = instance;
    call.words = std::move(words);
    call.texts = std::move(texts);
    if (call.EncodedSize() == 0) {  // too long a text: this call fails, nothing else
        if (guarded) throw EngineProcessFailure();
        return std::nullopt;
    }
    if (!peerTakesCalls_) {
        // Inside a call of ours the engine process reads none but a reply:
        // this call would be taken for nothing, or its answer for another's.
        std::string line = "JNIToVantraPlayerBridge: call " + std::to_string(entry) +
                           " refused: its engine process runs another call and takes none now\n";
        OutputDebugStringW(AsWide(Utf16FromUtf8(line).c_str()));
        if (guarded) throw EngineProcessFailure();
        return std::nullopt;
    }
    ++callDepth_;
    peerTakesCalls_ = false;
    std::optional<ChannelFrame> answer;
    WaitBudget budget(limits_.soft);  // for all of the call: sending, the engine's time, the replies sent
    bool sent = SendWithinLimits(record, entry, budget, call);
    ChannelFrame frame;
    while (sent && !answer && AwaitFrame(record, entry, budget, &frame)) {
        if (frame.kind == FrameKind::Request) {
            if (!Serve(frame, record, entry, budget)) break;
        } else if (frame.kind == FrameKind::Posted) {
            if (!ServePosted(frame)) break;
        } else if (frame.kind == FrameKind::Notice) {
            if (!QueueNotice(std::move(frame))) break;
        } else if (frame.kind == FrameKind::Answer && frame.code == call.code && frame.instance == instance &&
                   frame.words.size() >= kAnswerOut && frame.texts.size() <= 1) {
            answer = std::move(frame);
        } else {
            break;  // anything else is no answer from a sound engine process
        }
    }
    if (!answer) End();
    peerTakesCalls_ = true;  // the engine process is back where it took this call
    if (callDepth_ == 1) ServePending();
    --callDepth_;
    if (guarded && (!answer || answer->words[kAnswerRaised])) throw EngineProcessFailure();
    if (answer && answer->words[kAnswerRaised]) NoteEngineRaiseInsideGuard();  // a call nested in a guarded one
    return answer;
}

// A wait of a call (its next frame, or room to send): past the soft limit
// the engine's slowness is reported, with the windows its process shows; at
// the hard one, or once a C runtime's error box shows there, it is given up
// (false, as for a process that ended).
template <typename Wait>
bool EngineProxy::WithinLimits(InstanceRecord* record, int entry, WaitBudget& budget, Wait wait) {
    for (;;) {
        switch (wait()) {
            case Waited::Frame: return true;
            case Waited::PeerEnded: return false;
            case Waited::Overdue: break;
        }
        Milliseconds allowed = budget.Allowed();
        std::vector<ShownWindow> shown = WindowsShownBy(processId_);
        if (allowed >= limits_.hard) {
            ReportOverdue(record, entry, allowed, false, Described(shown));
            return false;
        }
        if (ShowsARuntimeErrorBox(entry, shown)) return false;
        if (allowed == limits_.soft) ReportOverdue(record, entry, allowed, true, Described(shown));
        budget.Allow(std::min(limits_.hard, allowed + kLookForErrorBoxesEvery));
    }
}

bool EngineProxy::AwaitFrame(InstanceRecord* record, int entry, WaitBudget& budget, ChannelFrame* frame) {
    return WithinLimits(record, entry, budget,
                        [&] { return ReceiveFrame(channel_, process_, frame, budget, Dispatch::SentMessages); });
}

bool EngineProxy::SendWithinLimits(InstanceRecord* record, int entry, WaitBudget& budget, const ChannelFrame& frame) {
    bool started = false;
    return WithinLimits(record, entry, budget, [&] {
        if (std::exchange(started, true)) return SendRest(channel_, process_, budget, Dispatch::SentMessages);
        return SendFrame(channel_, process_, frame, budget, Dispatch::SentMessages);
    });
}

// The debug line now; Java's trace once the call has returned, as a notice
// would reach it: what Java does on hearing it (a call into the widget) must
// not send a call while this one's answer may already be on its way. Java
// hears of a hung engine when the process is ended, with the rest of its widgets.
void EngineProxy::ReportOverdue(InstanceRecord* record, int entry, Milliseconds waited, bool soft,
                                const std::u16string& shown) {
    std::string text = "the engine process has not answered call " + std::to_string(entry) + " in " +
                       std::to_string(waited.count()) + " ms" + (soft ? ": still waiting" : ": it is ended");
    if (!shown.empty()) text += "; it shows " + Utf8FromUtf16(shown);
    std::u16string line = u"JNIToVantraPlayerBridge: " + Utf16FromUtf8(text) + u"\n";
    OutputDebugStringW(AsWide(line.c_str()));
    uint32_t instance = InstanceOf(record);
    if (!soft || instance == 0) return;
    ChannelFrame trace;
    trace.kind = FrameKind::Notice;
    trace.code = kServiceTrace;
    trace.instance = instance;
    trace.texts = {text};
    pending_.push_back(Pending{std::move(trace), nullptr});
}

// A C runtime shows its error box and then ends the process: nothing the
// engine process does after it is worth the wait.
bool EngineProxy::ShowsARuntimeErrorBox(int entry, const std::vector<ShownWindow>& shown) {
    for (const ShownWindow& window : shown) {
        if (!IsRuntimeErrorBox(window)) continue;
        std::u16string line = u"JNIToVantraPlayerBridge: the engine process shows its C runtime's error box in call " +
                              Utf16FromUtf8(std::to_string(entry)) + u": it is ended; " + Described({window}) + u"\n";
        OutputDebugStringW(AsWide(line.c_str()));
        return true;
    }
    return false;
}

// A reply whose text is too long to send goes without it. While the library
// serves a request, the engine process waits for its reply and takes calls.
bool EngineProxy::Serve(const ChannelFrame& request, InstanceRecord* record, int entry, WaitBudget& budget) {
    peerTakesCalls_ = true;
    std::optional<ChannelFrame> reply = Reply(request);
    peerTakesCalls_ = false;
    if (!reply) return false;
    if (reply->EncodedSize() == 0) reply->texts.assign(reply->texts.size(), std::nullopt);
    return SendWithinLimits(record, entry, budget, *reply);
}

// The engine process posts only the blits of the window it paints, whose
// reply it knows (see there); anything else posted is no sound engine process.
bool EngineProxy::ServePosted(const ChannelFrame& posted) {
    return posted.code == kServiceBlitRect && Reply(posted).has_value();
}

// Notices met while a call waits are served once the outermost call has
// returned: what serving one may do (an up-call, in which Java calls the
// engine again) must not send a call while an earlier call's answer may
// already be on its way.
// Past the byte bound the engine process is ended as faulty (false); past
// the count, notices are dropped.
bool EngineProxy::QueueNotice(ChannelFrame notice) {
    if (!IsNoticeable(notice.code) || !HasItsServicesShape(notice)) return false;
    if (pendingNotices_ >= kMaxQueuedNotices) return true;
    size_t bytes = notice.EncodedSize();
    if (pendingNoticeBytes_ + bytes > kMaxQueuedNoticeBytes) {
        OutputDebugStringW(AsWide(u"JNIToVantraPlayerBridge: the engine process queued more notices than "
                                  u"a sound one can: it is ended\n"));
        return false;
    }
    ++pendingNotices_;
    pendingNoticeBytes_ += bytes;
    pending_.push_back(Pending{std::move(notice), nullptr});
    return true;
}

void EngineProxy::Defer(std::function<void()> work) { pending_.push_back(Pending{std::nullopt, std::move(work)}); }

// A notice is served as its request would be; nobody waits for the reply.
// Called with callDepth_ raised: what is served may not end this proxy's
// life. Served for a slice of time at most: an engine process that keeps
// sending does not keep the thread from its message loop.
void EngineProxy::ServePending() {
    WaitClock::time_point until = WaitClock::now() + kServingSlice;
    while (!pending_.empty()) {
        if (WaitClock::now() >= until) return AnnounceLeftovers();
        Pending next = std::move(pending_.front());
        pending_.pop_front();
        if (next.work) {
            next.work();
        } else if (!Ended()) {
            --pendingNotices_;
            pendingNoticeBytes_ -= next.notice->EncodedSize();
            Reply(*next.notice);
        }
    }
}

// The rest is served from the message loop, announced as the engine process
// announces its notices: to the window of one of its instances.
void EngineProxy::AnnounceLeftovers() {
    for (const auto& known : records_) {
        PlayerInstance* owner = known.second->owner;
        HWND window = owner ? owner->GetWindowHandle() : nullptr;
        if (window && PostMessageW(window, kEngineNoticeMessage, 0, 0)) return;
    }
}

void EngineProxy::ServeNotices() {
    if (callDepth_ > 0) return;  // inside a call, the call serves them
    ++callDepth_;
    ChannelFrame frame;
    EngineChannel::Polled polled;
    WaitClock::time_point until = WaitClock::now() + kServingSlice;
    bool cut = false;
    while (!Ended() && (polled = channel_.Poll(&frame)) != EngineChannel::Polled::Nothing) {
        if (polled == EngineChannel::Polled::Ended || frame.kind != FrameKind::Notice ||
            !QueueNotice(std::move(frame))) {
            End();
        } else if ((cut = WaitClock::now() >= until)) {
            break;  // what is still on the channel waits for the next announcement
        }
    }
    ServePending();
    if (cut && !Ended()) AnnounceLeftovers();
    --callDepth_;
}

// Serves a host service through the host's own table, as if the engine had
// called it in this process; an instance the proxy does not know reads as a
// null record.
std::optional<ChannelFrame> EngineProxy::Reply(const ChannelFrame& request) {
    if (!HasItsServicesShape(request)) return std::nullopt;
    InstanceRecord* record = RecordOf(request.instance);
    const EngineEntry* e = services_.entries;
    const std::vector<int32_t>& w = request.words;
    ChannelFrame reply;
    reply.kind = FrameKind::Reply;
    reply.code = request.code;
    reply.instance = request.instance;
    switch (request.code) {
        case kServiceGetWindowSize: {
            int32_t width = 0, height = 0;
            int32_t result = EntryAs<service::GetWindowSize>(e[request.code])(record, &width, &height);
            reply.words = {result, width, height};
            break;
        }
        case kServiceBlitRect:
        case kServiceInvalidateArea:
            reply.words = {EntryAs<service::FourWords>(e[request.code])(record, w[0], w[1], w[2], w[3])};
            break;
        case kServiceFillBackground:
            reply.words = {EntryAs<service::ThreeWords>(e[request.code])(record, w[0], w[1], w[2])};
            break;
        case kServiceResizeDisplay:
            reply.words = {EntryAs<service::TwoWords>(e[request.code])(record, w[0], w[1])};
            break;
        case kServiceSetCursorType: reply.words = {EntryAs<service::OneWord>(e[request.code])(record, w[0])}; break;
        case kServiceGetWindowHandle:
            reply.words = {HandleWord(EntryAs<service::GetWindowHandle>(e[request.code])(record))};
            break;
        case kServiceTrace: reply.words = {EntryAs<service::Trace>(e[request.code])(record, request.TextAt(0))}; break;
        case kServiceAskToKillScript: reply.words = {EntryAs<service::AskToKillScript>(e[request.code])(record)}; break;
        case kServiceLockBackBuffer: {
            void* pixels = nullptr;  // the engine process answers with its own view
            reply.words = {EntryAs<service::LockBackBuffer>(e[request.code])(record, &pixels)};
            break;
        }
        case kServiceUnlockBackBuffer: reply.words = {EntryAs<service::RecordOnly>(e[request.code])(record)}; break;
        case kServiceFlushPainting:
            EntryAs<service::FlushPainting>(e[request.code])(record, w[0], w[1]);
            reply.words = {0};
            break;
        case kServiceCallFunction: {
            char* answer = nullptr;
            int32_t result = EntryAs<service::CallFunction>(e[request.code])(record, request.TextAt(0), &answer);
            reply.words = {result};
            reply.texts = {ChannelFrame::TextOf(answer)};
            FreeEngineBlock(answer);
            break;
        }
    }
    return reply;
}

// The process is reaped now (a process that broke the protocol may still
// run: it is ended first); its handle goes with the proxy.
void EngineProxy::End() {
    if (ended_) return;
    ended_ = true;
    // The notices' records go with the process; deferred work is still done.
    pending_.erase(std::remove_if(pending_.begin(), pending_.end(), [](const Pending& p) { return !p.work; }),
                   pending_.end());
    pendingNotices_ = 0;
    pendingNoticeBytes_ = 0;
    channel_.Close();
    ReapProcess(0);
    if (endedHandler_) endedHandler_();
}
