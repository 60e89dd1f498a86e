// The single, process-wide owner of the engine library: loads it on the first
// demand, lets it fill the EngineFunctions table, hands it the HostServices
// table, creates and counts the InstanceRecords, and releases the library
// after the last instance is gone.
#pragma once

#include <string>

#include "EngineContract.h"

class PlayerInstance;

class VantraPlayerManager {
public:
    // The manager; created on first use when `create` is true, else possibly null.
    static VantraPlayerManager* Get(bool create);

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

    // Frees the engine library without calling it.
    void ReleaseLibrary();

    // The path LoadEngine uses for a folder text.
    static std::u16string EnginePath(const std::u16string& folder);

    int InstanceCount() const { return instanceCount; }
    HMODULE EngineModule() const { return engineModule; }
    const HostServices& Services() const { return hostServices; }

private:
    VantraPlayerManager();

    EngineFunctions engineFunctions;
    HostServices* hostServicesPointer;
    HostServices hostServices;
    int32_t instanceCount = 0;
    HMODULE engineModule = nullptr;
    std::u16string playerFolder;
};
