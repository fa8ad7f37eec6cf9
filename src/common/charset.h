// Conversions between UTF-16 and the other forms text takes at the program's edges: the
// ANSI code page, UTF-8, decimal numbers; plus path-safe upper-casing and bounded 8-bit
// copies. Pure functions over caller buffers; none allocates.
#pragma once
#include <windows.h>
#include <cstddef>
#include <cstdint>

namespace tvx {

// Whole NUL-terminated source converted, terminator included. dst is terminated within
// capacity whatever happens; the result tells whether the system call succeeded.
bool AnsiToWide(const char* src, wchar_t* dst, size_t capacity);
bool WideToAnsi(const wchar_t* src, char* dst, size_t capacity);

// Lenient: overlong forms, encoded surrogates and five- and six-byte forms pass.
bool IsValidUtf8(const unsigned char* data, size_t length);
// Stops at an invalid byte (false, dst terminated after what was written); skips code points
// above 0x10FFFF (false, conversion goes on); never splits a surrogate pair.
bool Utf8ToWide(const unsigned char* src, wchar_t* dst, size_t capacity);

// 'i' becomes 'I' in every locale (a Turkish user's paths compare like everybody else's).
wchar_t UpperCaseChar(wchar_t c);

void Int64ToDecimal(int64_t value, wchar_t* dst, size_t capacity);
// Optional leading '-', then digits; wraps on overflow; no digits gives 0.
int64_t DecimalToInt64(const wchar_t* text);

void CopyNarrowBounded(char* dst, const char* src, size_t capacity);
void AppendNarrowBounded(char* dst, const char* src, size_t capacity);

int64_t FileTimeToNanoseconds(const FILETIME& fileTime);

}  // namespace tvx
