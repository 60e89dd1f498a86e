// Descriptor arrays as a hostile engine could hand them over: counts that lie
// (where the lie cannot make the host read beyond the blocks: negative, zero,
// or beyond the limit the host follows), null arrays, null and long texts.
// Every block must be released exactly once, except the texts behind a count
// the host refuses to follow; and what was read must describe itself back to
// the same parameters.
#include <ComponentExchange.h>
#include <fuzzer/FuzzedDataProvider.h>

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <set>
#include <vector>

#include "FuzzCheck.h"

namespace {

constexpr int32_t kFollowedLimit = 1 << 16;

// The blocks handed to the host, as the engine's heap sees them.
std::set<void*> liveBlocks;

void* NewBlock(size_t size) {
    void* block = std::malloc(size ? size : 1);
    liveBlocks.insert(block);
    return block;
}

void ReleaseBlock(void* block) {
    if (!block) return;
    FUZZ_CHECK(liveBlocks.erase(block) == 1);  // never twice, never a foreign block
    std::free(block);
}

char* NewText(const std::string& text) {
    char* block = static_cast<char*>(NewBlock(text.size() + 1));
    std::memcpy(block, text.c_str(), text.size() + 1);
    return block;
}

bool IsCollectionKind(int32_t kind) {
    return kind == ComponentData::KindArray || kind == ComponentData::KindObject || kind == ComponentData::KindList;
}

// A count the host must not follow, or the true one.
int32_t ClaimedCount(FuzzedDataProvider& input, int32_t actual) {
    switch (input.ConsumeIntegralInRange(0, 5)) {
        case 0: return -input.ConsumeIntegralInRange<int32_t>(1, INT32_MAX);
        case 1: return input.ConsumeIntegralInRange<int32_t>(kFollowedLimit + 1, INT32_MAX);
        case 2: return INT32_MIN;
        default: return actual;
    }
}

std::string Text(FuzzedDataProvider& input) {
    size_t length = input.ConsumeBool() ? 4096 : 24;
    return input.ConsumeRandomLengthString(length);
}

// An array of `entries` texts, some null; null itself sometimes.
char** TextArray(FuzzedDataProvider& input, int32_t entries) {
    if (input.ConsumeIntegralInRange(0, 7) == 0) return nullptr;
    auto** array = static_cast<char**>(NewBlock(sizeof(char*) * static_cast<size_t>(entries)));
    for (int32_t i = 0; i < entries; ++i)
        array[i] = input.ConsumeIntegralInRange(0, 9) == 0 ? nullptr : NewText(Text(input));
    return array;
}

int32_t Kind(FuzzedDataProvider& input) {
    static const int32_t kinds[] = {1, 2, 3, 4, 7, 9, 0, -1, 5};
    if (input.ConsumeIntegralInRange(0, 15) == 0) return input.ConsumeIntegral<int32_t>();
    return input.PickValueInArray(kinds);
}

void FillDescriptor(FuzzedDataProvider& input, ComponentParameterDesc& descriptor, std::set<void*>& kept) {
    descriptor.kind = Kind(input);
    int32_t actual = input.ConsumeIntegralInRange(0, 6);
    descriptor.count = ClaimedCount(input, actual);
    bool scalar = !IsCollectionKind(descriptor.kind);
    // A scalar's one value is read whatever the count says, so its arrays hold at least one entry.
    int32_t entries = scalar ? std::max(actual, 1) : actual;
    descriptor.keys = TextArray(input, entries);
    descriptor.values = TextArray(input, entries);
    // The texts released: as many as the count, when it is followed; else a scalar's one value.
    bool followed = descriptor.count > 0 && descriptor.count <= kFollowedLimit;
    int32_t released = followed ? descriptor.count : (scalar && descriptor.values ? 1 : 0);
    for (char** array : {descriptor.keys, descriptor.values}) {
        for (int32_t i = released; array && i < entries; ++i) {
            if (array[i]) kept.insert(array[i]);
        }
    }
    descriptor.selectedIndex = input.ConsumeIntegral<int32_t>();
    descriptor.name = input.ConsumeIntegralInRange(0, 7) == 0 ? nullptr : NewText(Text(input));
}

// The descriptor of a parameter, copied into the engine's heap as an engine would hand it over.
ComponentParameterDesc* HandOver(const ComponentParameter* parameters, int32_t count) {
    auto* descriptors = static_cast<ComponentParameterDesc*>(NewBlock(sizeof(ComponentParameterDesc) * count));
    for (int32_t i = 0; i < count; ++i) {
        ComponentParameterDescription description(parameters[i]);
        const ComponentParameterDesc& from = *description.Get();
        ComponentParameterDesc& to = descriptors[i];
        to = from;
        to.name = NewText(from.name);
        int32_t entries = IsCollectionKind(from.kind) ? from.count : 1;
        for (char*** array : {&to.keys, &to.values}) {
            char** source = *array;
            if (!source) continue;
            *array = static_cast<char**>(NewBlock(sizeof(char*) * static_cast<size_t>(entries)));
            for (int32_t j = 0; j < entries; ++j) (*array)[j] = NewText(source[j]);
        }
    }
    return descriptors;
}

std::u16string EngineName(std::u16string name) {
    for (char16_t& c : name) {
        if (c == u' ') c = u'_';
    }
    return name;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    FuzzedDataProvider input(data, size);
    std::set<void*> kept;
    int32_t actual = input.ConsumeIntegralInRange(0, 8);
    bool nullArray = input.ConsumeIntegralInRange(0, 15) == 0;
    ComponentParameterDesc* descriptors = nullptr;
    if (!nullArray) {
        descriptors = static_cast<ComponentParameterDesc*>(NewBlock(sizeof(ComponentParameterDesc) * (actual + 1)));
        for (int32_t i = 0; i < actual; ++i) FillDescriptor(input, descriptors[i], kept);
    }
    int32_t claimed = ClaimedCount(input, actual);
    bool followed = descriptors && claimed > 0 && claimed <= kFollowedLimit;
    if (!followed && descriptors) {
        // Nothing inside an array the host cannot read is released.
        for (void* block : std::set<void*>(liveBlocks)) {
            if (block != descriptors) kept.insert(block);
        }
    }

    int32_t count = claimed;
    ComponentParameter* parameters = ReadComponentParameters(descriptors, &count, ReleaseBlock);
    FUZZ_CHECK(liveBlocks == kept);
    if (!followed) {
        FUZZ_CHECK(parameters == nullptr && count == 0);
    } else {
        FUZZ_CHECK(parameters != nullptr && count == claimed);
        // Described and handed over again, the parameters read back the same.
        int32_t again = count;
        ComponentParameter* reread = ReadComponentParameters(HandOver(parameters, count), &again, ReleaseBlock);
        FUZZ_CHECK(again == count && reread);
        FUZZ_CHECK(liveBlocks == kept);
        for (int32_t i = 0; i < count; ++i) {
            FUZZ_CHECK(reread[i].data == parameters[i].data);
            FUZZ_CHECK(reread[i].name == EngineName(parameters[i].name));
            parameters[i].Normalize();
        }
        delete[] reread;
    }
    delete[] parameters;
    for (void* block : kept) ReleaseBlock(block);
    return 0;
}
