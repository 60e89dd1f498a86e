// VantraPlayerEngineHost "<engine file>" <read handle> <write handle> <parent id>:
// runs one engine for the library that started it, over the channel whose
// ends it inherited, and ends with that library's process. It has no
// console and no standard handles: what an engine prints goes nowhere.
#include <Platform.h>

#include <cstdlib>
#include <string>
#include <thread>

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
bool WatchParent(DWORD parentId) {
    HANDLE parent = OpenProcess(SYNCHRONIZE, FALSE, parentId);
    if (!parent) return false;
    std::thread([parent] {
        WaitForSingleObject(parent, INFINITE);
        TerminateProcess(GetCurrentProcess(), kParentEnded);
    }).detach();
    return true;
}

int Serve(const std::u16string& enginePath, const std::string& readText, const std::string& writeText,
          const std::string& parentText) {
    int32_t read = 0, write = 0, parent = 0;
    if (!ParseWord(readText, &read) || !ParseWord(writeText, &write) || !ParseWord(parentText, &parent)) {
        return kBadArguments;
    }
    // A crash ends this process at once, with no dialog holding it.
    SetErrorMode(SEM_FAILCRITICALERRORS | SEM_NOGPFAULTERRORBOX | SEM_NOOPENFILEERRORBOX);
    if (!WatchParent(static_cast<DWORD>(parent))) return kParentEnded;
    // Ours alone: a process the engine starts must not hold the channel open.
    for (int32_t end : {read, write}) SetHandleInformation(WordHandle<HANDLE>(end), HANDLE_FLAG_INHERIT, 0);
    EngineHost host(WordHandle<HANDLE>(read), WordHandle<HANDLE>(write));
    return host.Run(enginePath);
}

}  // namespace

#ifdef _WIN32
int wmain(int argc, wchar_t** argv) {
    if (argc != 5) return kBadArguments;
    auto narrow = [](const wchar_t* text) { return Utf8FromUtf16(reinterpret_cast<const char16_t*>(text)); };
    return Serve(reinterpret_cast<const char16_t*>(argv[1]), narrow(argv[2]), narrow(argv[3]), narrow(argv[4]));
}
#else
int main(int argc, char** argv) {
    if (argc != 5) return kBadArguments;
    return Serve(Utf16FromUtf8(argv[1]), argv[2], argv[3], argv[4]);
}
#endif
