// A growable array of fixed-size elements for the text reader, the INI backend and the
// language table. Its only failure is memory exhaustion, raised as TVX_EXIT OutOfMemory.
#pragma once
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <type_traits>
#include "common/errors.h"

namespace tvx {

template <typename Element>
class GrowableArray {
    static_assert(std::is_trivially_copyable_v<Element>, "elements are moved with realloc");

public:
    explicit GrowableArray(uint32_t initialCount = 0) { Append(initialCount); }
    ~GrowableArray() { std::free(data_); }
    GrowableArray(const GrowableArray&) = delete;
    GrowableArray& operator=(const GrowableArray&) = delete;

    // Grows by capacity / 4 + 32 at a time, or straight to the count when that is larger.
    // When memory runs out the array stays as it was: a caller that catches the exception
    // finds only elements it has written.
    void Append(uint32_t n)
    {
        if (n > UINT32_MAX - count_) Errors().FailNoMemory();
        uint32_t needed = count_ + n;
        if (needed > capacity_) Grow(needed);
        count_ = needed;
    }
    void Add(const Element& element)
    {
        Append(1u);
        data_[count_ - 1] = element;
    }
    // Never shrinks the allocation.
    void Resize(uint32_t n)
    {
        if (capacity_ < n) Append(n - count_);
        else count_ = n;
    }
    void Clear() { count_ = 0; }

    Element& operator[](uint32_t index) { return data_[index]; }
    const Element& operator[](uint32_t index) const { return data_[index]; }
    Element* Data() { return data_; }
    const Element* Data() const { return data_; }
    uint32_t Count() const { return count_; }
    uint32_t Capacity() const { return capacity_; }

private:
    void Grow(uint32_t needed)
    {
        uint32_t newCapacity = capacity_ + capacity_ / 4 + 32;
        if (newCapacity < capacity_ || needed > newCapacity) newCapacity = needed;
        if (newCapacity > SIZE_MAX / sizeof(Element)) Errors().FailNoMemory();
        void* grown = ReallocateMemory(data_, static_cast<size_t>(newCapacity) * sizeof(Element));
        if (grown == nullptr) Errors().FailNoMemory();
        data_ = static_cast<Element*>(grown);
        capacity_ = newCapacity;
    }

    Element* data_ = nullptr;
    uint32_t count_ = 0;
    uint32_t capacity_ = 0;
};

}  // namespace tvx
