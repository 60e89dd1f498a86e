// Component parameters: named, typed values that the engine exchanges as
// texts. A ComponentData is a kind, a selected index and a list of items;
// colours are "#RRGGBB", booleans "true"/"false", and ToString renders arrays
// as [a,b] and objects as {x: 1,y: 2}.
//
// Kind preconditions are behaviour (a call on the wrong kind does nothing);
// index preconditions are debug assertions, safe in release builds.
#pragma once

#include <cstdint>
#include <string>

#include "FArray.h"

struct ComponentItem {
    ComponentItem() = default;
    ComponentItem(std::u16string name, std::u16string value, int32_t kind)
        : name(std::move(name)), value(std::move(value)), kind(kind) {}

    std::u16string name;
    std::u16string value;
    int32_t kind = 0;
};

class ComponentData {
public:
    enum Kind : int32_t {
        KindDefault = 1,
        KindArray = 2,
        KindObject = 3,
        KindList = 4,
        KindBoolean = 7,
        KindColor = 9,
    };

    ComponentData() = default;

    void Reset();
    void Reset(int32_t newKind);

    int32_t GetKind() const { return kind; }
    int32_t GetSelectedIndex() const { return selectedIndex; }
    void SetSelectedIndex(int32_t index) { selectedIndex = index; }
    int32_t GetCount() const { return items.GetSize(); }
    bool IsCollection() const { return kind == KindArray || kind == KindObject || kind == KindList; }
    bool IsObject() const { return kind == KindObject; }

    // Scalars.
    std::u16string GetValue() const;
    void SetValue(const std::u16string& value);
    uint32_t GetColor() const;  // 0xRRGGBB; 0 when no hexadecimal digit follows the "#"s
    void SetColor(uint32_t color);
    bool GetBool() const;
    void SetBool(bool value);

    // Collections.
    void AddMember(const std::u16string& name, const std::u16string& value, int32_t itemKind);
    void AddItem(const std::u16string& value, int32_t itemKind);
    void SetMember(int32_t index, const std::u16string& name, const std::u16string& value, int32_t itemKind);
    void SetItem(int32_t index, const std::u16string& value, int32_t itemKind);

    std::u16string GetItemName(int32_t index) const { return items.GetAt(index).name; }
    std::u16string GetItemValue(int32_t index) const { return items.GetAt(index).value; }
    int32_t GetItemKind(int32_t index) const { return items.GetAt(index).kind; }

    std::u16string ToString() const;
    void Normalize();

    bool operator==(const ComponentData& other) const;
    bool operator!=(const ComponentData& other) const { return !(*this == other); }

private:
    bool IsListLike() const { return kind == KindArray || kind == KindList; }
    int32_t TextLength() const;  // an upper bound of ToString's length for arrays and objects

    int32_t kind = KindDefault;
    int32_t selectedIndex = 0;
    FArray<ComponentItem> items;
};

struct ComponentParameter {
    ComponentParameter() = default;
    ComponentParameter(const ComponentParameter& other) = default;
    ComponentParameter& operator=(const ComponentParameter& other);

    void Clear();
    void Normalize() { data.Normalize(); }
    // variableName is not compared.
    bool operator==(const ComponentParameter& other) const { return name == other.name && data == other.data; }
    bool operator!=(const ComponentParameter& other) const { return !(*this == other); }

    std::u16string name;
    std::u16string variableName;
    ComponentData data;
};
