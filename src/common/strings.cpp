#include "common/strings.h"

#include <cstdio>
#include <cwchar>

namespace tvx {

namespace {
constexpr wchar_t kQuote = L'"';
// NORM_IGNORECASE | SORT_STRINGSORT: names compare as the shell lists them.
constexpr DWORD kNameCompareFlags = NORM_IGNORECASE | SORT_STRINGSORT;

int CompareCounted(const wchar_t* a, int lengthA, const wchar_t* b, int lengthB)
{
    // CSTR_LESS_THAN / CSTR_EQUAL / CSTR_GREATER_THAN are 1 / 2 / 3; a failure is 0.
    return CompareStringW(LOCALE_USER_DEFAULT, kNameCompareFlags, a, lengthA, b, lengthB) - 2;
}

// At most n characters, and the terminator too when the text is shorter than n.
int PrefixLength(const wchar_t* text, size_t n)
{
    size_t length = wcsnlen(text, n);
    return static_cast<int>(length < n ? length + 1 : n);
}
bool TakesAtMostOneText(const wchar_t* format)
{
    int texts = 0;
    for (; *format != L'\0'; ++format) {
        if (*format != L'%') continue;
        ++format;
        if (*format == L's' && texts == 0) {
            ++texts;
        } else if (*format != L'%') {
            return false;
        }
    }
    return true;
}
}  // namespace

wchar_t* CopyText(wchar_t* destination, const wchar_t* source, size_t capacity)
{
    return CopyBounded(destination, source, capacity);
}

void AppendText(wchar_t* destination, const wchar_t* source, size_t capacity)
{
    AppendBounded(destination, source, capacity);
}

// The run-time's _vsnwprintf keeps the Microsoft conventions whatever the C99 printf
// switch says: %s takes wide text in a wide format, and a cut result is not terminated
// and returns -1. That is exactly the legacy rule; the standard rule is built on it.
int FormatTextV(wchar_t* destination, size_t capacity, const wchar_t* format, va_list args)
{
    if (capacity == 0) return -1;
    int written = _vsnwprintf(destination, capacity - 1, format, args);
    destination[capacity - 1] = L'\0';
    return written < 0 ? -1 : written;
}

int FormatText(wchar_t* destination, size_t capacity, const wchar_t* format, ...)
{
    va_list args;
    va_start(args, format);
    int written = FormatTextV(destination, capacity, format, args);
    va_end(args);
    return written;
}

int FormatWithText(wchar_t* destination, size_t capacity, const wchar_t* format, const wchar_t* text)
{
    if (!TakesAtMostOneText(format)) return FormatText(destination, capacity, L"%s", format);
    return FormatText(destination, capacity, format, text);
}

int FormatTextLegacy(wchar_t* destination, size_t capacity, const wchar_t* format, va_list args)
{
    int written = _vsnwprintf(destination, capacity, format, args);
    return written < 0 ? -1 : written;
}

int FormatBytes(char* destination, size_t capacity, const char* format, va_list args)
{
    int written = _vsnprintf(destination, capacity, format, args);
    return written < 0 ? -1 : written;
}

const wchar_t* NextToken(const wchar_t* text, wchar_t* token, size_t capacity)
{
    while (IsBlank(*text)) ++text;
    if (*text == L'\0') return nullptr;
    size_t stored = 0;
    bool quoted = false;
    for (; *text != L'\0' && (quoted || !IsBlank(*text)); ++text) {
        wchar_t c = *text;
        if (c == kQuote) {
            if (text[1] != kQuote) {
                quoted = !quoted;
                continue;
            }
            ++text;  // "" stands for one literal quote
        }
        if (token != nullptr && stored + 1 < capacity) token[stored++] = c;
    }
    if (token != nullptr && capacity != 0) token[stored] = L'\0';
    return text;
}

bool IsBlank(wchar_t c)
{
    return c == L' ' || c == L'\t';
}

bool IsAsciiLetter(int c)
{
    return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z');
}

bool IsAsciiDigit(wchar_t c)
{
    return c >= L'0' && c <= L'9';
}

wchar_t UpperChar(wchar_t c)
{
    // CharUpperW takes a single character in the low word of a "pointer" whose high word is 0.
    auto single = reinterpret_cast<LPWSTR>(static_cast<ULONG_PTR>(c));
    return static_cast<wchar_t>(reinterpret_cast<ULONG_PTR>(CharUpperW(single)));
}

int CompareNames(const wchar_t* a, const wchar_t* b)
{
    return CompareCounted(a, -1, b, -1);
}

int CompareNamesPrefix(const wchar_t* a, const wchar_t* b, size_t n)
{
    return CompareCounted(a, PrefixLength(a, n), b, PrefixLength(b, n));
}

}  // namespace tvx
