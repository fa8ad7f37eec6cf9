// Wide text in caller-owned fixed buffers: copying, appending, bounded formatting, the
// command-line tokenizer and locale-aware name comparison. Every capacity is in characters
// and includes the terminator; no function writes past it, and every output that has room
// for one character is terminated.
#pragma once
#include <windows.h>
#include <cstdarg>
#include <cstddef>

namespace tvx {

constexpr size_t kPathCapacity = 2048;
constexpr size_t kLineCapacity = 1024;
constexpr size_t kMessageCapacity = 512;

// The bounded copy and append shared by wide and 8-bit text.
template <typename Char>
Char* CopyBounded(Char* destination, const Char* source, size_t capacity)
{
    if (capacity == 0) return nullptr;
    size_t i = 0;
    for (; i + 1 < capacity && source[i] != Char(0); ++i) destination[i] = source[i];
    destination[i] = Char(0);
    return destination + i;
}

template <typename Char>
void AppendBounded(Char* destination, const Char* source, size_t capacity)
{
    size_t length = 0;
    while (length < capacity && destination[length] != Char(0)) ++length;
    if (length < capacity) CopyBounded(destination + length, source, capacity - length);
}

// Copies at most capacity - 1 characters and terminates; returns the position of the
// terminator, or nullptr when capacity is 0 (nothing written).
wchar_t* CopyText(wchar_t* destination, const wchar_t* source, size_t capacity);
// Appends within the destination's capacity; nothing when the destination is already full.
void AppendText(wchar_t* destination, const wchar_t* source, size_t capacity);

// printf-style; %s takes wide text. Returns the length written, or -1 when the result was
// cut at capacity - 1 characters (still terminated) or capacity is 0.
int FormatText(wchar_t* destination, size_t capacity, const wchar_t* format, ...);
int FormatTextV(wchar_t* destination, size_t capacity, const wchar_t* format, va_list args);
// Legacy truncation: a result exactly as long as the capacity fills the buffer without a
// terminator and returns its length; a longer one fills the buffer and returns -1.
int FormatTextLegacy(wchar_t* destination, size_t capacity, const wchar_t* format, va_list args);
int FormatBytes(char* destination, size_t capacity, const char* format, va_list args);
// Standard truncation, for a translated format that takes one text: only "%%" and one "%s"
// are understood. A format with any other conversion is shown as it stands rather than
// handed to the formatter, which would read arguments that were never passed.
int FormatWithText(wchar_t* destination, size_t capacity, const wchar_t* format, const wchar_t* text);

// Command-line tokenizer: blanks separate, double quotes group, "" is a literal quote.
// Returns the position after the token, or nullptr when no token is left (token untouched).
// token may be nullptr to skip a token.
const wchar_t* NextToken(const wchar_t* text, wchar_t* token, size_t capacity);

bool IsBlank(wchar_t c);
bool IsAsciiLetter(int c);
bool IsAsciiDigit(wchar_t c);
wchar_t UpperChar(wchar_t c);

// Case-insensitive comparison in the user's locale: 0 equal, -1 a first, 1 b first,
// -2 when the comparison itself failed.
int CompareNames(const wchar_t* a, const wchar_t* b);
// The same over at most n characters; a text shorter than n takes its terminator into the
// comparison, so "set" does not match "setup" with n = 5.
int CompareNamesPrefix(const wchar_t* a, const wchar_t* b, size_t n);

}  // namespace tvx
