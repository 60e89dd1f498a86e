// Sending, posting and the queue.
#include <Win32Fixture.h>

using MessageQueue = Win32Fixture;

TEST_F(MessageQueue, SendMessageRunsTheProcedureAndReturnsItsAnswer) {
    HWND child = CreateChild(0, 0, 0, 10, 10);
    onMessage = [](HWND, UINT message, WPARAM wParam, LPARAM lParam, LRESULT* result) {
        if (message != WM_USER) return false;
        *result = static_cast<LRESULT>(wParam + lParam);
        return true;
    };
    EXPECT_EQ(SendMessageW(child, WM_USER, 40, 2), 42);
}

TEST_F(MessageQueue, PostedMessagesArriveInOrderThroughDispatch) {
    HWND child = CreateChild(0, 0, 0, 10, 10);
    PostMessageW(child, WM_USER + 1, 1, 0);
    PostMessageW(child, WM_USER + 2, 2, 0);
    EXPECT_TRUE(Recorded(child, WM_USER + 1).empty());  // nothing before the queue is pumped
    Pump();
    auto first = Recorded(child, WM_USER + 1);
    auto second = Recorded(child, WM_USER + 2);
    ASSERT_EQ(first.size(), 1u);
    ASSERT_EQ(second.size(), 1u);
    EXPECT_EQ(Messages(child, {WM_USER + 1, WM_USER + 2}), (std::vector<UINT>{WM_USER + 1, WM_USER + 2}));
}

TEST_F(MessageQueue, PeekMessageRemovesQuitLikeAnyOtherMessage) {
    PostQuitMessage(3);
    MSG msg;
    ASSERT_TRUE(PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE));
    EXPECT_EQ(msg.message, static_cast<UINT>(WM_QUIT));
    EXPECT_EQ(msg.wParam, 3u);
    bool again = false;
    while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
        if (msg.message == WM_QUIT) again = true;
        DispatchMessageW(&msg);
    }
    EXPECT_FALSE(again);
}

TEST_F(MessageQueue, PeekWithoutRemoveLeavesTheMessage) {
    HWND child = CreateChild(0, 0, 0, 10, 10);
    PostMessageW(child, WM_USER + 5, 0, 0);
    MSG msg;
    ASSERT_TRUE(PeekMessageW(&msg, child, WM_USER + 5, WM_USER + 5, PM_NOREMOVE));
    ASSERT_TRUE(PeekMessageW(&msg, child, WM_USER + 5, WM_USER + 5, PM_REMOVE));
    EXPECT_EQ(msg.hwnd, child);
    EXPECT_FALSE(PeekMessageW(&msg, child, WM_USER + 5, WM_USER + 5, PM_REMOVE));
}

TEST_F(MessageQueue, MessagesForADestroyedWindowAreDropped) {
    HWND child = CreateChild(0, 0, 0, 10, 10);
    PostMessageW(child, WM_USER + 7, 0, 0);
    DestroyWindow(child);
    MSG msg;
    bool found = false;
    while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) found = found || msg.message == WM_USER + 7;
    EXPECT_FALSE(found);
}
