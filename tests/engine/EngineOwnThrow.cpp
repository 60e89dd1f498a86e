// What an engine's own C++ exception does when it leaves an engine entry, in
// a build where C++ exceptions are not structured exceptions (32-bit
// Windows with this toolchain: DWARF unwind tables). The engine's runtime
// unwinds with the tables it registered itself, finds no handler in the
// engine's own frames, and ends the process with std::terminate before any
// frame of the host is reached: the host's guard never runs. CTest expects
// the runtime's last words and not the line after the call.
#include <cstdio>

#include "EngineGuard.h"
#include "RecordingEngineClient.h"
#include "VantraPlayerManager.h"

int main() {
    RecordingEngineClient engine("recording");
    if (!engine.Loaded()) return 2;
    auto initialize = ProcAddress<ExternalPlayerInitialize>(engine.Module(), kEngineEntryPoint);
    HostServices services = VantraPlayerManager::Get(true)->Services();
    EngineFunctions functions{};
    if (!initialize || initialize(&services, &functions) != 0) return 2;
    engine.setRaise(kDoPlay, kRaiseCppException);
    InstanceRecord record{0, nullptr};
    auto doPlay = EntryAs<intptr_t (*)(InstanceRecord*)>(functions.entries[kDoPlay]);
    std::printf("calling the engine\n");
    std::fflush(stdout);
    bool returned = CallGuarded([&] { doPlay(&record); });
    std::printf("the host's guard caught it: %s\n", returned ? "no" : "yes");
    return 0;
}
