#include "VantraPlayerManager.h"

#include <algorithm>
#include <cassert>
#include <cstring>
#include <memory>

#include "EngineLibrary.h"
#include "EngineProxy.h"
#include "HostServices.h"
#include "JavaUpcalls.h"
#include "ModuleArchitecture.h"
#include "PlayerInstance.h"

namespace {

constexpr char16_t kEngineFile[] = u"Vantra Player 8\\stagerun.dll";
constexpr size_t kPathUnits = 32768;  // the longest path Windows accepts

std::u16string FullPath(const std::u16string& path) {
    std::u16string full(kPathUnits, u'\0');
    DWORD length = GetFullPathNameW(AsWide(path.c_str()), static_cast<DWORD>(full.size()), AsWide(&full[0]), nullptr);
    if (length == 0 || length >= full.size()) return path;
    full.resize(length);
    return full;
}

// Why the engine cannot be used, as one line on the debug output: the widget
// itself only stays white.
void ReportUnusableEngine(const std::u16string& path, const std::u16string& reason) {
    std::u16string line =
        u"JNIToVantraPlayerBridge: the engine " + FullPath(path) + u" cannot be used: " + reason + u"\n";
    OutputDebugStringW(AsWide(line.c_str()));
}

constexpr char16_t kEngineHostVariable[] = u"VANTRA_PLAYER_ENGINE_HOST";

// An engine process when asked for, or when the engine was built for
// another processor and cannot run in this process.
bool RunsInOwnProcess(ModuleArchitecture engine) {
    std::u16string mode = EnvironmentValue(kEngineHostVariable);
    if (mode == u"process") return true;
    if (!mode.empty()) {
        std::u16string line = u"JNIToVantraPlayerBridge: " + std::u16string(kEngineHostVariable) + u"=" + mode +
                              u" is ignored: the one value it takes is \"process\"\n";
        OutputDebugStringW(AsWide(line.c_str()));
    }
    return engine != ModuleArchitecture::Unknown && engine != OwnArchitecture();
}

}  // namespace

std::unique_ptr<VantraPlayerManager> VantraPlayerManager::instance;

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
    assert(!EngineLoaded() && "VantraPlayerManager.cpp: LoadEngine while loaded");
    if (EngineLoaded()) return true;
    ReleaseIdleProxies();
    std::u16string path = EnginePath(playerFolder);
    ModuleArchitecture architecture = ReadModuleArchitecture(path);
    return RunsInOwnProcess(architecture) ? StartEngineProcess(path, architecture) : LoadInThisProcess(path);
}

bool VantraPlayerManager::LoadInThisProcess(const std::u16string& path) {
    std::u16string failure = LoadEngineLibrary(path, hostServicesPointer, &engineFunctions, &engineModule);
    // On failure the library is released already: the next demand tries afresh.
    if (!failure.empty()) ReportUnusableEngine(path, failure);
    return failure.empty();
}

bool VantraPlayerManager::StartEngineProcess(const std::u16string& path, ModuleArchitecture architecture) {
    std::u16string reason;
    engineProcess = EngineProxy::Start(path, architecture, hostServices, &reason);
    if (!engineProcess) {
        ReportUnusableEngine(path, reason);
        return false;
    }
    engineProcess->FillTable(engineFunctions);
    engineProcess->SetEndedHandler([this] { OnEngineProcessEnded(); });
    return true;
}

// Every instance of the ended process loses its engine; each window first
// drops its record, then the widgets hear of it, when no window depends on
// the manager's state any more.
void VantraPlayerManager::OnEngineProcessEnded() {
    std::vector<InstanceRecord*> records = engineProcess->Records();
    endedProcesses.push_back(std::move(engineProcess));
    std::memset(&engineFunctions, 0, sizeof engineFunctions);
    instanceCount = 0;
    std::vector<PlayerInstance*> owners;
    for (InstanceRecord* record : records) {
        bool inPassage = std::find(recordsInPassage.begin(), recordsInPassage.end(), record) != recordsInPassage.end();
        if (inPassage) continue;  // its creator or destroyer deletes it
        if (record->owner) {
            owners.push_back(record->owner);
            record->owner->OnEngineEnded();
        }
        delete record;
    }
    EngineEndedUpcalls(owners);
}

bool VantraPlayerManager::EngineTakesCalls() const {
    return !engineProcess || engineProcess->Ended() || engineProcess->TakesCalls();
}

void VantraPlayerManager::WhenEngineTakesCalls(std::function<void()> work) {
    if (EngineTakesCalls()) {
        work();
    } else {
        engineProcess->Defer(std::move(work));
    }
}

void VantraPlayerManager::ServeEngineNotices() {
    if (engineProcess) engineProcess->ServeNotices();
    ReleaseIdleProxies();  // serving them may have ended the engine process
}

void VantraPlayerManager::ReleaseEndedProcessesWithoutCalls() {
    for (auto it = endedProcesses.begin(); it != endedProcesses.end();) {
        it = (*it)->CallDepth() == 0 ? endedProcesses.erase(it) : it + 1;
    }
}

// The record counts from before NewInstance: whatever the engine's calls
// lead to meanwhile (the last other instance destroyed from an up-call), the
// engine stays until this record is made or given up.
InstanceRecord* VantraPlayerManager::CreatePlayerInstance(PlayerInstance* owner) {
    if (!EngineLoaded() && !LoadEngine()) return nullptr;
    auto* record = new InstanceRecord{0, owner};
    EngineProxy* proxy = engineProcess.get();
    if (proxy) proxy->Adopt(record);
    ++instanceCount;
    recordsInPassage.push_back(record);
    CallFilledEntry<void>(engineFunctions, kNewInstance, record);
    if (owner) {
        owner->engineFunctions = &engineFunctions;
        owner->engineModule = engineModule;
    }
    HMODULE hostModule = ModuleOfAddress(reinterpret_cast<const void*>(&VantraPlayerManager::Get));
    CallFilledEntry<void>(engineFunctions, kSetHostModule, record, hostModule);
    recordsInPassage.erase(std::find(recordsInPassage.begin(), recordsInPassage.end(), record));
    if (proxy && proxy->Ended()) {  // the engine process ended while creating it; it was counted out then
        delete record;
        return nullptr;
    }
    return record;
}

void VantraPlayerManager::DestroyPlayerInstance(InstanceRecord* record) {
    assert(record && EngineLoaded() && "VantraPlayerManager.cpp: DestroyPlayerInstance without instance");
    if (!record || !EngineLoaded()) return;
    EngineProxy* proxy = engineProcess.get();
    recordsInPassage.push_back(record);
    CallFilledEntry<void>(engineFunctions, kDestroyInstance, record);
    recordsInPassage.erase(std::find(recordsInPassage.begin(), recordsInPassage.end(), record));
    delete record;
    if (proxy && proxy->Ended()) return;  // counted out with the rest of its process
    if (--instanceCount == 0) {
        CallFilledEntry<void>(engineFunctions, kShutdown);
        ReleaseLibrary();
    }
}

void VantraPlayerManager::ReleaseLibrary() {
    if (engineProcess) endedProcesses.push_back(std::move(engineProcess));
    ReleaseIdleProxies();
    if (!engineModule) return;
    FreeLibrary(engineModule);
    engineModule = nullptr;
}
