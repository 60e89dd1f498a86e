// A window whose engine process ended or hung: it keeps working without
// engine. A window whose engine sends it messages inside a call.
#include <ChannelWait.h>
#include <DebugOutputCapture.h>
#include <EngineMode.h>
#include <ScopedEngineTimeLimits.h>

#include "WindowFixture.h"

#ifndef _WIN32
#include <headless_control.h>
#endif

namespace {

class EngineProcessWindow : public WindowTest {
protected:
    void SetUp() override {
        WindowTest::SetUp();
        if (!EngineInItsOwnProcess()) GTEST_SKIP() << "the engine would end the test's own process";
    }

    // A player shown at 60 x 40 and painted once.
    CPlayerWnd* ShownPlayer() {
        CPlayerWnd* window = CreatePlayer();
        Place(window, 0, 0, 60, 40);
        Pump();
        return window;
    }
};

}  // namespace

TEST_F(EngineProcessWindow, AWindowWhoseEngineProcessEndedPaintsWhiteAndTakesInput) {
    CPlayerWnd* window = CreatePlayer();
    HWND hwnd = window->GetSafeHwnd();
    Place(window, 0, 0, 60, 40);
    engine->setPaint(kPaintArea, 0x00FF0000, 0, 0, 60, 40);
    InvalidateRect(hwnd, nullptr, FALSE);
    Pump();
    ASSERT_EQ(PixelAt(hwnd, 30, 20), RGB(255, 0, 0)) << "the engine painted";

    engine->setRaise(kDoPlay, kRaiseAbort);
    WaitClock::time_point start = WaitClock::now();
    EXPECT_FALSE(window->DoPlay());
    EXPECT_LT(WaitClock::now() - start, Milliseconds(3000)) << "its death seen at once, not at a limit";
    EXPECT_EQ(window->GetInstanceRecord(), nullptr);
    Pump();  // the window asked to be painted again
    EXPECT_EQ(PixelAt(hwnd, 30, 20), RGB(255, 255, 255));
    EXPECT_EQ(PixelAt(hwnd, 0, 0), RGB(255, 255, 255));

    engine->reset();
    SendMessageW(hwnd, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(5, 5));
    SendMessageW(hwnd, WM_LBUTTONUP, 0, MAKELPARAM(5, 5));
    EXPECT_TRUE(IsWindow(hwnd));
    EXPECT_TRUE(engine->Entries().empty()) << "nothing reaches an engine that is gone";
    DestroyPlayer(window);
    EXPECT_FALSE(IsWindow(hwnd));
    EXPECT_EQ(VantraPlayerManager::Get(true)->InstanceCount(), 0);
}

// Services an engine asks for from a thread of its own reach the window: as a
// notice the engine process announces with a message to the window on
// Windows; on the headless backend, whose windows are not shared between
// processes, with the next call into the engine.
TEST_F(EngineProcessWindow, ServicesAskedFromTheEnginesOwnThreadReachTheWindow) {
    CPlayerWnd* window = ShownPlayer();
    engine->setThreadServices(kDoPlay, 20);
    EXPECT_TRUE(window->DoPlay());
    engine->reset();
    Sleep(200);  // the engine's thread has asked by now
#ifdef _WIN32
    Pump();  // the announcement, then the paint it asked for
#else
    EXPECT_TRUE(window->DoPlay());
    Pump();
#endif
    std::vector<RecordedCall> paints = CallsOf(kPaintArea);
    ASSERT_FALSE(paints.empty()) << "the area the engine's thread invalidated was painted";
    EXPECT_EQ(paints[0].args[2], 20);  // bottom
    EXPECT_EQ(paints[0].args[3], 20);  // right
    EXPECT_NE(window->GetInstanceRecord(), nullptr) << "and the engine process lives on";
}

// A hung engine holds its caller until the hard limit, wherever it hangs;
// then its process is ended and every window goes on without engine.
TEST_F(EngineProcessWindow, AHungEngineIsEndedAtTheHardLimitWhereverItHangs) {
    for (int32_t entry : {kDoPlay, kPaintArea, kNewInstance}) {
        ScopedEngineTimeLimits limits;
        DebugOutputCapture debug;
        CPlayerWnd* other = ShownPlayer();
        ASSERT_NE(other->GetInstanceRecord(), nullptr) << entry;
        engine->setRaise(entry, kRaiseHang);
        WaitClock::time_point start = WaitClock::now();
        CPlayerWnd* created = nullptr;
        if (entry == kNewInstance) {
            created = CreatePlayer();
        } else if (entry == kDoPlay) {
            EXPECT_FALSE(other->DoPlay());
        } else {
            InvalidateRect(other->GetSafeHwnd(), nullptr, FALSE);
            Pump();
        }
        WaitClock::duration waited = WaitClock::now() - start;
        engine->reset();
        EXPECT_GE(waited, Milliseconds(1500)) << entry;
        EXPECT_LT(waited, Milliseconds(4500)) << entry << ": at the hard limit, not later";
        EXPECT_EQ(other->GetInstanceRecord(), nullptr) << entry;
        if (created) {
            EXPECT_EQ(created->GetInstanceRecord(), nullptr);
        }
        std::string lines = debug.TakeText();
        std::string call = "has not answered call " + std::to_string(entry);
        EXPECT_NE(lines.find(call + " in 300 ms: still waiting"), std::string::npos) << lines;
        EXPECT_NE(lines.find(call + " in 1500 ms: it is ended"), std::string::npos) << lines;
        if (created) DestroyPlayer(created);
        DestroyPlayer(other);
        EXPECT_EQ(VantraPlayerManager::Get(true)->InstanceCount(), 0);
    }
    CPlayerWnd* next = CreatePlayer();
    EXPECT_NE(next->GetInstanceRecord(), nullptr) << "the next window starts another engine process";
    EXPECT_TRUE(next->DoPlay());
    DestroyPlayer(next);
}

// The engine's other threads may ask for services while the entry's thread
// waits for the library's replies; neither may take the other's reply.
TEST_F(EngineProcessWindow, ServicesAskedFromTwoThreadsInsideACallLeaveTheEngineProcessServing) {
    // A reply taken by the wrong thread holds the other until the hard limit;
    // its 10,000 round trips take 0.2 s, under a sanitizer and load up to 2.
    ScopedEngineTimeLimits limits(u"5,10");
    CPlayerWnd* window = ShownPlayer();
    engine->setServiceCall(kDoPlay, kAskFromTwoThreadsAtOnce, "");
    EXPECT_TRUE(window->DoPlay());
    int32_t status = 0;
    char reply[8];
    engine->lastServiceCall(&status, reply, sizeof reply);
    EXPECT_EQ(status, 1) << "both threads were answered";
    engine->setServiceCall(kDoPlay, kServiceCallNothing, "");
    ASSERT_NE(window->GetInstanceRecord(), nullptr) << "the engine process lives on";
    EXPECT_TRUE(window->DoPlay());
}

#ifndef _WIN32
// A blit outside a paint is done before the engine goes on, as in one
// process: an engine that draws on at once into the pixels it was given
// must not see that drawing shown, however slow the display. (Only the blits of the window being
// painted go ahead of the library, which waits for that paint.)
TEST_F(EngineProcessWindow, AWindowShowsWhatTheEngineBlittedThoughItDrawsOnAtOnce) {
    CPlayerWnd* window = ShownPlayer();
    headless::DelayBlitsOntoWindows(200);
    engine->setServiceCall(kDoPlay, kBlitThenDrawOn, "");
    EXPECT_TRUE(window->DoPlay());
    headless::DelayBlitsOntoWindows(0);
    int32_t status = 0;
    char reply[8];
    engine->lastServiceCall(&status, reply, sizeof reply);
    ASSERT_EQ(status, 1) << "the engine blitted, then drew on";
    EXPECT_EQ(PixelAt(window->GetSafeHwnd(), 5, 5), RGB(255, 0, 0)) << "what was blitted, not what was drawn after";
}
#endif

#ifdef _WIN32
// An engine that sends its window a message inside a call gets its answer:
// while the library waits for the call, it takes the messages sent to its
// windows. (The headless backend shares no windows between processes.)
TEST_F(EngineProcessWindow, AnEngineThatSendsItsWindowAMessageInsideACallIsAnswered) {
    ScopedEngineTimeLimits limits;
    DebugOutputCapture debug;
    CPlayerWnd* window = ShownPlayer();
    for (int32_t entry : {kDoPlay, kPaintArea}) {
        engine->setServiceCall(entry, kSendToHostWindow, "");
        if (entry == kDoPlay) {
            EXPECT_TRUE(window->DoPlay());
        } else {
            InvalidateRect(window->GetSafeHwnd(), nullptr, FALSE);
            Pump();
        }
        engine->setServiceCall(entry, kServiceCallNothing, "");
        int32_t status = 0;
        char reply[8];
        engine->lastServiceCall(&status, reply, sizeof reply);
        EXPECT_EQ(status, 1) << "answered inside " << entry;
        EXPECT_NE(window->GetInstanceRecord(), nullptr) << entry;
    }
    EXPECT_EQ(debug.TakeText().find("has not answered"), std::string::npos);
    DestroyPlayer(window);
}

// A message another process sends may destroy a window whose engine process
// runs a call: here the engine closes the parent of its window inside DoPlay,
// and with it another window of its process. That window's instance cannot be
// destroyed then (the engine process takes no call until its own returns): it
// is refused, not sent, and the engine process goes on for its other windows.
TEST_F(EngineProcessWindow, AWindowDestroyedByTheEngineProcessInsideACallLeavesItServing) {
    ScopedEngineTimeLimits limits;
    DebugOutputCapture debug;
    CPlayerWnd* playing = ShownPlayer();
    CPlayerWnd* sibling = ShownPlayer();
    HWND elsewhere = CreateChild(WS_VISIBLE, 0, 0, 100, 100);
    std::swap(parent, elsewhere);
    CPlayerWnd* survivor = ShownPlayer();
    std::swap(parent, elsewhere);
    engine->setServiceCall(kDoPlay, kCloseHostWindowsParent, "");
    WaitClock::time_point start = WaitClock::now();
    playing->DoPlay();
    WaitClock::duration waited = WaitClock::now() - start;
    engine->setServiceCall(kDoPlay, kServiceCallNothing, "");
    EXPECT_LT(waited, Milliseconds(300)) << "answered, not held to a limit";
    EXPECT_FALSE(IsWindow(playing->GetSafeHwnd()) || IsWindow(sibling->GetSafeHwnd())) << "both closed with their parent";
    std::string lines = debug.TakeText();
    EXPECT_NE(lines.find("call " + std::to_string(kDestroyInstance) +
                         " refused: its engine process runs another call and takes none now"),
              std::string::npos)
        << lines;
    EXPECT_EQ(lines.find("has not answered"), std::string::npos) << lines;
    ASSERT_NE(survivor->GetInstanceRecord(), nullptr) << "the engine process lives on";
    EXPECT_TRUE(survivor->DoPlay());
}

// A modal box the engine process shows is named once a call passes the soft
// limit: most often it is why the movie stopped. (The headless backend's
// boxes close at once.)
TEST_F(EngineProcessWindow, ABoxTheEngineProcessShowsIsNamedPastTheSoftLimit) {
    ScopedEngineTimeLimits limits;
    DebugOutputCapture debug;
    CPlayerWnd* window = ShownPlayer();
    engine->setServiceCall(kDoPlay, kShowMessageBox, "The movie asks: go on?");
    EXPECT_FALSE(window->DoPlay()) << "the box stays until the hard limit";
    engine->reset();
    std::string lines = debug.TakeText();
    EXPECT_NE(lines.find("in 300 ms: still waiting; it shows \"Movie\": The movie asks: go on?"), std::string::npos)
        << lines;
    DestroyPlayer(window);
}

// A C runtime's error box is the engine's end, not a hang: its process is
// ended at once, not at the hard limit, and the line carries the box's text.
TEST_F(EngineProcessWindow, AnEngineProcessShowingItsRuntimesErrorBoxIsEndedAtOnce) {
    ScopedEngineTimeLimits limits(u"0.3,20");
    DebugOutputCapture debug;
    CPlayerWnd* window = ShownPlayer();
    engine->setServiceCall(kDoPlay, kShowRuntimeErrorBox, "");
    WaitClock::time_point start = WaitClock::now();
    EXPECT_FALSE(window->DoPlay());
    WaitClock::duration waited = WaitClock::now() - start;
    engine->reset();
    EXPECT_LT(waited, Milliseconds(300 + 1500)) << "at the soft limit and a look or two, not at the hard one";
    EXPECT_EQ(window->GetInstanceRecord(), nullptr);
    std::string lines = debug.TakeText();
    EXPECT_NE(lines.find("C runtime's error box in call " + std::to_string(kDoPlay) + ": it is ended; "
                         "\"Microsoft Visual C++ Runtime Library\": Runtime Error!"),
              std::string::npos)
        << lines;
    EXPECT_NE(lines.find("abnormal program termination"), std::string::npos) << lines;
    EXPECT_EQ(lines.find("has not answered"), std::string::npos) << "no hang reported: " << lines;
    DestroyPlayer(window);
}
#endif
