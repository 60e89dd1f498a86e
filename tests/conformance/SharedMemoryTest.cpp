// Shared memory: file mappings backed by memory, their views, and DIB
// sections over them (the back buffer an engine in another process draws into).
#include <Platform.h>
#include <Win32Fixture.h>
#include <gtest/gtest.h>

#include <cstring>

namespace {

constexpr DWORD kSectionBytes = 256 * 1024;

}  // namespace

TEST(SharedMemory, ViewsOfOneMappingShareTheirBytesAndOutliveItsHandle) {
    HANDLE mapping = CreateFileMappingW(INVALID_HANDLE_VALUE, nullptr, PAGE_READWRITE, 0, kSectionBytes, nullptr);
    ASSERT_NE(mapping, nullptr);
    auto* first = static_cast<unsigned char*>(MapViewOfFile(mapping, FILE_MAP_ALL_ACCESS, 0, 0, 0));
    auto* second = static_cast<unsigned char*>(MapViewOfFile(mapping, FILE_MAP_ALL_ACCESS, 0, 65536, 4096));
    ASSERT_NE(first, nullptr);
    ASSERT_NE(second, nullptr);
    EXPECT_NE(first, second);
    EXPECT_EQ(first[kSectionBytes - 1], 0);  // a new mapping is zero
    first[65536 + 10] = 0x5A;
    EXPECT_EQ(second[10], 0x5A);
    EXPECT_TRUE(CloseHandle(mapping));
    second[11] = 0xA5;  // the views stay usable
    EXPECT_EQ(first[65536 + 11], 0xA5);
    EXPECT_TRUE(UnmapViewOfFile(second));
    EXPECT_TRUE(UnmapViewOfFile(first));
    EXPECT_FALSE(CloseHandle(mapping));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_HANDLE));
}

TEST(SharedMemory, ViewsStartOnlyAtTheAllocationGranularity) {
    HANDLE mapping = CreateFileMappingW(INVALID_HANDLE_VALUE, nullptr, PAGE_READWRITE, 0, kSectionBytes, nullptr);
    ASSERT_NE(mapping, nullptr);
    EXPECT_EQ(MapViewOfFile(mapping, FILE_MAP_ALL_ACCESS, 0, 4096, 4096), nullptr);
    EXPECT_EQ(GetLastError(), 1132u);  // ERROR_MAPPED_ALIGNMENT
    CloseHandle(mapping);
}

TEST(SharedMemory, ADibSectionOverAMappingDrawsWhereTheViewReads) {
    HANDLE mapping = CreateFileMappingW(INVALID_HANDLE_VALUE, nullptr, PAGE_READWRITE, 0, kSectionBytes, nullptr);
    ASSERT_NE(mapping, nullptr);
    auto* view = static_cast<uint32_t*>(MapViewOfFile(mapping, FILE_MAP_ALL_ACCESS, 0, 0, 0));
    ASSERT_NE(view, nullptr);
    const DWORD offset = 4096;
    BITMAPINFO info = TopDownDibInfo(40, 30);
    void* bits = nullptr;
    HBITMAP dib = CreateDIBSection(nullptr, &info, DIB_RGB_COLORS, &bits, mapping, offset);
    ASSERT_NE(dib, nullptr);
    ASSERT_NE(bits, nullptr);
    EXPECT_NE(bits, static_cast<void*>(view + offset / 4));  // a view of its own

    DIBSECTION description{};
    ASSERT_EQ(GetObjectW(dib, sizeof description, &description), static_cast<int>(sizeof description));
    EXPECT_EQ(description.dshSection, mapping);
    EXPECT_EQ(description.dsOffset, offset);
    EXPECT_EQ(description.dsBm.bmBits, bits);

    // Written through the mapping's view, read through the bitmap, and back.
    view[offset / 4 + 2 * 40 + 3] = 0x00112233;  // row 2, column 3
    HDC memory = CreateCompatibleDC(nullptr);
    HGDIOBJ previous = SelectObject(memory, dib);
    EXPECT_EQ(GetPixel(memory, 3, 2), RGB(0x11, 0x22, 0x33));
    static_cast<uint32_t*>(bits)[5] = 0x00ABCDEF;
    EXPECT_EQ(view[offset / 4 + 5], 0x00ABCDEFu);
    SelectObject(memory, previous);
    DeleteDC(memory);

    EXPECT_TRUE(CloseHandle(mapping));
    static_cast<uint32_t*>(bits)[6] = 7;  // the bitmap keeps its view
    EXPECT_EQ(view[offset / 4 + 6], 7u);
    EXPECT_TRUE(DeleteObject(dib));
    EXPECT_TRUE(UnmapViewOfFile(view));
}
