#include "fence.h"

#include <windows.h>
#include <gtest/gtest.h>

#include <cstring>

namespace tvx::test {

namespace {
constexpr size_t kPage = 4096;
}

FencedMemory::FencedMemory(size_t capacity) : capacity_((capacity + kPage - 1) / kPage * kPage)
{
    base_ = static_cast<unsigned char*>(VirtualAlloc(nullptr, capacity_ + kPage, MEM_RESERVE | MEM_COMMIT,
                                                     PAGE_READWRITE));
    DWORD old = 0;
    if (base_ == nullptr || !VirtualProtect(base_ + capacity_, kPage, PAGE_NOACCESS, &old))
        ADD_FAILURE() << "cannot set up the fenced input memory";
}

FencedMemory::~FencedMemory()
{
    if (base_ != nullptr) VirtualFree(base_, 0, MEM_RELEASE);
}

void* FencedMemory::Place(const void* data, size_t size)
{
    auto bytes = static_cast<const unsigned char*>(data);
    if (size > capacity_) {
        // The end, which holds a text's terminator, is what a reader must not read past.
        ADD_FAILURE() << "an input of " << size << " bytes does not fit the fenced memory";
        bytes += size - capacity_;
        size = capacity_;
    }
    unsigned char* start = base_ + capacity_ - size;
    if (size != 0) std::memcpy(start, bytes, size);
    return start;
}

const unsigned char* FencedMemory::Place(const std::string& bytes)
{
    return static_cast<const unsigned char*>(Place(bytes.data(), bytes.size()));
}

const wchar_t* FencedMemory::Place(const std::wstring& text)
{
    return static_cast<const wchar_t*>(Place(text.c_str(), (text.size() + 1) * sizeof(wchar_t)));
}

const char* FencedMemory::PlaceText(const std::string& text)
{
    return static_cast<const char*>(Place(text.c_str(), text.size() + 1));
}

}  // namespace tvx::test
