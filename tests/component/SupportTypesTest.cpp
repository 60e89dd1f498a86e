// The growable array and the wide string builder.
#include <FArray.h>
#include <gtest/gtest.h>
#include <skutil.h>

#include <memory>
#include <string>

using Strings = FArray<std::string>;

TEST(FArray, GrowsInBlocksOf128) {
    Strings array;
    EXPECT_EQ(array.GetCapacity(), 0);
    array.Add("first");
    EXPECT_EQ(array.GetCapacity(), 128);
    for (int i = 1; i < 128; ++i) array.Add("x");
    EXPECT_EQ(array.GetCapacity(), 128);
    array.Add("129th");
    EXPECT_EQ(array.GetCapacity(), 256);
    EXPECT_EQ(array.GetSize(), 129);
    EXPECT_EQ(array.GetAt(0), "first");
    EXPECT_EQ(array.GetAt(128), "129th");
}

TEST(FArray, SetCapacityRoundsUpAndNeverShrinks) {
    Strings array;
    EXPECT_TRUE(array.SetCapacity(1));
    EXPECT_EQ(array.GetCapacity(), 128);
    array.SetCapacity(128);
    EXPECT_EQ(array.GetCapacity(), 128);
    array.SetCapacity(129);
    EXPECT_EQ(array.GetCapacity(), 256);
    array.SetCapacity(3);
    EXPECT_EQ(array.GetCapacity(), 256);
    array.RemoveAll();
    EXPECT_EQ(array.GetCapacity(), 0);
    array.Add("again");
    EXPECT_EQ(array.GetCapacity(), 128);
}

TEST(FArray, CapacitiesBeyondThe32BitRangeFailCleanly) {
    Strings array;
    array.Add("kept");
    EXPECT_FALSE(array.SetCapacity(INT32_MAX));
    EXPECT_FALSE(array.SetCapacity(INT32_MAX - 100));
    EXPECT_EQ(array.GetCapacity(), 128);
    EXPECT_EQ(array.GetAt(0), "kept");
}

TEST(FArray, InsertAtShiftsAndKeepsOrder) {
    Strings array, other, empty;
    array.Add("c");
    array.Add("d");
    other.Add("a");
    other.Add("b");
    EXPECT_TRUE(array.InsertAt(0, other));
    EXPECT_TRUE(array.InsertAt(array.GetSize(), other));  // at the size: appends
    EXPECT_TRUE(array.InsertAt(1, empty));
    ASSERT_EQ(array.GetSize(), 6);
    std::string joined;
    for (int i = 0; i < array.GetSize(); ++i) joined += array.GetAt(i);
    EXPECT_EQ(joined, "abcdab");
}

TEST(FArray, AssignmentCopiesToTheSizeNotTheCapacity) {
    Strings array;
    array.SetCapacity(200);
    for (const char* s : {"a", "b", "c"}) array.Add(s);
    Strings copy;
    copy = array;
    EXPECT_EQ(copy.GetSize(), 3);
    EXPECT_EQ(copy.GetCapacity(), 128);
    copy = copy;
    EXPECT_EQ(copy.GetSize(), 3);
    copy.ElementAt(0) = "changed";
    EXPECT_EQ(array.GetAt(0), "a");
}

#ifdef NDEBUG
TEST(FArray, BrokenIndicesStayInsideTheArrayInReleaseBuilds) {
    Strings array;
    array.Add("only");
    EXPECT_EQ(array.GetAt(5), "");
    EXPECT_EQ(array.GetAt(-1), "");
    array.ElementAt(7) = "lost";
    EXPECT_EQ(array.GetSize(), 1);
    EXPECT_EQ(array.GetAt(0), "only");
    Strings other;
    other.Add("x");
    EXPECT_FALSE(array.InsertAt(3, other));
    EXPECT_FALSE(array.InsertAt(0, array));
    EXPECT_EQ(array.GetSize(), 1);
}
#endif

TEST(WideStringBuilder, AllocatesOnlyWhenAUnitArrives) {
    WideStringBuilder builder;
    EXPECT_EQ(builder.ToString(), u"");
    builder.Append(u"");
    EXPECT_EQ(builder.Capacity(), 0);
    builder.Append(u'a');
    EXPECT_EQ(builder.Capacity(), 512);
}

TEST(WideStringBuilder, KeepsOneUnitFreeForTheTerminator) {
    WideStringBuilder builder;
    for (int i = 0; i < 511; ++i) builder.Append(u'x');
    EXPECT_EQ(builder.Capacity(), 512);
    builder.Append(u'y');
    EXPECT_EQ(builder.Capacity(), 1024);
    EXPECT_EQ(builder.Length(), 512);
}

TEST(WideStringBuilder, EveryUnitSurvivesEachGrowthStep) {
    // Units and texts appended across three growth steps, each unit distinct.
    WideStringBuilder builder;
    std::u16string expected;
    for (int i = 0; expected.size() < 1600; ++i) {
        char16_t unit = static_cast<char16_t>(u'A' + i % 50);
        if (i % 7 == 0) {
            std::u16string text(static_cast<size_t>(i % 40 + 1), unit);
            builder.Append(text.c_str());
            expected += text;
        } else {
            builder.Append(unit);
            expected += unit;
        }
        ASSERT_EQ(builder.ToString(), expected) << "after " << expected.size() << " units";
    }
    EXPECT_EQ(builder.Capacity(), 2048);
    std::unique_ptr<char16_t[]> text(builder.Detach());
    EXPECT_EQ(std::u16string(text.get()), expected);
}

TEST(WideStringBuilder, DetachHandsOverATerminatedTextAndEmpties) {
    WideStringBuilder builder;
    std::unique_ptr<char16_t[]> empty(builder.Detach());
    ASSERT_NE(empty, nullptr);
    EXPECT_EQ(empty[0], u'\0');
    EXPECT_EQ(builder.Capacity(), 0);
    builder.Append(u"ab");
    std::unique_ptr<char16_t[]> text(builder.Detach());
    EXPECT_EQ(std::u16string(text.get()), u"ab");
    EXPECT_EQ(builder.Length(), 0);
    builder.Append(u'c');
    EXPECT_EQ(builder.Capacity(), 512);
    builder.FreeBuffer();
    EXPECT_EQ(builder.ToString(), u"");
}

TEST(WideStringBuilder, ANulUnitIsHeldLikeAnyOther) {
    WideStringBuilder builder;
    builder.Append(u'a');
    builder.Append(u'\0');
    builder.Append(u'b');
    EXPECT_EQ(builder.ToString(), std::u16string(u"a\0b", 3));
}

TEST(WideStringBuilder, ReserveMakesRoomInSteps) {
    WideStringBuilder text;
    EXPECT_TRUE(text.Reserve(511));
    EXPECT_EQ(text.Capacity(), 512);  // 511 units and the free one
    EXPECT_TRUE(text.Reserve(512));
    EXPECT_EQ(text.Capacity(), 1024);
    for (int i = 0; i < 1000; ++i) text.Append(u'x');
    EXPECT_EQ(text.Capacity(), 1024);  // no growth while the reserved room lasts
    EXPECT_TRUE(text.Reserve(24));     // 1000 + 24 + 1 no longer fit in 1024
    EXPECT_EQ(text.Capacity(), 1536);
    EXPECT_FALSE(text.Reserve(-1));
    EXPECT_FALSE(text.Reserve(INT32_MAX));
    EXPECT_EQ(text.Capacity(), 1536);
    EXPECT_EQ(text.Length(), 1000);
}
