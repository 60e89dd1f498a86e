#include "ComponentData.h"

#include <Platform.h>

#include <algorithm>
#include <cstdio>
#include <new>

#include "skutil.h"

namespace {

bool IsBlank(char16_t c) { return c == u' ' || (c >= u'\t' && c <= u'\r'); }

int HexDigit(char16_t c) {
    if (c >= u'0' && c <= u'9') return c - u'0';
    if (c >= u'a' && c <= u'f') return c - u'a' + 10;
    if (c >= u'A' && c <= u'F') return c - u'A' + 10;
    return -1;
}

// The C library's "%x" conversion into an unsigned 32-bit number: blanks
// skipped, an optional sign and 0x prefix, digits up to the first other
// character. A value too large for 32 bits saturates.
uint32_t ScanHex(const std::u16string& text) {
    size_t i = 0;
    while (i < text.size() && IsBlank(text[i])) ++i;
    bool negative = false;
    if (i < text.size() && (text[i] == u'+' || text[i] == u'-')) negative = text[i++] == u'-';
    bool prefixed = i + 2 < text.size() && text[i] == u'0' && (text[i + 1] == u'x' || text[i + 1] == u'X');
    if (prefixed && HexDigit(text[i + 2]) >= 0) i += 2;
    uint64_t value = 0;
    for (; i < text.size() && HexDigit(text[i]) >= 0; ++i) {
        value = std::min<uint64_t>(value * 16 + static_cast<uint64_t>(HexDigit(text[i])), 0xFFFFFFFFu);
    }
    auto result = static_cast<uint32_t>(value);
    return negative ? 0u - result : result;
}

bool EqualsIgnoringCase(const std::u16string& text, const char16_t* lower) {
    size_t i = 0;
    for (; i < text.size() && lower[i]; ++i) {
        char16_t c = text[i];
        if (c >= u'A' && c <= u'Z') c = static_cast<char16_t>(c - u'A' + u'a');
        if (c != lower[i]) return false;
    }
    return i == text.size() && !lower[i];
}

bool AllDecimalDigits(const std::u16string& text) {
    return std::all_of(text.begin(), text.end(), [](char16_t c) { return c >= u'0' && c <= u'9'; });
}

}  // namespace

// ---- ComponentData ----------------------------------------------------------------

void ComponentData::Reset() {
    items.RemoveAll();
    kind = KindDefault;
    selectedIndex = 0;
}

void ComponentData::Reset(int32_t newKind) {
    Reset();
    kind = newKind;
}

std::u16string ComponentData::GetValue() const {
    if (IsCollection()) return std::u16string();
    return items.GetAt(0).value;
}

void ComponentData::SetValue(const std::u16string& value) {
    if (IsCollection()) return;
    items.RemoveAll();
    items.Add(ComponentItem(std::u16string(), value, kind));
}

uint32_t ComponentData::GetColor() const {
    if (kind != KindColor) return 0;
    std::u16string value = GetValue();
    size_t start = value.find_first_not_of(u'#');
    return ScanHex(start == std::u16string::npos ? std::u16string() : value.substr(start));
}

void ComponentData::SetColor(uint32_t color) {
    if (kind != KindColor) return;
    char text[8];
    std::snprintf(text, sizeof text, "#%02X%02X%02X", (color >> 16) & 0xFF, (color >> 8) & 0xFF, color & 0xFF);
    SetValue(std::u16string(text, text + 7));
}

bool ComponentData::GetBool() const { return kind == KindBoolean && EqualsIgnoringCase(GetValue(), u"true"); }

void ComponentData::SetBool(bool value) {
    if (kind == KindBoolean) SetValue(value ? u"true" : u"false");
}

void ComponentData::AddMember(const std::u16string& name, const std::u16string& value, int32_t itemKind) {
    if (kind == KindObject) items.Add(ComponentItem(name, value, itemKind));
}

void ComponentData::AddItem(const std::u16string& value, int32_t itemKind) {
    if (IsListLike()) items.Add(ComponentItem(std::u16string(), value, itemKind));
}

void ComponentData::SetMember(int32_t index, const std::u16string& name, const std::u16string& value,
                              int32_t itemKind) {
    if (kind != KindObject) return;
    items.ElementAt(index) = ComponentItem(name, value, itemKind);
    selectedIndex = index;
}

void ComponentData::SetItem(int32_t index, const std::u16string& value, int32_t itemKind) {
    if (!IsListLike()) return;
    items.ElementAt(index) = ComponentItem(std::u16string(), value, itemKind);
    if (kind == KindArray) selectedIndex = index;
}

std::u16string ComponentData::ToString() const {
    WideStringBuilder text;
    int32_t count = items.GetSize();
    switch (kind) {
        case KindArray:
        case KindObject: {
            text.Reserve(TextLength());
            text.Append(kind == KindArray ? u'[' : u'{');
            for (int32_t i = 0; i < count; ++i) {
                if (i > 0) text.Append(u',');
                const ComponentItem& item = items.At(i);
                if (kind == KindObject) {
                    text.Append(item.name.c_str());
                    text.Append(u": ");
                }
                text.Append(item.value.c_str());
            }
            text.Append(kind == KindArray ? u']' : u'}');
            break;
        }
        case KindList:
            assert(selectedIndex >= 0 && "ComponentData.cpp: ToString of a list with a negative selection");
            if (selectedIndex >= 0 && selectedIndex < count) text.Append(items.At(selectedIndex).value.c_str());
            break;
        default:
            if (count > 0) text.Append(items.At(0).value.c_str());
            break;
    }
    return text.ToString();
}

int32_t ComponentData::TextLength() const {
    int64_t units = 2;  // the brackets
    for (int32_t i = 0; i < items.GetSize(); ++i) {
        const ComponentItem& item = items.At(i);
        units += 1 + static_cast<int64_t>(item.value.size()) + (kind == KindObject ? 2 + item.name.size() : 0);
    }
    return static_cast<int32_t>(std::min<int64_t>(units, INT32_MAX / 2));
}

void ComponentData::Normalize() {
    if (!IsListLike()) return;
    // Sized once for the items kept, as adding them one by one would leave it.
    int32_t kept = 0;
    for (int32_t i = 0; i < items.GetSize(); ++i) kept += AllDecimalDigits(items.At(i).name) ? 1 : 0;
    FArray<ComponentItem> normalized;
    if (!normalized.SetCapacity(kept)) return;
    for (int32_t i = 0; i < items.GetSize(); ++i) {
        const ComponentItem& item = items.At(i);
        if (AllDecimalDigits(item.name)) normalized.Add(ComponentItem(std::u16string(), item.value, item.kind));
    }
    items.Swap(normalized);
    selectedIndex = std::min(selectedIndex, items.GetSize());
}

bool ComponentData::operator==(const ComponentData& other) const {
    if (kind != other.kind || selectedIndex != other.selectedIndex || GetCount() != other.GetCount()) return false;
    for (int32_t i = 0; i < GetCount(); ++i) {
        const ComponentItem& mine = items.At(i);
        const ComponentItem& theirs = other.items.At(i);
        if (mine.name != theirs.name || mine.value != theirs.value) return false;
    }
    return true;
}

// ---- ComponentParameter --------------------------------------------------------------

ComponentParameter& ComponentParameter::operator=(const ComponentParameter& other) {
    if (&other == this) return *this;
    Clear();
    name = other.name;
    variableName = other.variableName;
    data = other.data;
    return *this;
}

void ComponentParameter::Clear() {
    name.clear();
    variableName.clear();
    data.Reset();
}
