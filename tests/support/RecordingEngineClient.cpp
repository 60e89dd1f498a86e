#include "RecordingEngineClient.h"

#include <VantraPlayerManager.h>

#include <cstdio>
#include <cstdlib>
#include <string>

RecordingEngineClient::RecordingEngineClient(const char* engine) : RecordingEngineClient(OwnEngineFile(engine)) {}

RecordingEngineClient::RecordingEngineClient(const std::u16string& engineFile) {
    ShareStateThroughFile(engineFile);
    module = LoadLibraryW(AsWide(engineFile.c_str()));
    if (!module) return;
    reset = ProcAddress<RecordingResetFn>(module, "RecordingEngine_Reset");
    callCount = ProcAddress<RecordingCallCountFn>(module, "RecordingEngine_CallCount");
    getCall = ProcAddress<RecordingGetCallFn>(module, "RecordingEngine_GetCall");
    setResult = ProcAddress<RecordingSetResultFn>(module, "RecordingEngine_SetResult");
    setTextResult = ProcAddress<RecordingSetTextResultFn>(module, "RecordingEngine_SetTextResult");
    setRaise = ProcAddress<RecordingSetRaiseFn>(module, "RecordingEngine_SetRaise");
    setCallback = ProcAddress<RecordingSetCallbackFn>(module, "RecordingEngine_SetCallback");
    setRectWords = ProcAddress<RecordingSetRectWordsFn>(module, "RecordingEngine_SetRectWords");
    setComponentReply = ProcAddress<RecordingSetComponentReplyFn>(module, "RecordingEngine_SetComponentReply");
    setServiceCall = ProcAddress<RecordingSetServiceCallFn>(module, "RecordingEngine_SetServiceCall");
    lastServiceCall = ProcAddress<RecordingLastServiceCallFn>(module, "RecordingEngine_LastServiceCall");
    processId = ProcAddress<RecordingProcessIdFn>(module, "RecordingEngine_ProcessId");
    setPaint = ProcAddress<RecordingSetPaintFn>(module, "RecordingEngine_SetPaint");
    setThreadServices = ProcAddress<RecordingSetThreadServicesFn>(module, "RecordingEngine_SetThreadServices");
    if (reset) reset();
}

RecordingEngineClient::~RecordingEngineClient() { Unload(); }

// The engine's record in a file beside it, named in the environment, which
// an engine process the library starts from here inherits. One file for the
// process's life: a loaded engine keeps the file it mapped first.
void RecordingEngineClient::ShareStateThroughFile(const std::u16string& engineFile) {
    static std::string stateFile;
    if (!stateFile.empty()) return;
    std::string path(engineFile.begin(), engineFile.end());
    stateFile = path + "." + std::to_string(GetCurrentProcessId()) + ".state";
    std::u16string name(stateFile.begin(), stateFile.end());
    SetEnvironmentVariableW(AsWide(kStateVariable), AsWide(name.c_str()));
    std::atexit([] { std::remove(stateFile.c_str()); });
}

void RecordingEngineClient::Unload() {
    if (module) FreeLibrary(module);
    module = nullptr;
}

std::u16string RecordingEngineClient::TestsFolder() {
    WCHAR buffer[1024];
    DWORD length = GetModuleFileNameW(nullptr, buffer, 1024);
    std::u16string path(AsUtf16(buffer), length);
    return path.substr(0, path.find_last_of(u"\\/"));
}

std::u16string RecordingEngineClient::TestModuleFile(const char* name) {
#ifdef _WIN32
    const char* suffix = ".dll";
#else
    const char* suffix = ".so";
#endif
    std::string file = std::string("/") + name + suffix;
    return TestsFolder() + std::u16string(file.begin(), file.end());
}

namespace {

// Engines live in build/<preset>/engines, the tests in build/<preset>/tests.
std::u16string OwnFolderText(const char* engine) {
    std::u16string tests = RecordingEngineClient::TestsFolder();
    std::u16string root = tests.substr(0, tests.find_last_of(u"\\/"));
    std::string name(engine);
    return u"/" + root + u"/engines/" + std::u16string(name.begin(), name.end()) + u"/";
}

}  // namespace

std::u16string RecordingEngineClient::FolderText(const char* engine) {
    char16_t named[1024];
    DWORD length = GetEnvironmentVariableW(AsWide(u"VP_ENGINES_FOLDER"), AsWide(named), 1024);
    if (length == 0 || length >= 1024) return OwnFolderText(engine);
    std::string name(engine);
    return u"/" + std::u16string(named, length) + u"/" + std::u16string(name.begin(), name.end()) + u"/";
}

std::u16string RecordingEngineClient::EngineFile(const char* engine) {
    return VantraPlayerManager::EnginePath(FolderText(engine));
}

std::u16string RecordingEngineClient::OwnEngineFile(const char* engine) {
    return VantraPlayerManager::EnginePath(OwnFolderText(engine));
}

std::vector<RecordedCall> RecordingEngineClient::Calls() const {
    std::vector<RecordedCall> calls(static_cast<size_t>(callCount()));
    for (size_t i = 0; i < calls.size(); ++i) getCall(static_cast<int32_t>(i), &calls[i]);
    return calls;
}

std::vector<int32_t> RecordingEngineClient::Entries() const {
    std::vector<int32_t> entries;
    for (const RecordedCall& call : Calls()) entries.push_back(call.entry);
    return entries;
}

std::vector<RecordedCall> RecordingEngineClient::CallsOf(int32_t entry) const {
    std::vector<RecordedCall> calls;
    for (const RecordedCall& call : Calls()) {
        if (call.entry == entry) calls.push_back(call);
    }
    return calls;
}
