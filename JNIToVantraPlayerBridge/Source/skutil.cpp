#include "skutil.h"

#include <algorithm>
#include <climits>
#include <new>

bool WideStringBuilder::Append(char16_t unit) {
    if (length >= capacity - 1 && !Grow()) return false;
    buffer[length++] = unit;
    return true;
}

bool WideStringBuilder::Append(const char16_t* text) {
    for (; text && *text; ++text) {
        if (!Append(*text)) return false;
    }
    return true;
}

std::u16string WideStringBuilder::ToString() const {
    return buffer ? std::u16string(buffer, static_cast<size_t>(length)) : std::u16string();
}

char16_t* WideStringBuilder::Detach() {
    if (!Append(u'\0')) return nullptr;
    char16_t* text = buffer;
    buffer = nullptr;
    length = 0;
    capacity = 0;
    return text;
}

void WideStringBuilder::FreeBuffer() {
    delete[] buffer;
    buffer = nullptr;
    length = 0;
    capacity = 0;
}

bool WideStringBuilder::Reserve(int32_t units) {
    if (units < 0) return false;
    int64_t needed = int64_t{length} + units + 1;  // and the unit kept free
    if (needed <= capacity) return true;
    int64_t rounded = (needed + kGrowth - 1) / kGrowth * kGrowth;
    return rounded <= INT32_MAX && Reallocate(static_cast<int32_t>(rounded));
}

bool WideStringBuilder::Grow() { return capacity <= INT32_MAX - kGrowth && Reallocate(capacity + kGrowth); }

bool WideStringBuilder::Reallocate(int32_t newCapacity) {
    auto* block = new (std::nothrow) char16_t[static_cast<size_t>(newCapacity)];
    if (!block) return false;
    if (buffer) std::copy_n(buffer, length, block);
    delete[] buffer;
    buffer = block;
    capacity = newCapacity;
    return true;
}
