// The ANSI code page (Windows-1252 here) and UTF-8.
#include <Platform.h>
#include <gtest/gtest.h>

#include <string>

namespace {

std::u16string ToWide(UINT codePage, const std::string& bytes) {
    int length = MultiByteToWideChar(codePage, 0, bytes.data(), static_cast<int>(bytes.size()), nullptr, 0);
    std::u16string result(static_cast<size_t>(length), u'\0');
    MultiByteToWideChar(codePage, 0, bytes.data(), static_cast<int>(bytes.size()), AsWide(&result[0]), length);
    return result;
}

std::string ToBytes(UINT codePage, const std::u16string& text, BOOL* usedDefault = nullptr) {
    int length = WideCharToMultiByte(codePage, 0, AsWide(text.data()), static_cast<int>(text.size()), nullptr, 0,
                                     nullptr, usedDefault);
    std::string result(static_cast<size_t>(length), '\0');
    WideCharToMultiByte(codePage, 0, AsWide(text.data()), static_cast<int>(text.size()), &result[0], length, nullptr,
                        usedDefault);
    return result;
}

}  // namespace

TEST(CodePages, AnsiCodePageIsWindows1252) { EXPECT_EQ(GetACP(), 1252u); }

TEST(CodePages, Windows1252RoundTripsIncludingItsSpecialRange) {
    const std::string bytes =
        "Gr\xFC\xDF"
        "e \x80 \x93q\x94 \x8A\x9F";
    const std::u16string text = u"Gr\u00FC\u00DFe \u20AC \u201Cq\u201D \u0160\u0178";
    EXPECT_EQ(ToWide(CP_ACP, bytes), text);
    EXPECT_EQ(ToBytes(CP_ACP, text), bytes);
}

TEST(CodePages, TheThreadsAnsiCodePageIsWindows1252Too) {
    WCHAR euro[2];
    ASSERT_EQ(MultiByteToWideChar(CP_THREAD_ACP, 0, "\x80", -1, euro, 2), 2);
    EXPECT_EQ(euro[0], 0x20AC);
}

TEST(CodePages, UnmappableCharactersBecomeTheDefaultCharacter) {
    BOOL usedDefault = FALSE;
    EXPECT_EQ(ToBytes(CP_ACP, u"a\u4E2Db", &usedDefault), "a?b");
    EXPECT_TRUE(usedDefault);
}

TEST(CodePages, TerminatedInputCountsItsTerminator) {
    EXPECT_EQ(MultiByteToWideChar(CP_ACP, 0, "abc", -1, nullptr, 0), 4);
    WCHAR out[4];
    ASSERT_EQ(MultiByteToWideChar(CP_ACP, 0, "abc", -1, out, 4), 4);
    EXPECT_EQ(out[3], 0);
    char narrow[4];
    ASSERT_EQ(WideCharToMultiByte(CP_ACP, 0, out, -1, narrow, 4, nullptr, nullptr), 4);
    EXPECT_STREQ(narrow, "abc");
}

TEST(CodePages, AShortBufferFailsWithInsufficientBuffer) {
    WCHAR out[2];
    SetLastError(0);
    EXPECT_EQ(MultiByteToWideChar(CP_ACP, 0, "abcdef", -1, out, 2), 0);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INSUFFICIENT_BUFFER));
}

TEST(CodePages, Utf8RoundTripsSurrogatePairs) {
    const std::string bytes = "\xE2\x82\xAC \xF0\x9F\x98\x80";
    const std::u16string text = u"\u20AC \U0001F600";
    EXPECT_EQ(ToWide(CP_UTF8, bytes), text);
    EXPECT_EQ(ToBytes(CP_UTF8, text), bytes);
}
