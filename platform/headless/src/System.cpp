// Errors, time, threads, modules, message boxes.
#include "Backend.h"

#include <dlfcn.h>
#include <link.h>
#include <sched.h>
#include <sys/syscall.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <thread>

using namespace headless;

namespace {
thread_local DWORD lastError = 0;

// The error a failed dlopen stands for, as LoadLibraryW reports it.
DWORD LoadError(const char* reason) {
    std::string text = reason ? reason : "";
    for (const char* badFormat : {"wrong ELF class", "invalid ELF header", "file too short", "ELF file"}) {
        if (text.find(badFormat) != std::string::npos) return ERROR_BAD_EXE_FORMAT;
    }
    return ERROR_MOD_NOT_FOUND;
}

// The system texts of the errors the backend sets, as Windows words them.
const char16_t* SystemErrorText(DWORD code) {
    switch (code) {
        case ERROR_SUCCESS: return u"The operation completed successfully.";
        case ERROR_FILE_NOT_FOUND: return u"The system cannot find the file specified.";
        case ERROR_NOT_ENOUGH_MEMORY: return u"Not enough memory resources are available to process this command.";
        case ERROR_INVALID_PARAMETER: return u"The parameter is incorrect.";
        case ERROR_INSUFFICIENT_BUFFER: return u"The data area passed to a system call is too small.";
        case ERROR_MOD_NOT_FOUND: return u"The specified module could not be found.";
        case ERROR_PROC_NOT_FOUND: return u"The specified procedure could not be found.";
        case ERROR_BAD_EXE_FORMAT: return u"%1 is not a valid Win32 application.";
        default: return nullptr;
    }
}
}  // namespace

extern "C" DWORD GetLastError() { return lastError; }
extern "C" void SetLastError(DWORD error) { lastError = error; }

extern "C" DWORD GetTickCount() {
    using namespace std::chrono;
    return static_cast<DWORD>(duration_cast<milliseconds>(steady_clock::now().time_since_epoch()).count());
}

extern "C" DWORD GetCurrentThreadId() { return static_cast<DWORD>(syscall(SYS_gettid)); }

extern "C" void Sleep(DWORD milliseconds) { std::this_thread::sleep_for(std::chrono::milliseconds(milliseconds)); }

extern "C" BOOL SwitchToThread() { return sched_yield() == 0; }

extern "C" BOOL GetProcessAffinityMask(HANDLE process, DWORD_PTR* processMask, DWORD_PTR* systemMask) {
    cpu_set_t set;
    if (process != GetCurrentProcess() || !processMask || !systemMask ||
        sched_getaffinity(0, sizeof set, &set) != 0) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    long online = sysconf(_SC_NPROCESSORS_ONLN);
    DWORD_PTR mask = 0, all = 0;
    for (int cpu = 0; cpu < static_cast<int>(sizeof(DWORD_PTR) * 8) && cpu < CPU_SETSIZE; ++cpu) {
        if (CPU_ISSET(cpu, &set)) mask |= DWORD_PTR{1} << cpu;
        if (cpu < online) all |= DWORD_PTR{1} << cpu;
    }
    *processMask = mask;
    *systemMask = all;
    return TRUE;
}

// ---- modules ---------------------------------------------------------------------

extern "C" HMODULE LoadLibraryW(LPCWSTR fileName) {
    if (!fileName || !*fileName) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return nullptr;
    }
    std::string path = SystemPath(fileName);
    void* module = dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL);
    if (!module) SetLastError(LoadError(dlerror()));
    return static_cast<HMODULE>(module);
}

extern "C" DWORD GetFullPathNameW(LPCWSTR fileName, DWORD size, LPWSTR buffer, LPWSTR* filePart) {
    if (!fileName || !*fileName) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return 0;
    }
    std::u16string path = fileName;
    if (path[0] != u'/' && path[0] != u'\\') {
        char directory[4096];
        if (!getcwd(directory, sizeof directory)) return 0;
        path = FromUtf8(directory) + u"/" + path;
    }
    if (path.size() + 1 > size || !buffer) return static_cast<DWORD>(path.size() + 1);  // the size needed
    std::copy(path.begin(), path.end(), buffer);
    buffer[path.size()] = 0;
    if (filePart) {
        size_t name = path.find_last_of(u"/\\");
        *filePart = name == std::u16string::npos || name + 1 == path.size() ? nullptr : buffer + name + 1;
    }
    return static_cast<DWORD>(path.size());
}

// ---- error texts and debug output ----------------------------------------------------

extern "C" DWORD FormatMessageW(DWORD flags, LPCVOID, DWORD messageId, DWORD, LPWSTR buffer, DWORD size, void*) {
    const char16_t* text = SystemErrorText(messageId);
    if (!(flags & FORMAT_MESSAGE_FROM_SYSTEM) || !text || !buffer) {
        SetLastError(text ? ERROR_INVALID_PARAMETER : ERROR_MR_MID_NOT_FOUND);
        return 0;
    }
    std::u16string line = std::u16string(text) + u"\r\n";
    if (line.size() + 1 > size) {
        SetLastError(ERROR_INSUFFICIENT_BUFFER);
        return 0;
    }
    std::copy(line.begin(), line.end(), buffer);
    buffer[line.size()] = 0;
    return static_cast<DWORD>(line.size());
}

extern "C" void OutputDebugStringW(LPCWSTR text) { Backend::Get().debugOutput.push_back(text ? text : u""); }

extern "C" FARPROC GetProcAddress(HMODULE module, LPCSTR name) {
    if (!module || !name) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return nullptr;
    }
    void* symbol = dlsym(module, name);
    if (!symbol) SetLastError(ERROR_PROC_NOT_FOUND);
    return reinterpret_cast<FARPROC>(symbol);
}

extern "C" BOOL FreeLibrary(HMODULE module) { return module && dlclose(module) == 0; }

extern "C" BOOL GetModuleHandleExW(DWORD flags, LPCWSTR name, HMODULE* module) {
    if (!module) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    *module = nullptr;
    std::string path;
    if (flags & GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS) {
        Dl_info info{};
        struct link_map* map = nullptr;
        if (!dladdr1(reinterpret_cast<const void*>(name), &info, reinterpret_cast<void**>(&map), RTLD_DL_LINKMAP) ||
            !map) {
            SetLastError(ERROR_MOD_NOT_FOUND);
            return FALSE;
        }
        path = map->l_name ? map->l_name : "";  // empty for the program itself
    } else if (name) {
        path = SystemPath(name);
    }
    void* handle = dlopen(path.empty() ? nullptr : path.c_str(), RTLD_NOW | RTLD_NOLOAD);
    if (!handle) {
        SetLastError(ERROR_MOD_NOT_FOUND);
        return FALSE;
    }
    if (flags & GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT) dlclose(handle);
    *module = static_cast<HMODULE>(handle);
    return TRUE;
}

extern "C" HMODULE GetModuleHandleW(LPCWSTR name) {
    HMODULE module = nullptr;
    GetModuleHandleExW(GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT, name, &module);
    return module;
}

extern "C" DWORD GetModuleFileNameW(HMODULE module, LPWSTR buffer, DWORD size) {
    if (!buffer || size == 0) return 0;
    std::string path;
    struct link_map* map = nullptr;
    if (module && dlinfo(module, RTLD_DI_LINKMAP, &map) == 0 && map && map->l_name && *map->l_name) {
        path = map->l_name;
    } else {
        char self[4096];
        ssize_t length = readlink("/proc/self/exe", self, sizeof self);  // the program itself
        if (length <= 0) return 0;
        path.assign(self, static_cast<size_t>(length));
    }
    std::u16string name = FromUtf8(path);
    DWORD copied = static_cast<DWORD>(std::min<size_t>(name.size(), size - 1));
    std::copy_n(name.data(), copied, buffer);
    buffer[copied] = 0;
    if (copied < name.size()) SetLastError(ERROR_INSUFFICIENT_BUFFER);
    return copied;
}

// ---- message boxes -----------------------------------------------------------------

extern "C" int MessageBoxW(HWND owner, LPCWSTR text, LPCWSTR caption, UINT type) {
    Backend& b = Backend::Get();
    int answer = (type & MB_TYPEMASK) == MB_YESNO ? IDYES : IDOK;
    if (!b.messageBoxes.next.empty()) {
        answer = b.messageBoxes.next.front();
        b.messageBoxes.next.pop_front();
    }
    b.messageBoxes.shown.push_back(
        MessageBoxRecord{owner, text ? text : u"", caption ? caption : u"Error", type, answer});
    return answer;
}

// ---- test control ---------------------------------------------------------------------

namespace headless {

namespace {
constexpr char16_t kTopLevelClass[] = u"HeadlessTopLevel";
}

HWND CreateTopLevelWindow(int x, int y, int width, int height) {
    Backend& b = Backend::Get();
    WNDCLASSEXW info{};
    if (!GetClassInfoExW(nullptr, kTopLevelClass, &info)) {
        info.cbSize = sizeof info;
        info.lpfnWndProc = DefWindowProcW;
        info.hCursor = LoadCursorW(nullptr, IDC_ARROW);
        info.hbrBackground = static_cast<HBRUSH>(b.stockBrush);
        info.lpszClassName = kTopLevelClass;
        RegisterClassExW(&info);
    }
    return CreateWindowExW(0, kTopLevelClass, u"", WS_POPUP | WS_VISIBLE | WS_CLIPCHILDREN, x, y, width, height,
                           nullptr, nullptr, nullptr, nullptr);
}

void AnswerNextMessageBoxes(const std::vector<int>& answers) {
    auto& next = Backend::Get().messageBoxes.next;
    next.insert(next.end(), answers.begin(), answers.end());
}

void DelayBlitsOntoWindows(int milliseconds) { Backend::Get().blitDelayMs = std::max(milliseconds, 0); }

std::vector<MessageBoxRecord> TakeShownMessageBoxes() {
    std::vector<MessageBoxRecord> shown;
    shown.swap(Backend::Get().messageBoxes.shown);
    return shown;
}

std::vector<HWND> ChildWindows(HWND parent) {
    Window* w = Backend::Get().FindWindow(parent);
    return w ? w->children : std::vector<HWND>{};
}

std::vector<std::u16string> TakeDebugOutput() {
    std::vector<std::u16string> taken;
    taken.swap(Backend::Get().debugOutput);
    return taken;
}

void WatchDefaultProcessing(HWND hwnd) { Backend::Get().defaultProcessed[hwnd]; }

std::vector<MSG> TakeDefaultProcessed(HWND hwnd) {
    auto& watched = Backend::Get().defaultProcessed;
    auto it = watched.find(hwnd);
    if (it == watched.end()) return {};
    std::vector<MSG> taken;
    taken.swap(it->second);
    return taken;
}

int CountLiveWindows() { return static_cast<int>(Backend::Get().windows.size()); }

void Reset() {
    Backend& b = Backend::Get();
    std::vector<HWND> topLevels = b.topLevels;
    for (HWND hwnd : topLevels) DestroyWindow(hwnd);
    b.focus = b.capture = b.trackedForLeave = nullptr;
    b.cursor = POINT{};
    std::fill(std::begin(b.keyState), std::end(b.keyState), 0);
    std::fill(std::begin(b.asyncKeyState), std::end(b.asyncKeyState), 0);
    b.lastClick = ClickMemory{};
    b.messageBoxes = MessageBoxAnswers{};
    b.blitDelayMs = 0;
    b.defaultProcessed.clear();
    b.debugOutput.clear();
    std::lock_guard<std::mutex> lock(b.queueMutex);
    b.queues.clear();
}

}  // namespace headless
