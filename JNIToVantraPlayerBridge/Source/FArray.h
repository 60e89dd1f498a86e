// A growable array of values in one block, grown 128 elements at a time.
// Elements are moved by assignment only; RemoveAll is the only way to give
// storage back. Every slot of the block holds a constructed element, spare
// slots default-constructed.
//
// Index preconditions are debug assertions; a release build never reads or
// writes outside the block when one is violated (GetAt gives a default
// element, ElementAt a scratch element, InsertAt does nothing). A capacity
// that cannot be computed or allocated leaves the array as it was and is
// reported by a false result.
#pragma once

#include <cassert>
#include <cstddef>
#include <cstdint>
#include <new>
#include <utility>

template <typename T>
class FArray {
public:
    static constexpr int32_t kGrowth = 128;

    FArray() = default;
    FArray(const FArray& other) { *this = other; }
    ~FArray() { RemoveAll(); }

    FArray& operator=(const FArray& other) {
        if (&other == this) return *this;
        RemoveAll();
        InsertAt(0, other);
        return *this;
    }

    int32_t GetSize() const { return size; }
    int32_t GetCapacity() const { return capacity; }

    // A copy of the element; out of range, a default element.
    T GetAt(int32_t index) const { return At(index); }

    // The element itself, without a copy; out of range, a default element.
    const T& At(int32_t index) const {
        assert(index >= 0 && index < size && "FArray.h: index out of range");
        static const T empty{};
        return InRange(index) ? data[index] : empty;
    }

    T& ElementAt(int32_t index) {
        assert(index >= 0 && index < size && "FArray.h: ElementAt index out of range");
        if (InRange(index)) return data[index];
        static thread_local T scratch;
        scratch = T();
        return scratch;
    }

    bool Add(const T& element) {
        if (size == INT32_MAX || !SetCapacity(size + 1)) return false;
        data[size] = element;
        ++size;
        return true;
    }

    bool InsertAt(int32_t index, const FArray& other) {
        assert(index >= 0 && index <= size && &other != this && "FArray.h: InsertAt precondition");
        if (index < 0 || index > size || &other == this) return false;
        int32_t count = other.size;
        if (count == 0) return true;
        if (count > INT32_MAX - size || !SetCapacity(size + count)) return false;
        for (int32_t i = size - 1; i >= index; --i) data[i + count] = data[i];
        for (int32_t j = 0; j < count; ++j) data[index + j] = other.GetAt(j);
        size += count;
        return true;
    }

    void Swap(FArray& other) noexcept {
        std::swap(data, other.data);
        std::swap(size, other.size);
        std::swap(capacity, other.capacity);
    }

    void RemoveAll() {
        delete[] data;
        data = nullptr;
        size = 0;
        capacity = 0;
    }

    bool SetCapacity(int32_t minimum) {
        if (minimum <= capacity) return true;
        if (minimum > INT32_MAX - (kGrowth - 1)) return false;
        int32_t grown = (minimum + kGrowth - 1) / kGrowth * kGrowth;
        T* block = new (std::nothrow) T[static_cast<size_t>(grown)];
        if (!block) return false;
        try {
            for (int32_t i = 0; i < size; ++i) block[i] = data[i];
        } catch (...) {
            delete[] block;
            throw;
        }
        delete[] data;
        data = block;
        capacity = grown;
        return true;
    }

private:
    bool InRange(int32_t index) const { return index >= 0 && index < size; }

    T* data = nullptr;
    int32_t size = 0;
    int32_t capacity = 0;
};
