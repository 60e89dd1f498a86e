// The engine in a process of its own, seen from the manager: which process
// runs it, and what the end of that process leaves behind.
#include <ChildCopy.h>
#include <EngineMode.h>

#include <chrono>
#include <cstdio>

#include "EngineFixture.h"

namespace {

using std::chrono::milliseconds;
using std::chrono::steady_clock;

// An engine process that dies is seen dead at once (its handle, not a time
// limit, tells): well within this, against a hard limit of 45 s.
constexpr milliseconds kDeathSeenWithin{3000};

milliseconds Since(steady_clock::time_point start) {
    return std::chrono::duration_cast<milliseconds>(steady_clock::now() - start);
}

class EngineProcess : public EngineTest {
protected:
    void SetUp() override {
        EngineTest::SetUp();
        if (!EngineInItsOwnProcess()) GTEST_SKIP() << "the engine would end the test's own process";
    }

    // Ends the engine process the way `raise` says, inside DoPlay of the owner.
    void EndInsideDoPlay(RecordingOwner& owner, int32_t raise) {
        client->setRaise(kDoPlay, raise);
        steady_clock::time_point start = steady_clock::now();
        EXPECT_FALSE(owner.DoPlay()) << "a call the engine process did not finish failed";
        EXPECT_LT(Since(start), kDeathSeenWithin);
        client->setRaise(kDoPlay, kRaiseNothing);
    }
};

}  // namespace

TEST_F(EngineProcess, ItsEndTakesTheEngineFromEveryInstanceAndTheNextCreateStartsAnother) {
    // DoPlay is called guarded: a crash there would be caught where structured
    // exceptions are; abort ends the process everywhere.
    for (int32_t raise : {kRaiseAbort}) {
        RecordingOwner& first = NewOwner();
        RecordingOwner& second = NewOwner();
        ASSERT_NE(CreateInstance(first), nullptr);
        ASSERT_NE(CreateInstance(second), nullptr);
        int32_t ended = client->processId();
        EndInsideDoPlay(first, raise);
        EXPECT_EQ(first.instanceRecord, nullptr) << raise;
        EXPECT_EQ(second.instanceRecord, nullptr) << raise;
        EXPECT_EQ(Manager().InstanceCount(), 0);
        EXPECT_FALSE(Manager().EngineLoaded());
        EXPECT_FALSE(second.DoPlay()) << "no engine, no call";
        EXPECT_EQ(second.EngineCallDepth(), 0);

        client->reset();
        RecordingOwner& next = NewOwner();
        ASSERT_NE(CreateInstance(next), nullptr) << raise;
        EXPECT_TRUE(next.DoPlay());
        EXPECT_NE(client->processId(), ended);
        EXPECT_EQ(Manager().InstanceCount(), 1);
        DestroyInstance(next);
    }
}

// The engine's thread asks for a service while NewInstance runs; serving it,
// Java destroys the other widget. That call must not be taken for the answer
// to NewInstance that the engine process sent meanwhile.
TEST_F(EngineProcess, AWidgetDestroyedWhileANoticeIsServedDuringCreationLeavesTheRestPlaying) {
    RecordingOwner& first = NewOwner();
    RecordingOwner& second = NewOwner();
    ASSERT_NE(CreateInstance(first), nullptr);
    int32_t process = client->processId();
    client->setThreadServices(kNewInstance, -1);
    second.duringNextInvalidate = [&] { DestroyInstance(first); };
    ASSERT_NE(CreateInstance(second), nullptr);
    client->setThreadServices(0, 0);
    EXPECT_EQ(first.instanceRecord, nullptr);
    EXPECT_TRUE(second.DoPlay()) << "the engine process serves the new widget";
    EXPECT_EQ(client->processId(), process);
    EXPECT_EQ(Manager().InstanceCount(), 1);
    EXPECT_EQ(client->CallsOf(kDestroyInstance).size(), 1u);
}

TEST_F(EngineProcess, WhatTheEnginePrintsChangesNothing) {
    RecordingOwner& first = NewOwner();
    RecordingOwner& second = NewOwner();
    ASSERT_NE(CreateInstance(first), nullptr);
    ASSERT_NE(CreateInstance(second), nullptr);
    int32_t process = client->processId();
    client->setRaise(kDoPlay, kRaisePrintOutput);
    EXPECT_TRUE(first.DoPlay());
    EXPECT_TRUE(second.DoPlay());
    client->setRaise(kDoPlay, kRaiseNothing);
    EXPECT_NE(first.instanceRecord, nullptr);
    EXPECT_NE(second.instanceRecord, nullptr);
    EXPECT_EQ(client->processId(), process);
    EXPECT_EQ(client->CallsOf(kDoPlay).size(), 2u);
}

// As for a widget without an engine: the natives tell Java these failed.
TEST_F(EngineProcess, CallsCutShortByTheEndOfTheProcessReportFailure) {
    for (int32_t entry : {kSetVariable, kCallFunction, kLoadMovie}) {
        RecordingOwner& owner = NewOwner();
        ASSERT_NE(CreateInstance(owner), nullptr);
        client->setRaise(entry, kRaiseCrash);
        steady_clock::time_point start = steady_clock::now();
        if (entry == kSetVariable) {
            EXPECT_EQ(owner.SetVariable("name", "value"), 0);
        } else if (entry == kCallFunction) {
            EXPECT_EQ(owner.CallFunction("<invoke name=\"f\"/>"), 0);
        } else {
            EXPECT_FALSE(owner.LoadMovie(0, "movie", false));
        }
        EXPECT_LT(Since(start), kDeathSeenWithin) << entry;
        EXPECT_EQ(owner.instanceRecord, nullptr) << entry;
        client->reset();
    }
}

TEST_F(EngineProcess, WhatTheGuardCatchesInItsProcessLeavesThatProcessRunning) {
    RecordingOwner& owner = NewOwner();
    ASSERT_NE(CreateInstance(owner), nullptr);
    int32_t process = client->processId();
    std::vector<int32_t> raises{kRaiseAccessViolation};
    if (EngineThrowsReachTheHost()) raises.push_back(kRaiseCppException);
    for (int32_t raise : raises) {
        client->setRaise(kDoPlay, raise);
        EXPECT_FALSE(owner.DoPlay()) << raise;
        client->setRaise(kDoPlay, kRaiseNothing);
        EXPECT_TRUE(owner.DoPlay()) << raise;
        EXPECT_NE(owner.instanceRecord, nullptr);
        EXPECT_EQ(client->processId(), process);
    }
}

TEST_F(EngineProcess, AnEndDuringCreationGivesNoInstance) {
    client->setRaise(kNewInstance, kRaiseCrash);
    RecordingOwner& owner = NewOwner();
    steady_clock::time_point start = steady_clock::now();
    EXPECT_EQ(CreateInstance(owner), nullptr);
    EXPECT_LT(Since(start), kDeathSeenWithin);
    EXPECT_EQ(Manager().InstanceCount(), 0);
    client->reset();
    EXPECT_NE(CreateInstance(NewOwner()), nullptr);
}

TEST_F(EngineProcess, AnEndDuringDestructionStillDestroysTheInstance) {
    RecordingOwner& first = NewOwner();
    RecordingOwner& second = NewOwner();
    ASSERT_NE(CreateInstance(first), nullptr);
    ASSERT_NE(CreateInstance(second), nullptr);
    client->setRaise(kDestroyInstance, kRaiseCrash);
    steady_clock::time_point start = steady_clock::now();
    DestroyInstance(first);
    EXPECT_LT(Since(start), kDeathSeenWithin);
    EXPECT_EQ(second.instanceRecord, nullptr) << "the other instance lost its engine";
    EXPECT_EQ(Manager().InstanceCount(), 0);
    client->reset();
    EXPECT_NE(CreateInstance(NewOwner()), nullptr);
}

// The host of the test below, run in a child copy of this program: its
// engine process hangs inside DoPlay.
TEST_F(EngineProcess, DISABLED_HostOfAHungEngine) {
    RecordingOwner& owner = NewOwner();
    ASSERT_NE(CreateInstance(owner), nullptr);
    client->setRaise(kDoPlay, kRaiseHang);
    std::printf("engine process %d\n", client->processId());
    std::fflush(stdout);
    owner.DoPlay();
}

TEST_F(EngineProcess, AHostKilledFromOutsideLeavesNoEngineProcessBehind) {
    ChildCopy host("EngineProcess.DISABLED_HostOfAHungEngine");
    ASSERT_TRUE(host.Started());
    std::optional<long> engine = host.NumberAfter("engine process ");
    ASSERT_TRUE(engine.has_value()) << "the host reported its engine process";
    HANDLE engineProcess = OpenProcess(SYNCHRONIZE, FALSE, static_cast<DWORD>(*engine));
    ASSERT_NE(engineProcess, nullptr);
    Sleep(200);  // into DoPlay, where the engine hangs
    ASSERT_EQ(WaitForSingleObject(host.Process(), 0), WAIT_TIMEOUT) << "the host waits for its hung engine";
    TerminateProcess(host.Process(), 9);
    steady_clock::time_point start = steady_clock::now();
    EXPECT_EQ(WaitForSingleObject(engineProcess, 5000), WAIT_OBJECT_0) << "the engine process ended with its host";
    EXPECT_LT(Since(start), kDeathSeenWithin);
    CloseHandle(engineProcess);
}

TEST_F(EngineProcess, StartsWithoutTheBusyCursor) {
    RecordingOwner& owner = NewOwner();
    ASSERT_NE(CreateInstance(owner), nullptr);
    client->setServiceCall(kDoPlay, kReadStartupFlags, "");
    ASSERT_TRUE(owner.DoPlay());
    int32_t flags = 0;
    client->lastServiceCall(&flags, nullptr, 0);
    EXPECT_NE(flags & STARTF_FORCEOFFFEEDBACK, 0) << "startup flags " << flags;
}

// Stands for a program the engine starts: it waits to be ended.
TEST_F(EngineProcess, DISABLED_AProgramTheEngineStarts) { Sleep(60000); }

// The host of the test below: its engine starts a program inside DoPlay.
TEST_F(EngineProcess, DISABLED_HostOfAnEngineThatStartsAProgram) {
    RecordingOwner& owner = NewOwner();
    ASSERT_NE(CreateInstance(owner), nullptr);
    std::vector<WCHAR> own(1024);
    DWORD length = GetModuleFileNameW(nullptr, own.data(), static_cast<DWORD>(own.size()));
    ASSERT_TRUE(length > 0 && length < own.size());
    std::string program;
    for (DWORD i = 0; i < length; ++i) program += static_cast<char>(own[i]);  // the build folder's path is ASCII
    std::string line = "\"" + program +
                       "\" --gtest_also_run_disabled_tests --gtest_filter=EngineProcess.DISABLED_AProgramTheEngineStarts";
    client->setServiceCall(kDoPlay, kStartProgram, line.c_str());
    ASSERT_TRUE(owner.DoPlay());
    int32_t started = 0;
    client->lastServiceCall(&started, nullptr, 0);
    std::printf("engine process %d\nprogram %d\n", client->processId(), started);
    std::fflush(stdout);
    Sleep(60000);
}

TEST_F(EngineProcess, WhatTheEngineStartsOutlivesTheApplicationAndTheEngineProcessDoesNot) {
    ChildCopy host("EngineProcess.DISABLED_HostOfAnEngineThatStartsAProgram");
    ASSERT_TRUE(host.Started());
    std::optional<long> engine = host.NumberAfter("engine process ");
    std::optional<long> program = host.NumberAfter("program ");
    ASSERT_TRUE(engine.has_value() && program.has_value()) << "the host reported both";
    ASSERT_NE(*program, 0) << "the engine started its program";
    HANDLE engineProcess = OpenProcess(SYNCHRONIZE, FALSE, static_cast<DWORD>(*engine));
    HANDLE programProcess = OpenProcess(SYNCHRONIZE | PROCESS_TERMINATE, FALSE, static_cast<DWORD>(*program));
    ASSERT_NE(engineProcess, nullptr);
    ASSERT_NE(programProcess, nullptr);
    TerminateProcess(host.Process(), 9);
    steady_clock::time_point start = steady_clock::now();
    EXPECT_EQ(WaitForSingleObject(engineProcess, 5000), WAIT_OBJECT_0) << "the engine process ended with its host";
    EXPECT_LT(Since(start), kDeathSeenWithin);
    EXPECT_EQ(WaitForSingleObject(programProcess, 1000), WAIT_TIMEOUT) << "the engine's program runs on";
    TerminateProcess(programProcess, 1);
    WaitForSingleObject(programProcess, 5000);
    CloseHandle(programProcess);
    CloseHandle(engineProcess);
}
