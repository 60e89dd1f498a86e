// Invalid areas, the paint cycle and paint DCs.
#include <Win32Fixture.h>

namespace {

bool SameRect(const RECT& a, const RECT& b) {
    return a.left == b.left && a.top == b.top && a.right == b.right && a.bottom == b.bottom;
}

}  // namespace

class Painting : public Win32Fixture {
protected:
    // A visible child with nothing left to paint.
    HWND CreatePaintedChild() {
        HWND child = CreateChild(WS_VISIBLE, 10, 10, 100, 80);
        UpdateWindow(child);
        Pump();
        ClearRecord();
        return child;
    }

    // Answers the next WM_PAINT itself, remembering what BeginPaint gave.
    void CapturePaint(HWND child) {
        onMessage = [this, child](HWND hwnd, UINT message, WPARAM, LPARAM, LRESULT* result) {
            if (hwnd != child || message != WM_PAINT) return false;
            PAINTSTRUCT ps;
            HDC dc = BeginPaint(hwnd, &ps);
            paintRect = ps.rcPaint;
            clipType = GetClipBox(dc, &clipBox);
            if (fillColor != CLR_INVALID) {
                HBRUSH brush = CreateSolidBrush(fillColor);
                RECT everything{0, 0, 1000, 1000};
                FillRect(dc, &everything, brush);
                DeleteObject(brush);
            }
            EndPaint(hwnd, &ps);
            ++paints;
            *result = 0;
            return true;
        };
    }

    RECT paintRect{};
    RECT clipBox{};
    int clipType = ERROR;
    int paints = 0;
    COLORREF fillColor = CLR_INVALID;
};

TEST_F(Painting, ShowingAWindowInvalidatesAllOfIt) {
    HWND child = CreateChild(0, 10, 10, 100, 80);
    CapturePaint(child);
    ShowWindow(child, SW_SHOWNORMAL);
    ASSERT_TRUE(PumpUntil([&] { return paints > 0; }));
    EXPECT_TRUE(SameRect(paintRect, RECT{0, 0, 100, 80}));
}

TEST_F(Painting, BeginPaintClipsToTheInvalidAreaAndValidates) {
    HWND child = CreatePaintedChild();
    CapturePaint(child);
    RECT area{10, 20, 30, 40};
    InvalidateRect(child, &area, FALSE);
    ASSERT_TRUE(PumpUntil([&] { return paints > 0; }));
    EXPECT_EQ(clipType, SIMPLEREGION);
    EXPECT_TRUE(SameRect(clipBox, area));
    EXPECT_TRUE(SameRect(paintRect, area));
    RECT update;
    EXPECT_FALSE(GetUpdateRect(child, &update, FALSE));
    PumpUntil([] { return false; }, 100);
    EXPECT_EQ(paints, 1);  // validated: no second paint
}

TEST_F(Painting, InvalidAreasAddUpToTheirBoundingBox) {
    HWND child = CreatePaintedChild();
    CapturePaint(child);
    RECT first{10, 10, 20, 20};
    RECT second{50, 30, 60, 70};
    InvalidateRect(child, &first, FALSE);
    InvalidateRect(child, &second, FALSE);
    ASSERT_TRUE(PumpUntil([&] { return paints > 0; }));
    EXPECT_TRUE(SameRect(clipBox, (RECT{10, 10, 60, 70})));
}

TEST_F(Painting, EraseIsAskedOnlyWhenInvalidatedWithErase) {
    HWND child = CreatePaintedChild();
    CapturePaint(child);
    InvalidateRect(child, nullptr, FALSE);
    ASSERT_TRUE(PumpUntil([&] { return paints == 1; }));
    EXPECT_TRUE(Recorded(child, WM_ERASEBKGND).empty());
    InvalidateRect(child, nullptr, TRUE);
    ASSERT_TRUE(PumpUntil([&] { return paints == 2; }));
    EXPECT_EQ(Recorded(child, WM_ERASEBKGND).size(), 1u);
}

TEST_F(Painting, HiddenWindowsAreNotPainted) {
    HWND child = CreateChild(0, 10, 10, 100, 80);
    CapturePaint(child);
    InvalidateRect(child, nullptr, FALSE);
    PumpUntil([] { return false; }, 200);
    EXPECT_EQ(paints, 0);
}

TEST_F(Painting, ResizingARedrawClassWindowInvalidatesAllOfIt) {
    HWND child = CreatePaintedChild();
    CapturePaint(child);
    MoveWindow(child, 10, 10, 120, 80, TRUE);
    ASSERT_TRUE(PumpUntil([&] { return paints > 0; }));
    EXPECT_TRUE(SameRect(paintRect, RECT{0, 0, 120, 80}));
}

TEST_F(Painting, PostedMessagesComeBeforePaint) {
    HWND child = CreatePaintedChild();
    InvalidateRect(child, nullptr, FALSE);
    PostMessageW(child, WM_USER + 1, 0, 0);
    MSG msg;
    ASSERT_TRUE(PeekMessageW(&msg, child, 0, 0, PM_REMOVE));
    EXPECT_EQ(msg.message, static_cast<UINT>(WM_USER + 1));
    ASSERT_TRUE(PeekMessageW(&msg, child, 0, 0, PM_NOREMOVE));
    EXPECT_EQ(msg.message, static_cast<UINT>(WM_PAINT));
}

TEST_F(Painting, WindowDcClipBoxIsTheClientArea) {
    HWND child = CreatePaintedChild();
    HDC dc = GetDC(child);
    ASSERT_NE(dc, nullptr);
    RECT box;
    EXPECT_EQ(GetClipBox(dc, &box), SIMPLEREGION);
    EXPECT_TRUE(SameRect(box, RECT{0, 0, 100, 80}));
    EXPECT_EQ(ReleaseDC(child, dc), 1);
}

TEST_F(Painting, DrawingThroughThePaintDcReachesOnlyTheInvalidArea) {
    HWND child = CreatePaintedChild();
    HDC dc = GetDC(child);
    HBRUSH white = CreateSolidBrush(RGB(255, 255, 255));
    RECT all{0, 0, 100, 80};
    FillRect(dc, &all, white);
    DeleteObject(white);
    ReleaseDC(child, dc);

    fillColor = RGB(255, 0, 0);
    CapturePaint(child);
    RECT area{20, 10, 40, 30};
    InvalidateRect(child, &area, FALSE);
    ASSERT_TRUE(PumpUntil([&] { return paints > 0; }));
    GdiFlush();
    dc = GetDC(child);
    EXPECT_EQ(GetPixel(dc, 25, 15), RGB(255, 0, 0));
    EXPECT_EQ(GetPixel(dc, 39, 29), RGB(255, 0, 0));
    EXPECT_EQ(GetPixel(dc, 40, 15), RGB(255, 255, 255));
    EXPECT_EQ(GetPixel(dc, 5, 5), RGB(255, 255, 255));
    ReleaseDC(child, dc);
}
