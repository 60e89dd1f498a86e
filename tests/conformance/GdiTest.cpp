// DIB sections, memory DCs, block transfers and fills.
#include <Win32Fixture.h>

namespace {

class MemoryDc {
public:
    MemoryDc() : dc_(CreateCompatibleDC(nullptr)) {}
    ~MemoryDc() {
        if (previous_) SelectObject(dc_, previous_);
        DeleteDC(dc_);
    }
    MemoryDc(const MemoryDc&) = delete;
    MemoryDc& operator=(const MemoryDc&) = delete;

    HDC Select(HBITMAP bitmap) {
        HGDIOBJ old = SelectObject(dc_, bitmap);
        if (!previous_) previous_ = old;
        return dc_;
    }
    HDC Get() const { return dc_; }

private:
    HDC dc_;
    HGDIOBJ previous_ = nullptr;
};

}  // namespace

TEST(Gdi, TopDownDibSectionReadsBackWithPositiveHeight) {
    uint32_t* bits = nullptr;
    HBITMAP bitmap = CreateTopDownDib(104, 50, &bits);
    ASSERT_NE(bitmap, nullptr);
    ASSERT_NE(bits, nullptr);
    BITMAP bm{};
    ASSERT_EQ(GetObjectW(bitmap, sizeof bm, &bm), static_cast<int>(sizeof bm));
    EXPECT_EQ(bm.bmType, 0);
    EXPECT_EQ(bm.bmWidth, 104);
    EXPECT_EQ(bm.bmHeight, 50);
    EXPECT_EQ(bm.bmWidthBytes, 416);
    EXPECT_EQ(bm.bmPlanes, 1);
    EXPECT_EQ(bm.bmBitsPixel, 32);
    EXPECT_EQ(bm.bmBits, bits);
    EXPECT_TRUE(DeleteObject(bitmap));
}

TEST(Gdi, DibSectionStartsBlackAndItsFirstRowIsTheTop) {
    uint32_t* bits = nullptr;
    HBITMAP bitmap = CreateTopDownDib(8, 4, &bits);
    ASSERT_NE(bitmap, nullptr);
    for (int i = 0; i < 32; ++i) EXPECT_EQ(bits[i], 0u);
    bits[1] = 0x00112233;  // row 0, column 1
    MemoryDc memory;
    HDC dc = memory.Select(bitmap);
    EXPECT_EQ(GetPixel(dc, 1, 0), RGB(0x11, 0x22, 0x33));
    EXPECT_EQ(GetPixel(dc, 1, 3), RGB(0, 0, 0));
    RECT box;
    EXPECT_EQ(GetClipBox(dc, &box), SIMPLEREGION);
    EXPECT_EQ(box.right, 8);
    EXPECT_EQ(box.bottom, 4);
}

TEST(Gdi, InvalidDibRequestsFail) {
    BITMAPINFO info{};
    info.bmiHeader.biSize = sizeof(BITMAPINFOHEADER);
    info.bmiHeader.biWidth = 0;
    info.bmiHeader.biHeight = -10;
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 32;
    void* bits = reinterpret_cast<void*>(1);
    EXPECT_EQ(CreateDIBSection(nullptr, &info, DIB_RGB_COLORS, &bits, nullptr, 0), nullptr);
    EXPECT_EQ(bits, nullptr);
}

TEST(Gdi, FillRectUsesTheBrushColourInsideTheRectangleOnly) {
    uint32_t* bits = nullptr;
    HBITMAP bitmap = CreateTopDownDib(10, 10, &bits);
    MemoryDc memory;
    HDC dc = memory.Select(bitmap);
    HBRUSH red = CreateSolidBrush(RGB(255, 0, 0));
    RECT area{2, 3, 5, 7};
    EXPECT_NE(FillRect(dc, &area, red), 0);
    GdiFlush();
    EXPECT_EQ(bits[3 * 10 + 2], 0x00FF0000u);
    EXPECT_EQ(bits[6 * 10 + 4], 0x00FF0000u);
    EXPECT_EQ(bits[7 * 10 + 4], 0u);
    EXPECT_EQ(bits[3 * 10 + 5], 0u);
    EXPECT_TRUE(DeleteObject(red));
}

TEST(Gdi, BitBltCopiesTheAskedRectangleToTheSamePlace) {
    uint32_t* sourceBits = nullptr;
    uint32_t* targetBits = nullptr;
    HBITMAP source = CreateTopDownDib(16, 16, &sourceBits);
    HBITMAP target = CreateTopDownDib(16, 16, &targetBits);
    for (int i = 0; i < 256; ++i) sourceBits[i] = 0x00010000u * i + 7;
    MemoryDc from;
    MemoryDc to;
    ASSERT_TRUE(BitBlt(to.Select(target), 4, 5, 3, 2, from.Select(source), 4, 5, SRCCOPY));
    GdiFlush();
    for (int y = 0; y < 16; ++y) {
        for (int x = 0; x < 16; ++x) {
            bool inside = x >= 4 && x < 7 && y >= 5 && y < 7;
            EXPECT_EQ(targetBits[y * 16 + x], inside ? sourceBits[y * 16 + x] : 0u) << x << "," << y;
        }
    }
}

TEST(Gdi, BitBltIsClippedToTheDestination) {
    uint32_t* sourceBits = nullptr;
    uint32_t* targetBits = nullptr;
    HBITMAP source = CreateTopDownDib(8, 8, &sourceBits);
    HBITMAP target = CreateTopDownDib(4, 4, &targetBits);
    for (int i = 0; i < 64; ++i) sourceBits[i] = 0x00ABCDEF;
    MemoryDc from;
    MemoryDc to;
    EXPECT_TRUE(BitBlt(to.Select(target), -2, -2, 8, 8, from.Select(source), 0, 0, SRCCOPY));
    GdiFlush();
    for (int i = 0; i < 16; ++i) EXPECT_EQ(targetBits[i], 0x00ABCDEFu);
}

TEST(Gdi, SelectObjectHandsBackThePreviousBitmap) {
    uint32_t* bits = nullptr;
    HBITMAP first = CreateTopDownDib(4, 4, &bits);
    HBITMAP second = CreateTopDownDib(4, 4, &bits);
    HDC dc = CreateCompatibleDC(nullptr);
    HGDIOBJ original = SelectObject(dc, first);
    ASSERT_NE(original, nullptr);
    EXPECT_EQ(SelectObject(dc, second), first);
    EXPECT_EQ(SelectObject(dc, original), second);
    EXPECT_TRUE(DeleteDC(dc));
    EXPECT_TRUE(DeleteObject(first));
    EXPECT_TRUE(DeleteObject(second));
}
