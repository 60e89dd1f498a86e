// VantraPlayerEngineHost "<engine file>" <read> <write> <arrived> <peer arrived> <rings> <parent id>:
// runs one engine for the library that started it, over the channel whose
// handles it inherited (two pipe ends or the rings' mapping, 0 for the
// others; the event the library sets when it has written, the one to set
// when this process has), and ends with that library's process. It has no
// console and no standard handles: what an engine prints goes nowhere.
#include <Platform.h>

#include <cstdlib>
#include <string>
#include <thread>
#include <vector>

#include "EngineHost.h"
#include "EngineProtocol.h"

namespace {

constexpr int kBadArguments = 2;
constexpr UINT kParentEnded = 4;

bool ParseWord(const std::string& text, int32_t* word) {
    char* end = nullptr;
    long long value = std::strtoll(text.c_str(), &end, 10);
    if (text.empty() || *end || value < INT32_MIN || value > UINT32_MAX) return false;
    *word = static_cast<int32_t>(value);
    return true;
}

// Ends this process when the library's does, whatever the engine is doing
// (busy or hung in a call, the channel's far end leaked elsewhere).
HANDLE WatchParent(DWORD parentId) {
    HANDLE parent = OpenProcess(SYNCHRONIZE, FALSE, parentId);
    if (!parent) return nullptr;
    std::thread([parent] {
        WaitForSingleObject(parent, INFINITE);
        TerminateProcess(GetCurrentProcess(), kParentEnded);
    }).detach();
    return parent;
}

// Arguments: the five channel handles, then the parent's id.
int Serve(const std::u16string& enginePath, const std::vector<std::string>& numbers) {
    int32_t words[6] = {};
    for (size_t i = 0; i < 6; ++i) {
        if (!ParseWord(numbers[i], &words[i])) return kBadArguments;
    }
    // A crash ends this process at once, with no dialog holding it.
    SetErrorMode(SEM_FAILCRITICALERRORS | SEM_NOGPFAULTERRORBOX | SEM_NOOPENFILEERRORBOX);
    HANDLE parent = WatchParent(static_cast<DWORD>(words[5]));
    if (!parent) return kParentEnded;
    ChannelEnds ends{WordHandle<HANDLE>(words[0]), WordHandle<HANDLE>(words[1]), WordHandle<HANDLE>(words[2]),
                     WordHandle<HANDLE>(words[3]), WordHandle<HANDLE>(words[4]), 1};
    // Ours alone: a process the engine starts must not hold the channel open.
    for (HANDLE handle : {ends.read, ends.write, ends.arrived, ends.peerArrived, ends.rings}) {
        if (handle) SetHandleInformation(handle, HANDLE_FLAG_INHERIT, 0);
    }
    EngineHost host(ends, parent);
    return host.Run(enginePath);
}

}  // namespace

#ifdef _WIN32
int wmain(int argc, wchar_t** argv) {
    if (argc != 8) return kBadArguments;
    std::vector<std::string> numbers;
    for (int i = 2; i < argc; ++i) numbers.push_back(Utf8FromUtf16(reinterpret_cast<const char16_t*>(argv[i])));
    return Serve(reinterpret_cast<const char16_t*>(argv[1]), numbers);
}
#else
int main(int argc, char** argv) {
    if (argc != 8) return kBadArguments;
    return Serve(Utf16FromUtf8(argv[1]), std::vector<std::string>(argv + 2, argv + argc));
}
#endif
