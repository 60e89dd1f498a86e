// The test's own handle on the recording engine: it keeps the engine loaded
// (so its record survives the host's loads and releases) and reaches its
// controls.
#pragma once

#include <Platform.h>
#include <RecordingEngineControl.h>

#include <string>
#include <vector>

class RecordingEngineClient {
public:
    // Loads the engine of the given folder under build/<preset>/engines.
    explicit RecordingEngineClient(const char* engine = "recording");
    // Loads the engine file at a path (for hosts that are not our test programs).
    explicit RecordingEngineClient(const std::u16string& engineFile);
    ~RecordingEngineClient();
    RecordingEngineClient(const RecordingEngineClient&) = delete;
    RecordingEngineClient& operator=(const RecordingEngineClient&) = delete;

    bool Loaded() const { return module && reset; }
    HMODULE Module() const { return module; }
    void Unload();

    // The folder text the host is given (with the leading character it drops),
    // and the engine file there: of this build, or of the engines folder that
    // VP_ENGINES_FOLDER names (the 32-bit build's, for a 64-bit library).
    static std::u16string FolderText(const char* engine);
    static std::u16string EngineFile(const char* engine);
    // The engine file of this build, which this process can load: a client
    // of a 32-bit engine in its engine process loads the 64-bit one, which
    // keeps its record in the same file.
    static std::u16string OwnEngineFile(const char* engine);
    // build/<preset>/tests, where the test programs run from (no separator at the end).
    static std::u16string TestsFolder();
    // A module built beside the test programs (build/<preset>/tests).
    static std::u16string TestModuleFile(const char* name);

    std::vector<RecordedCall> Calls() const;
    std::vector<int32_t> Entries() const;
    // The calls of one entry, in order.
    std::vector<RecordedCall> CallsOf(int32_t entry) const;

    RecordingResetFn reset = nullptr;
    RecordingSetResultFn setResult = nullptr;
    RecordingSetTextResultFn setTextResult = nullptr;
    RecordingSetRaiseFn setRaise = nullptr;
    RecordingSetCallbackFn setCallback = nullptr;
    RecordingSetRectWordsFn setRectWords = nullptr;
    RecordingSetComponentReplyFn setComponentReply = nullptr;
    RecordingSetServiceCallFn setServiceCall = nullptr;
    RecordingLastServiceCallFn lastServiceCall = nullptr;
    RecordingProcessIdFn processId = nullptr;
    RecordingSetPaintFn setPaint = nullptr;
    RecordingSetThreadServicesFn setThreadServices = nullptr;

private:
    static constexpr char16_t kStateVariable[] = u"VANTRA_RECORDING_ENGINE_STATE";
    static void ShareStateThroughFile(const std::u16string& engineFile);

    HMODULE module = nullptr;
    RecordingCallCountFn callCount = nullptr;
    RecordingGetCallFn getCall = nullptr;
};
