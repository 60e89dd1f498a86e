// Loading, counting and releasing the engine.
#include <DebugOutputCapture.h>

#include "EngineFixture.h"

using ManagerLifecycle = EngineTest;
using EntryList = std::vector<int32_t>;

TEST(ManagerPath, DropsTheFirstCharacterTurnsSlashesAndAppendsTheEngineFile) {
    EXPECT_EQ(VantraPlayerManager::EnginePath(u"/C:/Apps/Player/"), u"C:\\Apps\\Player\\Vantra Player 8\\stagerun.dll");
    EXPECT_EQ(VantraPlayerManager::EnginePath(u"/C:/Apps"), u"C:\\AppsVantra Player 8\\stagerun.dll");
    EXPECT_EQ(VantraPlayerManager::EnginePath(u""), u"Vantra Player 8\\stagerun.dll");
    EXPECT_EQ(VantraPlayerManager::EnginePath(u"/"), u"Vantra Player 8\\stagerun.dll");
}

TEST(ManagerGet, WithoutCreateMakesNothing) {
    // Meaningful only as the one test of its process: asking whether the
    // manager exists cannot tell, that is what is under test.
    if (::testing::UnitTest::GetInstance()->test_to_run_count() != 1) {
        GTEST_SKIP() << "other tests of this process may make the manager";
    }
    EXPECT_EQ(VantraPlayerManager::Get(false), nullptr);
    VantraPlayerManager* made = VantraPlayerManager::Get(true);
    EXPECT_NE(made, nullptr);
    EXPECT_EQ(VantraPlayerManager::Get(false), made);
}

TEST_F(ManagerLifecycle, FirstInstanceLoadsAndInitialisesTheSecondDoesNot) {
    RecordingOwner& first = NewOwner();
    RecordingOwner& second = NewOwner();
    ASSERT_NE(CreateInstance(first), nullptr);
    ASSERT_NE(CreateInstance(second), nullptr);
    EXPECT_EQ(Entries(), (EntryList{kRecordedInitialize, kNewInstance, kSetHostModule, kNewInstance, kSetHostModule}));
    EXPECT_EQ(Manager().InstanceCount(), 2);
    EXPECT_EQ(first.instanceRecord->owner, &first);
    EXPECT_NE(first.engineFunctions, nullptr);
    EXPECT_TRUE(Manager().EngineLoaded());
}

TEST_F(ManagerLifecycle, TheEngineSeesTheHostsOwnServicesRecordsAndModule) {
    SKIP_WITH_ENGINE_PROCESS("an engine process gives the engine tables, records and a module of its own");
    RecordingOwner& first = NewOwner();
    ASSERT_NE(CreateInstance(first), nullptr);
    auto calls = Calls();
    EXPECT_EQ(calls[0].args[0], reinterpret_cast<intptr_t>(&Manager().Services()));
    EXPECT_EQ(calls[1].record, reinterpret_cast<intptr_t>(first.instanceRecord));
    EXPECT_EQ(first.instanceRecord->engineData, 0u);
    // SetHostModule receives the module of the host code, not the engine.
    HMODULE host = ModuleOfAddress(reinterpret_cast<const void*>(&VantraPlayerManager::Get));
    EXPECT_EQ(calls[2].args[0], reinterpret_cast<intptr_t>(host));
    EXPECT_NE(calls[2].args[0], reinterpret_cast<intptr_t>(client->Module()));
    EXPECT_EQ(first.engineModule, client->Module());
}

TEST_F(ManagerLifecycle, LastDestroyShutsDownOnceAndTheNextCreateLoadsAgain) {
    RecordingOwner& first = NewOwner();
    RecordingOwner& second = NewOwner();
    CreateInstance(first);
    CreateInstance(second);
    client->reset();
    DestroyInstance(first);
    EXPECT_TRUE(Manager().EngineLoaded());
    DestroyInstance(second);
    EXPECT_EQ(Entries(), (EntryList{kDestroyInstance, kDestroyInstance, kShutdown}));
    EXPECT_EQ(Manager().InstanceCount(), 0);
    EXPECT_FALSE(Manager().EngineLoaded());
    client->reset();
    ASSERT_NE(CreateInstance(first), nullptr);
    EXPECT_EQ(Entries(), (EntryList{kRecordedInitialize, kNewInstance, kSetHostModule}));
}

// The other widget destroyed from an up-call that the engine's NewInstance
// makes: the instance being made still counts, so the engine stays.
TEST_F(ManagerLifecycle, TheLastOtherInstanceDestroyedWhileOneIsMadeLeavesTheEngineLoaded) {
    RecordingOwner& first = NewOwner();
    RecordingOwner& second = NewOwner();
    ASSERT_NE(CreateInstance(first), nullptr);
    client->reset();
    client->setServiceCall(kNewInstance, kServiceCallInvalidate, "");
    second.duringNextInvalidate = [&] { DestroyInstance(first); };
    ASSERT_NE(CreateInstance(second), nullptr);
    client->setServiceCall(kNewInstance, kServiceCallNothing, "");
    EXPECT_EQ(Entries(), (EntryList{kNewInstance, kDestroyInstance, kSetHostModule})) << "no shutdown";
    EXPECT_EQ(Manager().InstanceCount(), 1);
    EXPECT_TRUE(second.DoPlay()) << "the new instance has its engine";
    EXPECT_EQ(client->CallsOf(kDoPlay).size(), 1u);
    DestroyInstance(second);
    EXPECT_FALSE(Manager().EngineLoaded());
}

TEST_F(ManagerLifecycle, LastDestroyReleasesTheLibrary) {
    RecordingOwner& owner = NewOwner();
    CreateInstance(owner);
    DestroyInstance(owner);
    client->Unload();  // our own reference; the manager's must be gone already
    std::u16string file = EngineFile("recording");
    HMODULE stillLoaded = nullptr;
    EXPECT_FALSE(GetModuleHandleExW(0, AsWide(file.c_str()), &stillLoaded));
    if (stillLoaded) FreeLibrary(stillLoaded);
}

TEST_F(ManagerLifecycle, MissingLibraryGivesNoInstanceAndTriesAgainNextTime) {
    RecordingOwner& owner = NewOwner();
    EXPECT_EQ(CreateInstance(owner, "no-such-engine"), nullptr);
    EXPECT_EQ(Manager().InstanceCount(), 0);
    EXPECT_FALSE(Manager().EngineLoaded());
    EXPECT_TRUE(Entries().empty());
    ASSERT_NE(CreateInstance(owner, "recording"), nullptr);
    EXPECT_EQ(Manager().InstanceCount(), 1);
}

TEST_F(ManagerLifecycle, MissingEntryPointGivesNoInstanceAndNoLoadedLibrary) {
    RecordingOwner& owner = NewOwner();
    EXPECT_EQ(CreateInstance(owner, "recording-noentry"), nullptr);
    EXPECT_EQ(Manager().InstanceCount(), 0);
    EXPECT_FALSE(Manager().EngineLoaded());
}

TEST_F(ManagerLifecycle, FailedInitialisationIsNeverCalledThroughAndIsRetried) {
    RecordingOwner& owner = NewOwner();
    std::u16string file = RecordingEngineClient::OwnEngineFile("recording-failinit");  // its record
    HMODULE failing = LoadLibraryW(AsWide(file.c_str()));
    ASSERT_NE(failing, nullptr);
    auto count = ProcAddress<RecordingCallCountFn>(failing, "RecordingEngine_CallCount");
    auto getCall = ProcAddress<RecordingGetCallFn>(failing, "RecordingEngine_GetCall");
    EXPECT_EQ(CreateInstance(owner, "recording-failinit"), nullptr);
    EXPECT_FALSE(Manager().EngineLoaded());
    EXPECT_EQ(CreateInstance(owner, "recording-failinit"), nullptr);
    ASSERT_EQ(count(), 2);  // two initialisations, nothing else
    RecordedCall call;
    for (int i = 0; i < 2; ++i) {
        getCall(i, &call);
        EXPECT_EQ(call.entry, kRecordedInitialize);
    }
    EXPECT_EQ(Manager().InstanceCount(), 0);
    FreeLibrary(failing);
}

namespace {
std::u16string Backslashed(std::u16string path) {
    for (char16_t& c : path) c = c == u'/' ? u'\\' : c;
    return path;
}
}  // namespace

TEST_F(ManagerLifecycle, AnEngineThatCannotBeUsedIsNamedOnTheDebugOutputWithTheReason) {
    const std::pair<const char*, std::u16string> cases[] = {
        {"no-such-engine", u"it does not load: "},
        {"recording-noentry", u"it has no entry point ExternalPlayer_Initialize\n"},
        {"recording-failinit", u"its initialisation answered 1\n"},
    };
    for (const auto& [engine, reason] : cases) {
        DebugOutputCapture capture;
        EXPECT_EQ(CreateInstance(NewOwner(), engine), nullptr);
        std::vector<std::u16string> lines = capture.Take();
        ASSERT_EQ(lines.size(), 1u) << engine;
        std::u16string expected =
            u"JNIToVantraPlayerBridge: the engine " + Backslashed(EngineFile(engine)) + u" cannot be used: " + reason;
        EXPECT_EQ(Backslashed(lines[0]).compare(0, expected.size(), expected), 0) << engine;
        if (std::string(engine) == "no-such-engine") {
            // The system's own text and number follow.
            EXPECT_NE(lines[0].find(u" (error 126)\n"), std::u16string::npos);
            EXPECT_GT(lines[0].size(), expected.size() + std::u16string(u" (error 126)\n").size());
        }
    }
    DebugOutputCapture capture;
    EXPECT_NE(CreateInstance(NewOwner()), nullptr);
    EXPECT_TRUE(capture.Take().empty()) << "a usable engine is not reported";
}

TEST_F(ManagerLifecycle, TheEngineRunsInTheProcessTheModeSays) {
    RecordingOwner& owner = NewOwner();
    ASSERT_NE(CreateInstance(owner), nullptr);
    bool elsewhere = client->processId() != static_cast<int32_t>(GetCurrentProcessId());
    EXPECT_EQ(elsewhere, EngineInItsOwnProcess());
    EXPECT_EQ(Manager().EngineInOwnProcess(), EngineInItsOwnProcess());
}

TEST_F(ManagerLifecycle, AnUnknownEngineHostIsIgnoredAndSaidSo) {
    const char16_t name[] = u"VANTRA_PLAYER_ENGINE_HOST";
    WCHAR before[32] = {};
    bool wasSet = GetEnvironmentVariableW(AsWide(name), before, 32) > 0;
    SetEnvironmentVariableW(AsWide(name), AsWide(u"elsewhere"));
    DebugOutputCapture capture;
    RecordingOwner& owner = NewOwner();
    EXPECT_NE(CreateInstance(owner), nullptr);
    EXPECT_FALSE(Manager().EngineInOwnProcess());
    std::vector<std::u16string> lines = capture.Take();
    SetEnvironmentVariableW(AsWide(name), wasSet ? before : nullptr);
    ASSERT_EQ(lines.size(), 1u);
    EXPECT_EQ(lines[0],
              u"JNIToVantraPlayerBridge: VANTRA_PLAYER_ENGINE_HOST=elsewhere is ignored: the one value it "
              u"takes is \"process\"\n");
}
