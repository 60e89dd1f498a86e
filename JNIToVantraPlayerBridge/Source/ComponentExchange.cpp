#include "ComponentExchange.h"

#include <Platform.h>

#include <memory>
#include <new>

namespace {

// Counts beyond these are not followed: an engine that claims more hands over
// memory that cannot be trusted, and reading it could crash the host.
constexpr int32_t kMaxParameters = 1 << 16;
constexpr int32_t kMaxItems = 1 << 16;

std::u16string FromNarrow(const char* text) {
    if (!text || !*text) return std::u16string();
    int length = MultiByteToWideChar(CP_THREAD_ACP, 0, text, -1, nullptr, 0);
    if (length <= 1) return std::u16string();
    std::u16string result(static_cast<size_t>(length), u'\0');
    MultiByteToWideChar(CP_THREAD_ACP, 0, text, -1, AsWide(&result[0]), length);
    result.resize(static_cast<size_t>(length - 1));
    return result;
}

std::string ToNarrow(const std::u16string& text) {
    if (text.empty()) return std::string();
    int length = WideCharToMultiByte(CP_THREAD_ACP, 0, AsWide(text.data()), static_cast<int>(text.size()), nullptr, 0,
                                     nullptr, nullptr);
    if (length <= 0) return std::string();
    std::string result(static_cast<size_t>(length), '\0');
    WideCharToMultiByte(CP_THREAD_ACP, 0, AsWide(text.data()), static_cast<int>(text.size()), &result[0], length,
                        nullptr, nullptr);
    return result;
}

// A text of an engine array, or null where the array or the entry is missing.
const char* TextAt(char* const* texts, int32_t index) { return texts ? texts[index] : nullptr; }

// How many entries of a descriptor's arrays may be read.
int32_t TrustedCount(const ComponentParameterDesc& descriptor) {
    return descriptor.count > 0 && descriptor.count <= kMaxItems ? descriptor.count : 0;
}

void FillFromDescriptor(const ComponentParameterDesc& descriptor, ComponentParameter& parameter) {
    parameter.name = FromNarrow(descriptor.name);
    ComponentData& data = parameter.data;
    data.Reset(descriptor.kind);
    data.SetSelectedIndex(descriptor.selectedIndex);
    int32_t count = TrustedCount(descriptor);
    if (data.IsObject()) {
        for (int32_t j = 0; j < count; ++j) {
            data.AddMember(FromNarrow(TextAt(descriptor.keys, j)), FromNarrow(TextAt(descriptor.values, j)),
                           ComponentData::KindDefault);
        }
    } else if (data.IsCollection()) {
        for (int32_t j = 0; j < count; ++j) data.AddItem(FromNarrow(TextAt(descriptor.values, j)), 1);
    } else {
        data.SetValue(FromNarrow(TextAt(descriptor.values, 0)));
    }
}

void ReleaseTexts(char** texts, int32_t count, void (*release)(void*)) {
    if (!texts) return;
    for (int32_t j = 0; j < count; ++j) release(texts[j]);
    release(texts);
}

void ReleaseDescriptor(const ComponentParameterDesc& descriptor, void (*release)(void*)) {
    // The texts are released as far as the count can be trusted; a scalar's
    // one value is there whatever its count says.
    int32_t count = TrustedCount(descriptor);
    bool scalar = descriptor.kind != ComponentData::KindArray && descriptor.kind != ComponentData::KindObject &&
                  descriptor.kind != ComponentData::KindList;
    if (scalar && count == 0 && descriptor.values) count = 1;
    ReleaseTexts(descriptor.keys, descriptor.keys ? count : 0, release);
    ReleaseTexts(descriptor.values, count, release);
    release(descriptor.name);
}

}  // namespace

ComponentParameter* ReadComponentParameters(ComponentParameterDesc* descriptors, int32_t* count,
                                            void (*release)(void*)) {
    int32_t n = count ? *count : 0;
    if (!descriptors || n <= 0 || n > kMaxParameters) {
        release(descriptors);  // a block we cannot read is still ours to give back
        if (count) *count = 0;
        return nullptr;
    }
    std::unique_ptr<ComponentParameter[]> parameters(new (std::nothrow) ComponentParameter[static_cast<size_t>(n)]);
    for (int32_t i = 0; i < n; ++i) {
        if (parameters) FillFromDescriptor(descriptors[i], parameters[static_cast<size_t>(i)]);
        ReleaseDescriptor(descriptors[i], release);
    }
    release(descriptors);
    if (!parameters) *count = 0;
    return parameters.release();
}

ComponentParameterDescription::ComponentParameterDescription(const ComponentParameter& parameter) {
    std::u16string engineName = parameter.variableName.empty() ? parameter.name : parameter.variableName;
    for (char16_t& c : engineName) {
        if (c == u' ') c = u'_';
    }
    name = ToNarrow(engineName);
    const ComponentData& data = parameter.data;
    int32_t count = data.GetCount();
    for (int32_t i = 0; i < count; ++i) {
        if (data.IsObject()) keyTexts.push_back(ToNarrow(data.GetItemName(i)));
        valueTexts.push_back(ToNarrow(data.IsCollection() ? data.GetItemValue(i) : data.GetValue()));
        if (!data.IsCollection()) break;  // a scalar has one value
    }
    for (std::string& text : keyTexts) keys.push_back(&text[0]);
    for (std::string& text : valueTexts) values.push_back(&text[0]);
    descriptor.name = &name[0];
    descriptor.keys = keys.empty() ? nullptr : keys.data();
    descriptor.values = values.empty() ? nullptr : values.data();
    descriptor.kind = data.GetKind();
    descriptor.count = count;
    descriptor.selectedIndex = data.GetSelectedIndex();
}
