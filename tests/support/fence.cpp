#include "fence.h"

#include <windows.h>
#include <gtest/gtest.h>

#include <cstring>

namespace tvx::test {

namespace {
constexpr size_t kPage = 4096;
}

FencedMemory::FencedMemory(size_t capacity) { Reserve(capacity); }

FencedMemory::~FencedMemory()
{
    if (base_ != nullptr) VirtualFree(base_, 0, MEM_RELEASE);
}

// Room for capacity bytes, whole pages, followed by the inaccessible page.
void FencedMemory::Reserve(size_t capacity)
{
    if (base_ != nullptr) VirtualFree(base_, 0, MEM_RELEASE);
    capacity_ = (capacity + kPage - 1) / kPage * kPage;
    base_ = static_cast<unsigned char*>(VirtualAlloc(nullptr, capacity_ + kPage, MEM_RESERVE | MEM_COMMIT,
                                                     PAGE_READWRITE));
    DWORD old = 0;
    if (base_ == nullptr || !VirtualProtect(base_ + capacity_, kPage, PAGE_NOACCESS, &old))
        ADD_FAILURE() << "cannot set up the fenced input memory";
}

// A rare input larger than the usual ones gets a larger fenced block.
void* FencedMemory::Place(const void* data, size_t size)
{
    if (size > capacity_) Reserve(size);
    unsigned char* start = base_ + capacity_ - size;
    if (size != 0) std::memcpy(start, data, size);
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
