// Component parameters across the engine boundary: reading what the engine
// hands back (broken descriptors included) and handing one over.
#include <ComponentExchange.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <map>
#include <memory>
#include <vector>

#include "EngineFixture.h"

namespace {

// Every block an engine would allocate, and how often each was released.
std::map<void*, int> blocks;

void* Block(size_t size) {
    void* block = std::malloc(size);
    blocks[block] = 0;
    return block;
}

char* Text(const char* text) {
    if (!text) return nullptr;
    auto* copy = static_cast<char*>(Block(std::strlen(text) + 1));
    std::strcpy(copy, text);
    return copy;
}

char** Texts(std::initializer_list<const char*> texts) {
    auto** array = static_cast<char**>(Block(sizeof(char*) * texts.size()));
    size_t i = 0;
    for (const char* text : texts) array[i++] = Text(text);
    return array;
}

void Release(void* block) {
    if (!block) return;
    ++blocks[block];
    std::free(block);
}

ComponentParameterDesc* Descriptors(std::initializer_list<ComponentParameterDesc> list) {
    auto* array = static_cast<ComponentParameterDesc*>(Block(sizeof(ComponentParameterDesc) * list.size()));
    std::copy(list.begin(), list.end(), array);
    return array;
}

class Reading : public ::testing::Test {
protected:
    void SetUp() override { blocks.clear(); }
    void TearDown() override {
        for (const auto& entry : blocks) EXPECT_EQ(entry.second, 1) << "a block released " << entry.second << " times";
    }
};

}  // namespace

TEST_F(Reading, ObjectsArraysListsAndScalarsBecomeValues) {
    ComponentParameterDesc* descriptors = Descriptors({
        {Text("Font"), Texts({"size", "face"}), Texts({"12", "Gr\xFC\xDF"}), 3, 2, 0},
        {Text("Items"), nullptr, Texts({"a", "b"}), 4, 2, 1},
        {Text("Tint"), nullptr, Texts({"#00FF00"}), 9, 1, 0},
    });
    int32_t count = 3;
    std::unique_ptr<ComponentParameter[]> parameters(ReadComponentParameters(descriptors, &count, &Release));
    ASSERT_NE(parameters, nullptr);
    ASSERT_EQ(count, 3);
    EXPECT_EQ(parameters[0].name, u"Font");
    EXPECT_EQ(parameters[0].data.ToString(), u"{size: 12,face: Gr\u00FC\u00DF}");
    EXPECT_EQ(parameters[0].data.GetItemKind(1), 1);
    EXPECT_EQ(parameters[0].variableName, u"");
    EXPECT_EQ(parameters[1].data.ToString(), u"b");
    EXPECT_EQ(parameters[2].data.GetColor(), 0x00FF00u);
}

TEST_F(Reading, BrokenDescriptorsNeitherCrashNorLeak) {
    auto** keysWithHole = Texts({"k", nullptr});
    ComponentParameterDesc* descriptors = Descriptors({
        {nullptr, nullptr, Texts({"v"}), 1, 1, 0},              // no name
        {Text("scalar"), nullptr, nullptr, 7, 1, 0},            // no values for a scalar
        {Text("object"), nullptr, Texts({"1", "2"}), 3, 2, 0},  // no keys
        {Text("holes"), keysWithHole, Texts({nullptr, "x"}), 3, 2, 0},
        {Text("negative"), nullptr, nullptr, 2, -5, -1},
    });
    int32_t count = 5;
    std::unique_ptr<ComponentParameter[]> parameters(ReadComponentParameters(descriptors, &count, &Release));
    ASSERT_NE(parameters, nullptr);
    EXPECT_EQ(parameters[0].name, u"");
    EXPECT_EQ(parameters[0].data.GetValue(), u"v");
    EXPECT_EQ(parameters[1].data.GetValue(), u"");
    EXPECT_EQ(parameters[2].data.ToString(), u"{: 1,: 2}");
    EXPECT_EQ(parameters[3].data.ToString(), u"{k: ,: x}");
    EXPECT_EQ(parameters[4].data.GetCount(), 0);
}

TEST_F(Reading, NoParametersAndAbsurdCountsGiveNullAndReleaseTheArray) {
    for (int32_t reported : {0, -3, INT32_MAX}) {
        ComponentParameterDesc* descriptors = Descriptors({{nullptr, nullptr, nullptr, 1, 0, 0}});
        int32_t count = reported;
        EXPECT_EQ(ReadComponentParameters(descriptors, &count, &Release), nullptr) << reported;
        EXPECT_EQ(count, 0);
    }
    int32_t count = 4;
    EXPECT_EQ(ReadComponentParameters(nullptr, &count, &Release), nullptr);
}

TEST_F(Reading, AtMost65536ParametersAndItemsAreRead) {
    constexpr int32_t kBound = 65536;
    // A scalar's texts are released as far as its count is trusted: all of
    // them at the bound, only the one value beyond it (the rest stay the engine's).
    for (int32_t items : {kBound, kBound + 1}) {
        auto** values = static_cast<char**>(Block(sizeof(char*) * static_cast<size_t>(items)));
        for (int32_t i = 0; i < items; ++i) values[i] = Text("v");
        std::vector<char*> texts(values, values + items);
        ComponentParameterDesc* descriptors = Descriptors({{Text("scalar"), nullptr, values, 1, items, 0}});
        int32_t count = 1;
        std::unique_ptr<ComponentParameter[]> parameters(ReadComponentParameters(descriptors, &count, &Release));
        ASSERT_NE(parameters, nullptr);
        EXPECT_EQ(parameters[0].data.GetValue(), u"v");
        if (items == kBound) continue;  // the fixture checks that each was released once
        EXPECT_EQ(blocks[texts[0]], 1);
        size_t released = 0;
        for (size_t i = 1; i < texts.size(); ++i) {
            int times = blocks[texts[i]];
            released += static_cast<size_t>(times);
            blocks.erase(texts[i]);
            if (times == 0) std::free(texts[i]);
        }
        EXPECT_EQ(released, 0u);
    }
    for (int32_t reported : {kBound, kBound + 1}) {
        auto* descriptors =
            static_cast<ComponentParameterDesc*>(Block(sizeof(ComponentParameterDesc) * static_cast<size_t>(reported)));
        std::fill_n(descriptors, reported, ComponentParameterDesc{nullptr, nullptr, nullptr, 1, 0, 0});
        int32_t count = reported;
        std::unique_ptr<ComponentParameter[]> parameters(ReadComponentParameters(descriptors, &count, &Release));
        EXPECT_EQ(count, reported == kBound ? kBound : 0);
        EXPECT_EQ(parameters != nullptr, reported == kBound);
    }
}

TEST(Describing, UsesTheVariableNameOrTheNameWithUnderscores) {
    ComponentParameter parameter;
    parameter.name = u"Font Size";
    parameter.data.SetValue(u"12");
    ComponentParameterDescription described(parameter);
    EXPECT_STREQ(described.Get()->name, "Font_Size");
    ASSERT_NE(described.Get()->values, nullptr);
    EXPECT_STREQ(described.Get()->values[0], "12");
    EXPECT_EQ(described.Get()->keys, nullptr);
    EXPECT_EQ(described.Get()->count, 1);
    parameter.variableName = u"fs";
    EXPECT_STREQ(ComponentParameterDescription(parameter).Get()->name, "fs");
}

TEST(Describing, ObjectsCarryKeysAndEmptyValuesCarryNoArrays) {
    ComponentParameter parameter;
    parameter.name = u"Caf\u00E9";
    parameter.data.Reset(ComponentData::KindObject);
    parameter.data.AddMember(u"x", u"\u20AC1", 1);
    ComponentParameterDescription described(parameter);
    ComponentParameterDesc* descriptor = described.Get();
    EXPECT_STREQ(descriptor->name, "Caf\xE9");
    ASSERT_NE(descriptor->keys, nullptr);
    EXPECT_STREQ(descriptor->keys[0], "x");
    EXPECT_STREQ(descriptor->values[0],
                 "\x80"
                 "1");
    EXPECT_EQ(descriptor->kind, 3);
    ComponentParameter empty;
    empty.data.Reset(ComponentData::KindArray);
    ComponentParameterDescription none(empty);
    EXPECT_EQ(none.Get()->keys, nullptr);
    EXPECT_EQ(none.Get()->values, nullptr);
    EXPECT_EQ(none.Get()->count, 0);
}

using Exchange = EngineTest;

TEST_F(Exchange, ParametersTravelBothWaysThroughTheEngine) {
    RecordingOwner& owner = NewOwner();
    ASSERT_NE(CreateInstance(owner), nullptr);
    auto setComponentReply = client->setComponentReply;
    ASSERT_NE(setComponentReply, nullptr);

    ComponentParameter list;
    list.name = u"Choice Box";
    list.data.Reset(ComponentData::KindList);
    list.data.AddItem(u"a", 1);
    list.data.AddItem(u"b", 1);
    list.data.SetSelectedIndex(1);
    client->setResult(kSetComponentParameters, 7);
    EXPECT_EQ(owner.SetComponentParameters(5, list), 7);
    RecordedCall call = Calls().back();
    EXPECT_EQ(call.entry, kSetComponentParameters);
    EXPECT_EQ(std::vector<intptr_t>(call.args, call.args + 5), (std::vector<intptr_t>{5, 4, 2, 1, 0}));
    EXPECT_STREQ(call.text[0], "Choice_Box");
    EXPECT_STREQ(call.text[1], "a|b");

    // The engine's blocks come from the host's heap, as Allocate gives them.
    blocks.clear();
    ComponentParameterDesc* descriptors = Descriptors({{Text("Flag"), nullptr, Texts({"TRUE"}), 7, 1, 0}});
    blocks.clear();  // released by the host with free(), not counted here
    setComponentReply(descriptors, 1);
    int32_t count = -1;
    std::unique_ptr<ComponentParameter[]> read(owner.GetComponentParameters(3, &count));
    ASSERT_NE(read, nullptr);
    EXPECT_EQ(count, 1);
    EXPECT_TRUE(read[0].data.GetBool());
    EXPECT_EQ(Calls().back().args[0], 3);

    setComponentReply(nullptr, 0);
    EXPECT_EQ(owner.GetComponentParameters(3, &count), nullptr);
    EXPECT_EQ(count, 0);
}

TEST(ExchangeWithoutEngine, ReadsNothingAndHandsNothing) {
    RecordingOwner owner;
    int32_t count = 99;
    EXPECT_EQ(owner.GetComponentParameters(1, &count), nullptr);
    EXPECT_EQ(count, 99);
    EXPECT_EQ(owner.SetComponentParameters(1, ComponentParameter()), 0);
}
