// Input laid right against an inaccessible page, for the randomized tests of readers that
// take a terminated text or a byte count: a reader that reads past the end of its input
// faults at once instead of reading on in silence.
#pragma once
#include <cstddef>
#include <string>

namespace tvx::test {

class FencedMemory {
public:
    explicit FencedMemory(size_t capacity);  // the usual largest input, in bytes; grows
    ~FencedMemory();
    FencedMemory(const FencedMemory&) = delete;
    FencedMemory& operator=(const FencedMemory&) = delete;

    // Copies the bytes so that their last one lies just before the fence; returns their
    // start. Reused from round to round: each call replaces the input before.
    const unsigned char* Place(const std::string& bytes);
    // The text with its terminator, placed the same way.
    const wchar_t* Place(const std::wstring& text);
    const char* PlaceText(const std::string& text);

private:
    void Reserve(size_t capacity);
    void* Place(const void* data, size_t size);

    size_t capacity_ = 0;
    unsigned char* base_ = nullptr;
};

}  // namespace tvx::test
