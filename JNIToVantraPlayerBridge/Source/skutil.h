// Support: a builder of UTF-16 texts, grown 512 units at a time, that keeps
// one unit free for the terminator Detach writes.
#pragma once

#include <cstdint>
#include <string>

class WideStringBuilder {
public:
    static constexpr int32_t kGrowth = 512;

    WideStringBuilder() = default;
    ~WideStringBuilder() { FreeBuffer(); }
    WideStringBuilder(const WideStringBuilder&) = delete;
    WideStringBuilder& operator=(const WideStringBuilder&) = delete;

    // Makes room for `units` more units at once (the capacity stays a
    // multiple of 512), so that a long text is not copied at every step.
    // False, with the builder unchanged, when there is no such room.
    bool Reserve(int32_t units);

    // False, with nothing appended, when the buffer could not grow.
    bool Append(char16_t unit);
    bool Append(const char16_t* text);

    std::u16string ToString() const;

    // The text, NUL-terminated, in a block the caller releases with delete[];
    // the builder is empty afterwards. Null when there was no room for the
    // terminator (the builder is then unchanged).
    char16_t* Detach();

    void FreeBuffer();

    int32_t Length() const { return length; }
    int32_t Capacity() const { return capacity; }

private:
    bool Grow();
    bool Reallocate(int32_t newCapacity);

    char16_t* buffer = nullptr;
    int32_t length = 0;
    int32_t capacity = 0;
};
