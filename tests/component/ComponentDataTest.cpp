// Component values: kinds, text forms, colours, booleans, normalising, equality.
#include <ComponentData.h>
#include <gtest/gtest.h>

namespace {

ComponentData Make(int32_t kind, std::initializer_list<const char16_t*> values) {
    ComponentData data;
    data.Reset(kind);
    for (const char16_t* value : values) data.AddItem(value, 1);
    return data;
}

ComponentData Scalar(int32_t kind, const char16_t* value) {
    ComponentData data;
    data.Reset(kind);
    data.SetValue(value);
    return data;
}

}  // namespace

TEST(ComponentData, StartsAsAnEmptyDefaultValue) {
    ComponentData data;
    EXPECT_EQ(data.GetKind(), 1);
    EXPECT_EQ(data.GetSelectedIndex(), 0);
    EXPECT_EQ(data.GetCount(), 0);
    EXPECT_EQ(data.ToString(), u"");
}

#ifdef NDEBUG
TEST(ComponentData, BrokenPreconditionsStayInsideTheItemsInReleaseBuilds) {
    ComponentData empty;
    EXPECT_EQ(empty.GetValue(), u"");
    EXPECT_EQ(empty.GetItemValue(3), u"");
    ComponentData list;
    list.Reset(ComponentData::KindList);
    list.AddItem(u"a", 1);
    list.SetItem(5, u"lost", 1);
    list.SetSelectedIndex(-1);
    EXPECT_EQ(list.ToString(), u"");
    EXPECT_EQ(list.GetCount(), 1);
}
#endif

TEST(ComponentData, TextFormsOfArraysObjectsListsAndScalars) {
    EXPECT_EQ(Make(ComponentData::KindArray, {u"a", u"b,c"}).ToString(), u"[a,b,c]");
    EXPECT_EQ(Make(ComponentData::KindArray, {}).ToString(), u"[]");
    ComponentData object;
    object.Reset(ComponentData::KindObject);
    EXPECT_EQ(object.ToString(), u"{}");
    object.AddMember(u"x", u"1", 1);
    object.AddMember(u"y", u"2", 1);
    EXPECT_EQ(object.ToString(), u"{x: 1,y: 2}");
    ComponentData list = Make(ComponentData::KindList, {u"a", u"b"});
    list.SetSelectedIndex(1);
    EXPECT_EQ(list.ToString(), u"b");
    list.SetSelectedIndex(2);
    EXPECT_EQ(list.ToString(), u"");
    EXPECT_EQ(Scalar(42, u"anything").ToString(), u"anything");
}

TEST(ComponentData, ColoursAreHashAndSixUpperCaseDigits) {
    ComponentData colour = Scalar(ComponentData::KindColor, u"");
    colour.SetColor(0x12ABCDEF);
    EXPECT_EQ(colour.GetValue(), u"#ABCDEF");
    colour.SetColor(0x00ABCDEF);
    EXPECT_EQ(colour.GetValue(), u"#ABCDEF");
    colour.SetValue(u"#FF8000");
    EXPECT_EQ(colour.GetColor(), 0xFF8000u);
    colour.SetValue(u"##0a");
    EXPECT_EQ(colour.GetColor(), 0x0Au);
    colour.SetValue(u"# 0x1f");
    EXPECT_EQ(colour.GetColor(), 0x1Fu);
    colour.SetValue(u"#nothing");
    EXPECT_EQ(colour.GetColor(), 0u);
    colour.SetValue(u"###");
    EXPECT_EQ(colour.GetColor(), 0u);
    EXPECT_EQ(Scalar(ComponentData::KindBoolean, u"#FFFFFF").GetColor(), 0u);
}

TEST(ComponentData, BooleansCompareWithTrueIgnoringCase) {
    EXPECT_TRUE(Scalar(ComponentData::KindBoolean, u"True").GetBool());
    EXPECT_TRUE(Scalar(ComponentData::KindBoolean, u"TRUE").GetBool());
    EXPECT_FALSE(Scalar(ComponentData::KindBoolean, u"yes").GetBool());
    EXPECT_FALSE(Scalar(ComponentData::KindBoolean, u"1").GetBool());
    EXPECT_FALSE(Scalar(ComponentData::KindBoolean, u"trueish").GetBool());
    EXPECT_FALSE(Scalar(ComponentData::KindDefault, u"true").GetBool());
    ComponentData flag = Scalar(ComponentData::KindBoolean, u"");
    flag.SetBool(false);
    EXPECT_EQ(flag.GetValue(), u"false");
    flag.SetBool(true);
    EXPECT_EQ(flag.GetValue(), u"true");
}

TEST(ComponentData, OperationsOnTheWrongKindChangeNothing) {
    ComponentData object;
    object.Reset(ComponentData::KindObject);
    object.SetValue(u"v");
    object.AddItem(u"v", 1);
    EXPECT_EQ(object.GetCount(), 0);
    ComponentData array = Make(ComponentData::KindArray, {u"a"});
    array.AddMember(u"n", u"v", 1);
    array.SetMember(0, u"n", u"v", 1);
    EXPECT_EQ(array.ToString(), u"[a]");
    ComponentData scalar = Scalar(ComponentData::KindDefault, u"s");
    scalar.SetColor(0xFFFFFF);
    scalar.SetBool(true);
    EXPECT_EQ(scalar.GetValue(), u"s");
}

TEST(ComponentData, SetItemSelectsOnArraysButNotOnLists) {
    ComponentData array = Make(ComponentData::KindArray, {u"a", u"b", u"c"});
    array.SetItem(1, u"B", 1);
    EXPECT_EQ(array.GetSelectedIndex(), 1);
    EXPECT_EQ(array.ToString(), u"[a,B,c]");
    ComponentData list = Make(ComponentData::KindList, {u"a", u"b", u"c"});
    list.SetSelectedIndex(2);
    list.SetItem(1, u"B", 1);
    EXPECT_EQ(list.GetSelectedIndex(), 2);
    ComponentData object;
    object.Reset(ComponentData::KindObject);
    object.AddMember(u"x", u"1", 1);
    object.AddMember(u"y", u"2", 1);
    object.SetMember(1, u"z", u"3", 1);
    EXPECT_EQ(object.GetSelectedIndex(), 1);
    EXPECT_EQ(object.ToString(), u"{x: 1,z: 3}");
}

TEST(ComponentData, SetValueReplacesTheItemAndKeepsTheSelection) {
    ComponentData scalar = Scalar(ComponentData::KindColor, u"#000000");
    scalar.SetSelectedIndex(4);
    scalar.SetValue(u"#FFFFFF");
    EXPECT_EQ(scalar.GetCount(), 1);
    EXPECT_EQ(scalar.GetSelectedIndex(), 4);
    EXPECT_EQ(scalar.GetItemKind(0), ComponentData::KindColor);
    EXPECT_EQ(scalar.GetItemName(0), u"");
}

TEST(ComponentData, NormalizeKeepsDigitNamedItemsAndLimitsTheSelection) {
    ComponentData list = Make(ComponentData::KindList, {u"a", u"b", u"c"});
    list.SetSelectedIndex(5);
    list.Normalize();
    EXPECT_EQ(list.GetCount(), 3);
    EXPECT_EQ(list.GetSelectedIndex(), 3);
    list.SetSelectedIndex(1);
    ComponentData before = list;
    list.Normalize();
    EXPECT_EQ(list, before);

    ComponentData object;
    object.Reset(ComponentData::KindObject);
    object.AddMember(u"12", u"one", 1);
    object.AddMember(u"x1", u"two", 1);
    object.SetSelectedIndex(9);
    object.Normalize();
    EXPECT_EQ(object.ToString(), u"{12: one,x1: two}");  // objects are left alone
    EXPECT_EQ(object.GetSelectedIndex(), 9);
}

TEST(ComponentData, ALongNormalizeKeepsEveryKeptItemInOrder) {
    // Past one growth step, and with the text form read back whole.
    ComponentData data;
    data.Reset(ComponentData::KindArray);
    std::u16string expected = u"[";
    for (int i = 0; i < 300; ++i) {
        std::string value = std::to_string(i);
        data.AddItem(std::u16string(value.begin(), value.end()), 1);
        expected += (i ? u"," : u"") + std::u16string(value.begin(), value.end());
    }
    expected += u"]";
    data.SetSelectedIndex(299);
    data.Normalize();
    EXPECT_EQ(data.GetCount(), 300);
    EXPECT_EQ(data.GetItemValue(299), u"299");
    EXPECT_EQ(data.ToString(), expected);
}

TEST(ComponentData, EqualityIgnoresItemKindsButNotCase) {
    ComponentData first;
    first.Reset(ComponentData::KindArray);
    first.AddItem(u"A", 1);
    ComponentData second;
    second.Reset(ComponentData::KindArray);
    second.AddItem(u"A", 9);
    EXPECT_EQ(first, second);
    ComponentData lower = Make(ComponentData::KindArray, {u"a"});
    EXPECT_NE(first, lower);
    ComponentParameter p1, p2;
    p1.name = p2.name = u"Size";
    p1.variableName = u"s";
    EXPECT_EQ(p1, p2);
    p2.name = u"size";
    EXPECT_NE(p1, p2);
}

TEST(ComponentData, CopiesAreIndependent) {
    ComponentData original = Make(ComponentData::KindArray, {u"a"});
    ComponentData copy(original);
    copy.AddItem(u"b", 1);
    EXPECT_EQ(original.GetCount(), 1);
    ComponentParameter parameter;
    parameter.name = u"n";
    parameter.data = original;
    ComponentParameter assigned;
    assigned = parameter;
    assigned = assigned;
    EXPECT_EQ(assigned, parameter);
    parameter.Clear();
    EXPECT_EQ(parameter.data.GetCount(), 0);
    EXPECT_EQ(assigned.data.GetCount(), 1);
}
