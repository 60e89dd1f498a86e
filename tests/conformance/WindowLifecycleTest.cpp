// Creation, destruction, show, move and size, as the host window relies on them.
#include <Win32Fixture.h>

using Lifecycle = Win32Fixture;

using MessageList = std::vector<UINT>;

TEST_F(Lifecycle, CreationSendsNcCreateCreateThenSizeAndMove) {
    HWND child = CreateChild(0, 5, 6, 100, 100);
    ASSERT_NE(child, nullptr);
    EXPECT_EQ(Messages(child, {WM_NCCREATE, WM_CREATE, WM_SIZE, WM_MOVE}),
              (MessageList{WM_NCCREATE, WM_CREATE, WM_SIZE, WM_MOVE}));
    auto sizes = Recorded(child, WM_SIZE);
    ASSERT_EQ(sizes.size(), 1u);
    EXPECT_EQ(sizes[0].wParam, static_cast<WPARAM>(SIZE_RESTORED));
    EXPECT_EQ(LOWORD(sizes[0].lParam), 100);
    EXPECT_EQ(HIWORD(sizes[0].lParam), 100);
    auto moves = Recorded(child, WM_MOVE);
    EXPECT_EQ(LOWORD(moves[0].lParam), 5);
    EXPECT_EQ(HIWORD(moves[0].lParam), 6);
}

TEST_F(Lifecycle, NewChildIsHiddenUnlessAskedToBeVisible) {
    HWND hidden = CreateChild(0, 0, 0, 100, 100);
    HWND shown = CreateChild(WS_VISIBLE, 0, 0, 100, 100);
    EXPECT_FALSE(IsWindowVisible(hidden));
    EXPECT_EQ(GetWindowLongPtrW(hidden, GWL_STYLE) & WS_VISIBLE, 0);
    EXPECT_TRUE(IsWindowVisible(shown));
    EXPECT_EQ(GetParent(hidden), topLevel);
}

TEST_F(Lifecycle, CreateFailsWhenCreationMessageRefuses) {
    onMessage = [](HWND, UINT message, WPARAM, LPARAM, LRESULT* result) {
        if (message != WM_CREATE) return false;
        *result = -1;
        return true;
    };
    EXPECT_EQ(CreateChild(0, 0, 0, 10, 10), nullptr);
    // The refused window is freed at once (Wine, like the headless backend,
    // sends no WM_DESTROY for a window that was never created).
    EXPECT_EQ(Messages(nullptr, {WM_CREATE, WM_NCDESTROY}), (MessageList{WM_CREATE, WM_NCDESTROY}));
    auto created = Recorded(nullptr, WM_CREATE);
    ASSERT_EQ(created.size(), 1u);
    EXPECT_FALSE(IsWindow(created[0].hwnd));
}

TEST_F(Lifecycle, CreateFailsForAMissingParent) {
    HWND gone = CreateChild(0, 0, 0, 10, 10);
    DestroyWindow(gone);
    EXPECT_EQ(CreateChild(0, 0, 0, 10, 10, gone), nullptr);
}

TEST_F(Lifecycle, DestroyTellsParentBeforeChildrenAndFreesChildrenFirst) {
    HWND parent = CreateChild(WS_VISIBLE, 0, 0, 100, 100);
    HWND child = CreateChild(WS_VISIBLE, 0, 0, 50, 50, parent);
    ClearRecord();
    ASSERT_TRUE(DestroyWindow(parent));
    auto destroys = Recorded(nullptr, WM_DESTROY);
    auto frees = Recorded(nullptr, WM_NCDESTROY);
    ASSERT_EQ(destroys.size(), 2u);
    ASSERT_EQ(frees.size(), 2u);
    EXPECT_EQ(destroys[0].hwnd, parent);
    EXPECT_EQ(destroys[1].hwnd, child);
    EXPECT_EQ(frees[0].hwnd, child);
    EXPECT_EQ(frees[1].hwnd, parent);
    EXPECT_FALSE(IsWindow(parent));
    EXPECT_FALSE(IsWindow(child));
    EXPECT_EQ(SendMessageW(parent, WM_USER, 0, 0), 0);
}

TEST_F(Lifecycle, ShowWindowReportsPreviousVisibilityAndTellsTheWindow) {
    HWND child = CreateChild(0, 0, 0, 100, 100);
    ClearRecord();
    EXPECT_FALSE(ShowWindow(child, SW_SHOWNORMAL));
    EXPECT_TRUE(IsWindowVisible(child));
    auto shows = Recorded(child, WM_SHOWWINDOW);
    ASSERT_EQ(shows.size(), 1u);
    EXPECT_EQ(shows[0].wParam, static_cast<WPARAM>(TRUE));
    EXPECT_TRUE(ShowWindow(child, SW_HIDE));
    EXPECT_FALSE(IsWindowVisible(child));
}

TEST_F(Lifecycle, MoveSendsSizeOnlyWhenTheSizeChanges) {
    HWND child = CreateChild(WS_VISIBLE, 0, 0, 100, 100);
    ClearRecord();
    ASSERT_TRUE(MoveWindow(child, 10, 20, 101, 50, TRUE));
    auto sizes = Recorded(child, WM_SIZE);
    ASSERT_EQ(sizes.size(), 1u);
    EXPECT_EQ(LOWORD(sizes[0].lParam), 101);
    EXPECT_EQ(HIWORD(sizes[0].lParam), 50);
    ClearRecord();
    ASSERT_TRUE(MoveWindow(child, 30, 40, 101, 50, TRUE));
    EXPECT_TRUE(Recorded(child, WM_SIZE).empty());
    auto moves = Recorded(child, WM_MOVE);
    ASSERT_EQ(moves.size(), 1u);
    EXPECT_EQ(LOWORD(moves[0].lParam), 30);
    EXPECT_EQ(HIWORD(moves[0].lParam), 40);
}

TEST_F(Lifecycle, SizeMayBecomeZeroAndClientRectFollows) {
    HWND child = CreateChild(WS_VISIBLE, 0, 0, 100, 100);
    ClearRecord();
    MoveWindow(child, 0, 0, 0, 70, TRUE);
    auto sizes = Recorded(child, WM_SIZE);
    ASSERT_EQ(sizes.size(), 1u);
    EXPECT_EQ(LOWORD(sizes[0].lParam), 0);
    EXPECT_EQ(HIWORD(sizes[0].lParam), 70);
    RECT client;
    ASSERT_TRUE(GetClientRect(child, &client));
    EXPECT_EQ(client.right, 0);
    EXPECT_EQ(client.bottom, 70);
}

TEST_F(Lifecycle, ScreenToClientSubtractsEveryOrigin) {
    HWND child = CreateChild(WS_VISIBLE, 10, 20, 100, 100);
    POINT p{kTopLeft + 15, kTopLeft + 27};
    ASSERT_TRUE(ScreenToClient(child, &p));
    EXPECT_EQ(p.x, 5);
    EXPECT_EQ(p.y, 7);
    POINT q{0, 0};
    ClientToScreen(child, &q);
    EXPECT_EQ(q.x, kTopLeft + 10);
    EXPECT_EQ(q.y, kTopLeft + 20);
}

namespace {
LRESULT CALLBACK ExtraBytesProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_NCCREATE) SetWindowLongPtrW(hwnd, 0, 0x5A5A);
    if (message == WM_CREATE && GetWindowLongPtrW(hwnd, 0) != 0x5A5A) return -1;
    return DefWindowProcW(hwnd, message, wParam, lParam);
}
}  // namespace

TEST_F(Lifecycle, ExtraWindowBytesHoldAValueFromTheFirstMessage) {
    // The framework keeps its object pointer there; it must be writable at WM_NCCREATE.
    WNDCLASSEXW wc{};
    static const char16_t name[] = u"ConformanceExtraBytes";
    HINSTANCE module = GetModuleHandleW(nullptr);
    if (!GetClassInfoExW(module, AsWide(name), &wc)) {
        wc.cbSize = sizeof wc;
        wc.lpfnWndProc = &ExtraBytesProc;
        wc.cbWndExtra = sizeof(LONG_PTR);
        wc.hInstance = module;
        wc.lpszClassName = AsWide(name);
        ASSERT_NE(RegisterClassExW(&wc), 0);
    }
    HWND hwnd = CreateWindowExW(0, AsWide(name), nullptr, WS_CHILD, 0, 0, 10, 10, topLevel, nullptr, module, nullptr);
    ASSERT_NE(hwnd, nullptr);
    EXPECT_EQ(GetWindowLongPtrW(hwnd, 0), 0x5A5A);
    DestroyWindow(hwnd);
}
