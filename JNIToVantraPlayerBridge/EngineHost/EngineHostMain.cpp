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

// Arguments: the channel's, as ChannelArguments wrote them.
int Serve(const std::u16string& enginePath, const std::vector<std::string>& arguments) {
    ChannelEnds ends;
    DWORD parentId = 0;
    if (!ParseChannelArguments(arguments, &ends, &parentId)) return kBadArguments;
    // A crash ends this process at once, with no dialog holding it.
    SetErrorMode(SEM_FAILCRITICALERRORS | SEM_NOGPFAULTERRORBOX | SEM_NOOPENFILEERRORBOX);
    HANDLE parent = WatchParent(parentId);
    if (!parent) return kParentEnded;
    // Ours alone: a process the engine starts must not hold the channel open.
    for (HANDLE handle : ends.Handles()) {
        if (handle) SetHandleInformation(handle, HANDLE_FLAG_INHERIT, 0);
    }
    EngineHost host(ends, parent);
    return host.Run(enginePath);
}

}  // namespace

#ifdef _WIN32
int wmain(int argc, wchar_t** argv) {
    if (argc < 2) return kBadArguments;
    std::vector<std::string> arguments;
    for (int i = 2; i < argc; ++i) arguments.push_back(Utf8FromUtf16(reinterpret_cast<const char16_t*>(argv[i])));
    return Serve(reinterpret_cast<const char16_t*>(argv[1]), arguments);
}
#else
int main(int argc, char** argv) {
    if (argc < 2) return kBadArguments;
    return Serve(Utf16FromUtf8(argv[1]), std::vector<std::string>(argv + 2, argv + argc));
}
#endif
