// The single, process-wide owner of the engine library: loads it on the first
// demand, lets it fill the EngineFunctions table, hands it the HostServices
// table, creates and counts the InstanceRecords, and releases the library
// after the last instance is gone.
//
// The engine runs in this process unless VANTRA_PLAYER_ENGINE_HOST is
// "process" or the engine was built for another processor than this library:
// then it runs in an engine process of its own behind a proxy (EngineProxy),
// and an end of that process takes the engine from every instance it had.
#pragma once

#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "EngineContract.h"
#include "ModuleArchitecture.h"

class EngineProxy;
class PlayerInstance;

class VantraPlayerManager {
public:
    // The manager; created on first use when `create` is true, else possibly null.
    static VantraPlayerManager* Get(bool create) {
        if (!instance && create) instance.reset(new VantraPlayerManager());
        return instance.get();
    }

    virtual ~VantraPlayerManager();
    VantraPlayerManager(const VantraPlayerManager&) = delete;
    VantraPlayerManager& operator=(const VantraPlayerManager&) = delete;

    // The folder the next load uses; it must end with a separator and is
    // given with one leading character that is dropped ("/C:/Apps/").
    void SetPlayerFolder(const std::u16string& folder);

    // Loads and initialises the engine. Precondition: not loaded.
    bool LoadEngine();

    // A new engine instance for `owner`, or null when the engine cannot be had.
    InstanceRecord* CreatePlayerInstance(PlayerInstance* owner);
    void DestroyPlayerInstance(InstanceRecord* record);

    // Frees the engine library without calling it (ends its engine process).
    void ReleaseLibrary();

    bool EngineLoaded() const { return engineModule || engineProcess; }
    // Lets go of ended engine processes whose calls have all returned; after
    // every outermost engine call while there are any.
    void ReleaseIdleProxies() {
        if (!endedProcesses.empty()) ReleaseEndedProcessesWithoutCalls();
    }
    // Whether ended engine processes wait to be let go.
    static bool HasEndedProcesses() { return instance && !instance->endedProcesses.empty(); }
    // Serves what the engine process asked for outside the host's calls.
    void ServeEngineNotices();
    // Whether the engine runs in a process of its own.
    bool EngineInOwnProcess() const { return engineProcess != nullptr; }
    // Whether the engine can be called now: always in this process; its own
    // process takes no call while it runs one of ours (see EngineProxy).
    bool EngineTakesCalls() const;
    // Work that needs the engine, done once it takes calls again (now, when it does).
    void WhenEngineTakesCalls(std::function<void()> work);

    // The path LoadEngine uses for a folder text.
    static std::u16string EnginePath(const std::u16string& folder);

    int InstanceCount() const { return instanceCount; }
    HMODULE EngineModule() const { return engineModule; }
    const HostServices& Services() const { return hostServices; }

private:
    VantraPlayerManager();

    bool LoadInThisProcess(const std::u16string& path);
    bool StartEngineProcess(const std::u16string& path, ModuleArchitecture architecture);
    void OnEngineProcessEnded();

    EngineFunctions engineFunctions;
    HostServices* hostServicesPointer;
    HostServices hostServices;
    int32_t instanceCount = 0;
    HMODULE engineModule = nullptr;
    std::u16string playerFolder;
    std::unique_ptr<EngineProxy> engineProcess;
    // Proxies of ended engine processes, kept until no call of theirs is in progress.
    std::vector<std::unique_ptr<EngineProxy>> endedProcesses;
    // The one manager of the process, deleted when the library is unloaded.
    static std::unique_ptr<VantraPlayerManager> instance;
    void ReleaseEndedProcessesWithoutCalls();
    // Records being created or destroyed: their callers finish them, whatever happens meanwhile.
    std::vector<InstanceRecord*> recordsInPassage;
};
