#include "VantraPlayerManager.h"

#include <cassert>
#include <cstring>
#include <memory>

#include "HostServices.h"
#include "PlayerInstance.h"

namespace {

// The one manager of the process, deleted when the library is unloaded.
std::unique_ptr<VantraPlayerManager> manager;

constexpr char16_t kEngineFile[] = u"Vantra Player 8\\stagerun.dll";

// Calls an entry of a filled table; an entry the engine left empty is skipped.
template <typename... Args>
void CallEntry(const EngineFunctions& table, int index, Args... args) {
    if (EngineEntry entry = table.entries[index]) EntryAs<void(ENGINE_CDECL*)(Args...)>(entry)(args...);
}

}  // namespace

VantraPlayerManager* VantraPlayerManager::Get(bool create) {
    if (!manager && create) manager.reset(new VantraPlayerManager());
    return manager.get();
}

VantraPlayerManager::VantraPlayerManager() : hostServicesPointer(&hostServices) {
    std::memset(&engineFunctions, 0, sizeof engineFunctions);
    FillHostServices(hostServices);
}

VantraPlayerManager::~VantraPlayerManager() { ReleaseLibrary(); }

void VantraPlayerManager::SetPlayerFolder(const std::u16string& folder) { playerFolder = folder; }

std::u16string VantraPlayerManager::EnginePath(const std::u16string& folder) {
    std::u16string path = folder.empty() ? folder : folder.substr(1);
    for (char16_t& c : path) {
        if (c == u'/') c = u'\\';
    }
    return path + kEngineFile;
}

bool VantraPlayerManager::LoadEngine() {
    assert(!engineModule && "VantraPlayerManager.cpp: LoadEngine while loaded");
    if (engineModule) return true;
    std::u16string path = EnginePath(playerFolder);
    engineModule = LoadLibraryW(AsWide(path.c_str()));
    if (!engineModule) return false;
    auto initialize = ProcAddress<ExternalPlayerInitialize>(engineModule, kEngineEntryPoint);
    if (!initialize || initialize(hostServicesPointer, &engineFunctions) != 0) {
        // Nothing may be called through a table that was not filled: let go
        // of the library now, and try afresh on the next demand.
        ReleaseLibrary();
        std::memset(&engineFunctions, 0, sizeof engineFunctions);
        return false;
    }
    return true;
}

InstanceRecord* VantraPlayerManager::CreatePlayerInstance(PlayerInstance* owner) {
    if (!engineModule && !LoadEngine()) return nullptr;
    auto* record = new InstanceRecord{0, owner};
    CallEntry(engineFunctions, kNewInstance, record);
    if (owner) {
        owner->engineFunctions = &engineFunctions;
        owner->engineModule = engineModule;
    }
    HMODULE hostModule = ModuleOfAddress(reinterpret_cast<const void*>(&VantraPlayerManager::Get));
    CallEntry(engineFunctions, kSetHostModule, record, hostModule);
    ++instanceCount;
    return record;
}

void VantraPlayerManager::DestroyPlayerInstance(InstanceRecord* record) {
    assert(record && engineModule && "VantraPlayerManager.cpp: DestroyPlayerInstance without instance");
    if (!record || !engineModule) return;
    CallEntry(engineFunctions, kDestroyInstance, record);
    delete record;
    if (--instanceCount == 0) {
        CallEntry(engineFunctions, kShutdown);
        ReleaseLibrary();
    }
}

void VantraPlayerManager::ReleaseLibrary() {
    if (!engineModule) return;
    FreeLibrary(engineModule);
    engineModule = nullptr;
}
