// Sequences of ComponentData operations, checked after every step against a
// plain model of what each operation means. Indices run out of range on
// purpose: this build has assertions off, as the product does, and an index
// out of range must neither touch memory nor change the data.
#include <ComponentData.h>
#include <fuzzer/FuzzedDataProvider.h>

#include <algorithm>
#include <cstdio>
#include <vector>

#include "FuzzCheck.h"

namespace {

struct ModelItem {
    std::u16string name;
    std::u16string value;
    int32_t kind;
};

struct Model {
    int32_t kind = ComponentData::KindDefault;
    int32_t selected = 0;
    std::vector<ModelItem> items;

    bool Collection() const { return kind == 2 || kind == 3 || kind == 4; }
    bool ListLike() const { return kind == 2 || kind == 4; }
    bool InRange(int32_t index) const { return index >= 0 && index < static_cast<int32_t>(items.size()); }
};

// Texts reach ToString as C strings.
std::u16string UpToNul(const std::u16string& text) { return text.substr(0, text.find(u'\0')); }

std::u16string ExpectedString(const Model& model) {
    std::u16string text;
    if (model.kind == 2 || model.kind == 3) {
        text += model.kind == 2 ? u'[' : u'{';
        for (size_t i = 0; i < model.items.size(); ++i) {
            if (i > 0) text += u',';
            if (model.kind == 3) text += UpToNul(model.items[i].name) + u": ";
            text += UpToNul(model.items[i].value);
        }
        text += model.kind == 2 ? u']' : u'}';
    } else if (model.kind == 4) {
        if (model.InRange(model.selected)) text = UpToNul(model.items[static_cast<size_t>(model.selected)].value);
    } else if (!model.items.empty()) {
        text = UpToNul(model.items[0].value);
    }
    return text;
}

bool IsTrue(const std::u16string& text) {
    std::u16string lower = text;
    for (char16_t& c : lower) {
        if (c >= u'A' && c <= u'Z') c = static_cast<char16_t>(c - u'A' + u'a');
    }
    return lower == u"true";
}

void CheckAgainst(const ComponentData& data, const Model& model) {
    FUZZ_CHECK(data.GetKind() == model.kind);
    FUZZ_CHECK(data.GetSelectedIndex() == model.selected);
    FUZZ_CHECK(data.GetCount() == static_cast<int32_t>(model.items.size()));
    for (size_t i = 0; i < model.items.size(); ++i) {
        auto index = static_cast<int32_t>(i);
        FUZZ_CHECK(data.GetItemName(index) == model.items[i].name);
        FUZZ_CHECK(data.GetItemValue(index) == model.items[i].value);
        FUZZ_CHECK(data.GetItemKind(index) == model.items[i].kind);
    }
    // Out of range: a default item.
    FUZZ_CHECK(data.GetItemValue(-1).empty() && data.GetItemName(data.GetCount()).empty());
    std::u16string value = model.Collection() || model.items.empty() ? u"" : model.items[0].value;
    FUZZ_CHECK(data.GetValue() == value);
    FUZZ_CHECK(data.GetBool() == (model.kind == ComponentData::KindBoolean && IsTrue(value)));
    FUZZ_CHECK(data.ToString() == ExpectedString(model));
    ComponentData copy = data;
    FUZZ_CHECK(copy == data);
}

std::u16string Text(FuzzedDataProvider& input) {
    // Digits and NULs often, as they matter to Normalize and ToString.
    static const char16_t common[] = {u'0', u'7', u'9', u'\0', u'a', u',', u'#', u'T', u'r', u'U', u'e'};
    std::u16string text;
    size_t length = input.ConsumeIntegralInRange<size_t>(0, 6);
    for (size_t i = 0; i < length; ++i) {
        text += input.ConsumeBool() ? input.PickValueInArray(common) : input.ConsumeIntegral<char16_t>();
    }
    if (input.ConsumeIntegralInRange(0, 31) == 0) text = u"TrUe";
    return text;
}

int32_t Index(FuzzedDataProvider& input, const Model& model) {
    if (input.ConsumeIntegralInRange(0, 7) == 0) return input.ConsumeIntegral<int32_t>();
    return input.ConsumeIntegralInRange<int32_t>(-1, static_cast<int32_t>(model.items.size()));
}

int32_t Kind(FuzzedDataProvider& input) {
    static const int32_t kinds[] = {1, 2, 3, 4, 7, 9, 0, 5};
    return input.ConsumeIntegralInRange(0, 15) == 0 ? input.ConsumeIntegral<int32_t>() : input.PickValueInArray(kinds);
}

void Step(FuzzedDataProvider& input, ComponentData& data, Model& model) {
    switch (input.ConsumeIntegralInRange(0, 11)) {
        case 0:
            data.Reset();
            model = Model();
            break;
        case 1: {
            int32_t kind = Kind(input);
            data.Reset(kind);
            model = Model();
            model.kind = kind;
            break;
        }
        case 2: {
            int32_t index = Index(input, model);
            data.SetSelectedIndex(index);
            model.selected = index;
            break;
        }
        case 3: {
            std::u16string value = Text(input);
            data.SetValue(value);
            if (!model.Collection()) model.items = {{u"", value, model.kind}};
            break;
        }
        case 4: {
            auto color = input.ConsumeIntegral<uint32_t>();
            data.SetColor(color);
            if (model.kind == ComponentData::KindColor) {
                char text[8];
                std::snprintf(text, sizeof text, "#%02X%02X%02X", (color >> 16) & 0xFF, (color >> 8) & 0xFF,
                              color & 0xFF);
                model.items = {{u"", std::u16string(text, text + 7), model.kind}};
                FUZZ_CHECK(data.GetColor() == (color & 0xFFFFFF));
            }
            break;
        }
        case 5: {
            bool value = input.ConsumeBool();
            data.SetBool(value);
            if (model.kind == ComponentData::KindBoolean) model.items = {{u"", value ? u"true" : u"false", model.kind}};
            break;
        }
        case 6: {
            std::u16string name = Text(input), value = Text(input);
            int32_t kind = Kind(input);
            data.AddMember(name, value, kind);
            if (model.kind == ComponentData::KindObject) model.items.push_back({name, value, kind});
            break;
        }
        case 7: {
            std::u16string value = Text(input);
            int32_t kind = Kind(input);
            data.AddItem(value, kind);
            if (model.ListLike()) model.items.push_back({u"", value, kind});
            break;
        }
        case 8: {
            int32_t index = Index(input, model);
            std::u16string name = Text(input), value = Text(input);
            int32_t kind = Kind(input);
            data.SetMember(index, name, value, kind);
            if (model.kind == ComponentData::KindObject) {
                if (model.InRange(index)) model.items[static_cast<size_t>(index)] = {name, value, kind};
                model.selected = index;
            }
            break;
        }
        case 9: {
            int32_t index = Index(input, model);
            std::u16string value = Text(input);
            int32_t kind = Kind(input);
            data.SetItem(index, value, kind);
            if (model.ListLike()) {
                if (model.InRange(index)) model.items[static_cast<size_t>(index)] = {u"", value, kind};
                if (model.kind == ComponentData::KindArray) model.selected = index;
            }
            break;
        }
        case 10: {
            data.Normalize();
            if (model.ListLike()) {
                std::vector<ModelItem> kept;
                for (const ModelItem& item : model.items) {
                    bool digits = std::all_of(item.name.begin(), item.name.end(),
                                              [](char16_t c) { return c >= u'0' && c <= u'9'; });
                    if (digits) kept.push_back({u"", item.value, item.kind});
                }
                model.items = kept;
                model.selected = std::min(model.selected, static_cast<int32_t>(model.items.size()));
            }
            break;
        }
        case 11: {
            // A copy that then differs must compare unequal, and assignment brings it back.
            ComponentData other = data;
            other.SetSelectedIndex(data.GetSelectedIndex() ^ 1);
            FUZZ_CHECK(other != data);
            other = data;
            FUZZ_CHECK(other == data);
            break;
        }
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* bytes, size_t size) {
    FuzzedDataProvider input(bytes, size);
    ComponentData data;
    Model model;
    for (int step = 0; step < 64 && input.remaining_bytes() > 0; ++step) {
        Step(input, data, model);
        CheckAgainst(data, model);
    }
    return 0;
}
