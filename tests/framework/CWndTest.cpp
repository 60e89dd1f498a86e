// The window framework: the default child class, the object mapping from the
// first message, message maps, default processing, command routing.
#include <CWinApp.h>
#include <CWnd.h>
#include <Win32Fixture.h>

#include <iterator>
#include <vector>

namespace {

class TestApp : public CWinApp {
public:
    const MessageMap* GetMessageMap() const override {
        static const MessageMapEntry entries[] = {
            {WM_COMMAND, 9,
             [](CCmdTarget& t, WPARAM, LPARAM) -> LRESULT {
                 ++static_cast<TestApp&>(t).appCommands;
                 return 0;
             }},
        };
        static const MessageMap map{CWinApp::ThisMessageMap(), entries, std::size(entries)};
        return &map;
    }
    int appCommands = 0;
};

class BaseWnd : public CWnd {
public:
    const MessageMap* GetMessageMap() const override { return ThisMessageMap(); }
    static const MessageMap* ThisMessageMap() {
        static const MessageMapEntry entries[] = {
            {WM_USER + 1, 0,
             [](CCmdTarget& t, WPARAM, LPARAM) -> LRESULT {
                 static_cast<BaseWnd&>(t).seen.push_back(WM_USER + 1);
                 return 11;
             }},
            {WM_USER + 2, 0, [](CCmdTarget&, WPARAM, LPARAM) -> LRESULT { return 12; }},
        };
        static const MessageMap map{CWnd::ThisMessageMap(), entries, std::size(entries)};
        return &map;
    }
    std::vector<UINT> seen;
};

class DerivedWnd : public BaseWnd {
public:
    const MessageMap* GetMessageMap() const override {
        static const MessageMapEntry entries[] = {
            {WM_NCCREATE, 0,
             [](CCmdTarget& t, WPARAM, LPARAM) -> LRESULT {
                 auto& self = static_cast<DerivedWnd&>(t);
                 self.seen.push_back(WM_NCCREATE);
                 self.handleAtFirstMessage = self.GetSafeHwnd();
                 return self.Default();
             }},
            {WM_USER + 2, 0, [](CCmdTarget&, WPARAM, LPARAM) -> LRESULT { return 22; }},
            {WM_COMMAND, 7,
             [](CCmdTarget& t, WPARAM, LPARAM) -> LRESULT {
                 static_cast<DerivedWnd&>(t).seen.push_back(WM_COMMAND);
                 return 0;
             }},
        };
        static const MessageMap map{BaseWnd::ThisMessageMap(), entries, std::size(entries)};
        return &map;
    }
    BOOL PreTranslateMessage(MSG* msg) override { return msg->message == WM_USER + 3; }
    HWND handleAtFirstMessage = nullptr;
    int postNcDestroyCalls = 0;

protected:
    void PostNcDestroy() override { ++postNcDestroyCalls; }
};

}  // namespace

class Framework : public Win32Fixture {
protected:
    void SetUp() override {
        Win32Fixture::SetUp();
        wnd = std::make_unique<DerivedWnd>();
        ASSERT_TRUE(wnd->CreateChild(topLevel, RECT{0, 0, 100, 100}, 0, 0));
    }
    void TearDown() override {
        wnd.reset();
        Win32Fixture::TearDown();
    }
    TestApp app;
    std::unique_ptr<DerivedWnd> wnd;
};

TEST_F(Framework, DefaultChildClassHasTheAgreedStyleCursorAndNoBrush) {
    WNDCLASSEXW wc{};
    HINSTANCE module = reinterpret_cast<HINSTANCE>(GetWindowLongPtrW(wnd->GetSafeHwnd(), GWLP_HINSTANCE));
    ASSERT_TRUE(GetClassInfoExW(module, CWnd::DefaultChildClass(), &wc));
    EXPECT_EQ(wc.style, static_cast<UINT>(CS_DBLCLKS | CS_HREDRAW | CS_VREDRAW));
    EXPECT_EQ(wc.hCursor, LoadCursorW(nullptr, IDC_ARROW));
    EXPECT_EQ(wc.hbrBackground, nullptr);
}

TEST_F(Framework, ObjectIsAttachedFromTheFirstMessage) {
    ASSERT_FALSE(wnd->seen.empty());
    EXPECT_EQ(wnd->seen.front(), static_cast<UINT>(WM_NCCREATE));
    EXPECT_EQ(wnd->handleAtFirstMessage, wnd->GetSafeHwnd());
    EXPECT_EQ(CWnd::FromHandle(wnd->GetSafeHwnd()), wnd.get());
    EXPECT_FALSE(IsWindowVisible(wnd->GetSafeHwnd()));
}

TEST_F(Framework, MessageMapsChainToTheBaseAndTheMostDerivedEntryWins) {
    EXPECT_EQ(SendMessageW(wnd->GetSafeHwnd(), WM_USER + 1, 0, 0), 11);
    EXPECT_EQ(SendMessageW(wnd->GetSafeHwnd(), WM_USER + 2, 0, 0), 22);
    EXPECT_EQ(SendMessageW(wnd->GetSafeHwnd(), WM_NCHITTEST, 0, MAKELPARAM(kTopLeft + 5, kTopLeft + 5)), HTCLIENT);
}

TEST_F(Framework, CommandsRouteToTheWindowThenTheApplication) {
    SendMessageW(wnd->GetSafeHwnd(), WM_COMMAND, MAKEWPARAM(7, 1), 0);
    EXPECT_EQ(wnd->seen.back(), static_cast<UINT>(WM_COMMAND));
    size_t seenBefore = wnd->seen.size();
    SendMessageW(wnd->GetSafeHwnd(), WM_COMMAND, MAKEWPARAM(9, 0), 0);
    EXPECT_EQ(app.appCommands, 1);
    EXPECT_EQ(wnd->seen.size(), seenBefore);  // the application's command only
}

TEST_F(Framework, AChildTakesItsRectangleWidthAcrossAndHeightDown) {
    DerivedWnd child;
    ASSERT_TRUE(child.CreateChild(topLevel, RECT{10, 20, 130, 70}, 0, 0));
    RECT client{};
    GetClientRect(child.GetSafeHwnd(), &client);
    EXPECT_EQ(client.right, 120);
    EXPECT_EQ(client.bottom, 50);
    POINT origin{0, 0};
    ClientToScreen(child.GetSafeHwnd(), &origin);
    ScreenToClient(topLevel, &origin);
    EXPECT_EQ(origin.x, 10);
    EXPECT_EQ(origin.y, 20);
}

TEST_F(Framework, PreTranslationWalksFromTheWindowUpAndForeignWindowsHaveNoObject) {
    MSG msg{wnd->GetSafeHwnd(), WM_USER + 3, 0, 0, 0, {0, 0}};
    EXPECT_TRUE(app.PreTranslateMessage(&msg));
    msg.message = WM_USER + 4;
    EXPECT_FALSE(app.PreTranslateMessage(&msg));
    EXPECT_EQ(CWnd::FromHandle(topLevel), nullptr);
    EXPECT_EQ(CWinApp::Current(), &app);
}

namespace {
// A foreign class that keeps a pointer of its own where the framework keeps its object.
LRESULT CALLBACK ForeignProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
    static int foreignData = 0;
    if (message == WM_NCCREATE) SetWindowLongPtrW(hwnd, 0, reinterpret_cast<LONG_PTR>(&foreignData));
    return DefWindowProcW(hwnd, message, wParam, lParam);
}
}  // namespace

TEST_F(Framework, AForeignWindowWithItsOwnDataInTheSlotHasNoObject) {
    static const char16_t className[] = u"ForeignWithData";
    WNDCLASSEXW wc{};
    wc.cbSize = sizeof wc;
    wc.lpfnWndProc = &ForeignProc;
    wc.cbWndExtra = sizeof(void*);
    wc.hInstance = GetModuleHandleW(nullptr);
    wc.lpszClassName = AsWide(className);
    RegisterClassExW(&wc);
    HWND foreign = CreateWindowExW(0, AsWide(className), nullptr, WS_CHILD, 0, 0, 10, 10, topLevel, nullptr,
                                   GetModuleHandleW(nullptr), nullptr);
    ASSERT_NE(foreign, nullptr);
    ASSERT_NE(GetWindowLongPtrW(foreign, 0), 0);
    ASSERT_EQ(CWnd::FromHandle(foreign), nullptr);
    MSG msg{foreign, WM_USER + 3, 0, 0, 0, {0, 0}};
    EXPECT_FALSE(app.PreTranslateMessage(&msg));  // the walk passes it by to the parent
    DestroyWindow(foreign);
}

TEST_F(Framework, DestroyWindowDetachesTheObjectAndCallsPostNcDestroyOnce) {
    HWND hwnd = wnd->GetSafeHwnd();
    EXPECT_TRUE(wnd->DestroyWindow());
    EXPECT_FALSE(IsWindow(hwnd));
    EXPECT_EQ(wnd->GetSafeHwnd(), nullptr);
    EXPECT_EQ(wnd->postNcDestroyCalls, 1);
    EXPECT_FALSE(wnd->DestroyWindow());
}

TEST_F(Framework, DeletingTheObjectDestroysItsWindow) {
    HWND hwnd = wnd->GetSafeHwnd();
    wnd.reset();
    EXPECT_FALSE(IsWindow(hwnd));
}
