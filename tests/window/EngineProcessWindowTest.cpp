// A window whose engine process ended: it keeps working without engine.
#include <EngineMode.h>

#include "WindowFixture.h"

namespace {

class EngineProcessWindow : public WindowTest {
protected:
    void SetUp() override {
        WindowTest::SetUp();
        if (!EngineInItsOwnProcess()) GTEST_SKIP() << "the engine would end the test's own process";
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
    EXPECT_FALSE(window->DoPlay());
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
    CPlayerWnd* window = CreatePlayer();
    Place(window, 0, 0, 60, 40);
    Pump();
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
