// Input events and XML invocations, as pure functions and through the window.
#include <MouseInput.h>

#include "WindowFixture.h"

using EntryList = std::vector<int32_t>;

TEST(MouseInput, InvocationsCarryCoordinatesThenCtrlShiftAlt) {
    EXPECT_EQ(MouseInvocation("handleLMouseDown", 12, 34, ModifierKeys{false, true, false}),
              "<invoke name=\"handleLMouseDown\"><arguments><number>12</number><number>34</number>"
              "<false/><true/><false/></arguments></invoke>");
    EXPECT_EQ(PlainInvocation("handleMouseEnter"),
              "<invoke name=\"handleMouseEnter\"><arguments></arguments></invoke>");
    std::string longest = MouseInvocation("handleLMouseDown", -32768, -32768, ModifierKeys{false, false, false});
    EXPECT_NE(longest.find("<number>-32768</number><number>-32768</number><false/><false/><false/>"),
              std::string::npos);
    EXPECT_LT(longest.size(), 256u);
}

TEST(MouseInput, WheelEventsPackClicksCtrlAndThePoint) {
    InputEvent event = WheelEvent(-240, true, 5, 7);
    EXPECT_EQ(event.type, InputEvent::MouseWheel);
    EXPECT_EQ(event.param1 & 0xFFFF, 0xFFFEu);
    EXPECT_EQ(event.param1 >> 16, 1u);
    EXPECT_EQ(event.param2, 0x00070005u);
    EXPECT_EQ(WheelEvent(-120, false, 0, 0).param1, 0xFFFFu);
    EXPECT_EQ(WheelEvent(60, false, 0, 0).param1, 0u);
    EXPECT_EQ(WheelEvent(120, false, -1, -2).param2, 0xFFFEFFFFu);
    EXPECT_EQ(MenuCommandEvent(0x12340007).param1, 7u);
}

class WindowInput : public WindowTest {
protected:
    void SetUp() override {
        WindowTest::SetUp();
        window = CreatePlayer();
        ASSERT_NE(window, nullptr);
        Place(window, 20, 10, 100, 80);
        Pump();
        hwnd = window->GetSafeHwnd();
        engine->reset();
        ClearRecord();
    }
    std::vector<std::vector<int64_t>> Events() const {
        std::vector<std::vector<int64_t>> events;
        for (const RecordedCall& call : CallsOf(kHandleEvent))
            events.push_back({call.args[0], call.args[1], call.args[2]});
        return events;
    }
    CPlayerWnd* window = nullptr;
    HWND hwnd = nullptr;
};

TEST_F(WindowInput, TheFirstMoveEntersAndTheLeaveEndsIt) {
    SendMessageW(hwnd, WM_MOUSEMOVE, 0, MAKELPARAM(3, 4));
    SendMessageW(hwnd, WM_MOUSEMOVE, 0, MAKELPARAM(5, 6));
    SendMessageW(hwnd, WM_MOUSELEAVE, 0, 0);
    SendMessageW(hwnd, WM_MOUSEMOVE, 0, MAKELPARAM(7, 8));
    auto texts = Invocations();
    ASSERT_EQ(texts.size(), 6u);
    EXPECT_EQ(texts[0], PlainInvocation("handleMouseEnter"));
    EXPECT_EQ(texts[1], MouseInvocation("handleMouseMove", 3, 4, {false, false, false}));
    EXPECT_EQ(texts[2], MouseInvocation("handleMouseMove", 5, 6, {false, false, false}));
    EXPECT_EQ(texts[3], PlainInvocation("handleMouseLeave"));
    EXPECT_EQ(texts[4], PlainInvocation("handleMouseEnter"));
    EXPECT_EQ(Events()[0], (std::vector<int64_t>{InputEvent::MouseMove, 3, 4}));
    // The event goes before the invocations.
    EXPECT_EQ(engine->Entries()[0], kHandleEvent);
}

TEST_F(WindowInput, LeftPressTakesFocusAndCaptureAndReleaseGivesCaptureBack) {
    SetModifiers(false, true, false);
    SendMessageW(hwnd, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(12, 34));
    EXPECT_EQ(GetFocus(), hwnd);
    EXPECT_EQ(GetCapture(), hwnd);
    EXPECT_EQ(Invocations().back(),
              "<invoke name=\"handleLMouseDown\"><arguments><number>12</number><number>34</number>"
              "<false/><true/><false/></arguments></invoke>");
    engine->reset();
    SendMessageW(hwnd, WM_LBUTTONUP, 0, MAKELPARAM(12, 34));
    EXPECT_EQ(GetCapture(), nullptr);
    // The lost capture is reported before the release event.
    EXPECT_EQ(engine->Entries(), (EntryList{kSetMouseCapture, kHandleEvent, kCallFunction2}));
    EXPECT_EQ(CallsOf(kSetMouseCapture)[0].args[0], 0);
    EXPECT_EQ(Events()[0], (std::vector<int64_t>{InputEvent::LeftButtonUp, 12, 34}));
}

TEST_F(WindowInput, DraggingOutsideReportsNegativeCoordinates) {
    SendMessageW(hwnd, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(5, 5));
    SendMessageW(hwnd, WM_MOUSEMOVE, MK_LBUTTON, MAKELPARAM(-5, -7));
    EXPECT_EQ(Invocations().back(), MouseInvocation("handleMouseMove", -5, -7, {false, false, false}));
    EXPECT_EQ(Events().back(), (std::vector<int64_t>{InputEvent::MouseMove, -5, -7}));
    SendMessageW(hwnd, WM_LBUTTONUP, 0, MAKELPARAM(-5, -7));
}

TEST_F(WindowInput, RightPressSendsOnlyTheInvocationWithItsModifiers) {
    SetModifiers(true, false, true);
    SendMessageW(hwnd, WM_RBUTTONDOWN, MK_RBUTTON, MAKELPARAM(9, 8));
    EXPECT_TRUE(CallsOf(kHandleEvent).empty());
    ASSERT_EQ(Invocations().size(), 1u);
    EXPECT_EQ(Invocations()[0], MouseInvocation("handleRMouseDown", 9, 8, {true, false, true}));
}

TEST_F(WindowInput, DoubleClickGoesToJavaNotTheEngine) {
    SendMessageW(hwnd, WM_LBUTTONDBLCLK, MK_LBUTTON, MAKELPARAM(1, 2));
    EXPECT_TRUE(engine->Calls().empty());
}

TEST_F(WindowInput, WheelIsTakenFromScreenToClientCoordinates) {
    POINT screen{5, 7};
    ClientToScreen(hwnd, &screen);
    EXPECT_EQ(SendMessageW(hwnd, WM_MOUSEWHEEL, MAKEWPARAM(MK_CONTROL, -240), MAKELPARAM(screen.x, screen.y)), TRUE);
    ASSERT_EQ(Events().size(), 1u);
    EXPECT_EQ(Events()[0], (std::vector<int64_t>{InputEvent::MouseWheel, 0x1FFFE, 0x00070005}));
}

TEST_F(WindowInput, KeysGoToTheParentUnchanged) {
    LPARAM repeated = MAKELPARAM(3, 0x4021);
    SendMessageW(hwnd, WM_KEYDOWN, VK_LEFT, repeated);
    SendMessageW(hwnd, WM_CHAR, 'a', 1);
    auto keys = Recorded(parent, WM_KEYDOWN);
    ASSERT_EQ(keys.size(), 1u);
    EXPECT_EQ(keys[0].wParam, static_cast<WPARAM>(VK_LEFT));
    EXPECT_EQ(keys[0].lParam, repeated);
    EXPECT_EQ(Recorded(parent, WM_CHAR).size(), 1u);
    EXPECT_TRUE(engine->Calls().empty());
}

TEST_F(WindowInput, DialogCodeCursorAndCommands) {
    EXPECT_EQ(SendMessageW(hwnd, WM_GETDLGCODE, 0, 0), 0x81);
    engine->setResult(kUpdateCursor, 1);
    EXPECT_EQ(SendMessageW(hwnd, WM_SETCURSOR, reinterpret_cast<WPARAM>(hwnd), MAKELPARAM(HTCLIENT, WM_MOUSEMOVE)),
              TRUE);
    engine->setResult(kUpdateCursor, 0x100);  // only the low byte counts
    EXPECT_EQ(SendMessageW(hwnd, WM_SETCURSOR, reinterpret_cast<WPARAM>(hwnd), MAKELPARAM(HTCLIENT, WM_MOUSEMOVE)),
              FALSE);
    engine->reset();
    SendMessageW(hwnd, WM_SETCURSOR, reinterpret_cast<WPARAM>(hwnd), MAKELPARAM(2, WM_MOUSEMOVE));
    EXPECT_TRUE(CallsOf(kUpdateCursor).empty());
    SendMessageW(hwnd, WM_COMMAND, MAKEWPARAM(7, 0x55), 0);
    ASSERT_EQ(Events().size(), 1u);
    EXPECT_EQ(Events()[0], (std::vector<int64_t>{InputEvent::MenuCommand, 7, 0}));
}

TEST_F(WindowInput, LosingTheCaptureToAnotherWindowTellsTheEngine) {
    SendMessageW(hwnd, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(5, 5));
    engine->reset();
    SetCapture(parent);
    ASSERT_EQ(CallsOf(kSetMouseCapture).size(), 1u);
    EXPECT_EQ(CallsOf(kSetMouseCapture)[0].args[0], 0);
    ReleaseCapture();
}
