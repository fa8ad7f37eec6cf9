#include "common/charset.h"

#include "common/strings.h"

namespace tvx {

namespace {
constexpr uint32_t kFirstSupplementary = 0x10000;
constexpr uint32_t kFirstOutOfRange = 0x110000;

// Leading one bits of a byte: 0 for ASCII, 1 for a continuation byte, 2-4 for leads.
int LeadingOnes(unsigned char byte)
{
    int count = 0;
    while (count < 8 && (byte & (0x80 >> count)) != 0) ++count;
    return count;
}

bool IsContinuation(unsigned char byte)
{
    return byte >= 0x80 && byte <= 0xBF;
}

// Decodes one character at src; returns the bytes it took, or 0 for an invalid sequence.
// A NUL inside a sequence is not a continuation byte, so decoding never runs past the end.
size_t DecodeUtf8(const unsigned char* src, uint32_t& codePoint)
{
    int ones = LeadingOnes(src[0]);
    if (ones == 1 || ones > 4) return 0;
    size_t extra = ones == 0 ? 0 : static_cast<size_t>(ones - 1);
    codePoint = src[0] & (0x7F >> ones);
    for (size_t i = 1; i <= extra; ++i) {
        if (!IsContinuation(src[i])) return 0;
        codePoint = (codePoint << 6) | (src[i] & 0x3F);
    }
    return extra + 1;
}
}  // namespace

bool AnsiToWide(const char* src, wchar_t* dst, size_t capacity)
{
    // With a capacity of 0 the system call would only measure, converting nothing.
    if (capacity == 0) return false;
    dst[0] = L'\0';
    int count = MultiByteToWideChar(CP_ACP, 0, src, -1, dst, static_cast<int>(capacity));
    dst[capacity - 1] = L'\0';
    return count != 0;
}

bool WideToAnsi(const wchar_t* src, char* dst, size_t capacity)
{
    if (capacity == 0) return false;
    dst[0] = '\0';
    int count = WideCharToMultiByte(CP_ACP, 0, src, -1, dst, static_cast<int>(capacity),
                                    nullptr, nullptr);
    dst[capacity - 1] = '\0';
    return count != 0;
}

bool IsValidUtf8(const unsigned char* data, size_t length)
{
    size_t i = 0;
    while (i < length) {
        int ones = LeadingOnes(data[i]);
        if (ones == 1 || ones > 6) return false;
        size_t extra = ones == 0 ? 0 : static_cast<size_t>(ones - 1);
        if (extra >= length - i) return false;
        for (size_t k = 1; k <= extra; ++k) {
            if (!IsContinuation(data[i + k])) return false;
        }
        i += extra + 1;
    }
    return true;
}

bool Utf8ToWide(const unsigned char* src, wchar_t* dst, size_t capacity)
{
    if (capacity == 0) return false;
    bool valid = true;
    size_t written = 0;
    while (*src != 0) {
        uint32_t codePoint = 0;
        size_t taken = DecodeUtf8(src, codePoint);
        if (taken == 0) {
            valid = false;
            break;
        }
        src += taken;
        if (codePoint >= kFirstOutOfRange) {
            valid = false;
            continue;
        }
        size_t units = codePoint >= kFirstSupplementary ? 2 : 1;
        if (written + units >= capacity) break;  // one slot stays for the terminator
        if (units == 1) {
            dst[written++] = static_cast<wchar_t>(codePoint);
        } else {
            codePoint -= kFirstSupplementary;
            dst[written++] = static_cast<wchar_t>(0xD800 + (codePoint >> 10));
            dst[written++] = static_cast<wchar_t>(0xDC00 + (codePoint & 0x3FF));
        }
    }
    dst[written] = L'\0';
    return valid;
}

wchar_t UpperCaseChar(wchar_t c)
{
    // A Turkish locale maps 'i' to a dotted capital; paths must compare the same everywhere.
    return c == L'i' ? L'I' : UpperChar(c);
}

void Int64ToDecimal(int64_t value, wchar_t* dst, size_t capacity)
{
    if (capacity == 0) return;
    bool negative = value < 0;
    // Unsigned magnitude, so that the most negative value negates without overflow.
    uint64_t magnitude = negative ? 0 - static_cast<uint64_t>(value) : static_cast<uint64_t>(value);
    wchar_t reversed[24];
    size_t count = 0;
    size_t reserve = negative ? 2 : 1;
    do {
        if (count + reserve >= capacity) break;
        reversed[count++] = static_cast<wchar_t>(L'0' + magnitude % 10);
        magnitude /= 10;
    } while (magnitude != 0);
    if (negative && count + 1 < capacity) reversed[count++] = L'-';
    for (size_t i = 0; i < count; ++i) dst[i] = reversed[count - 1 - i];
    dst[count] = L'\0';
}

int64_t DecimalToInt64(const wchar_t* text)
{
    bool negative = *text == L'-';
    if (negative) ++text;
    uint64_t value = 0;  // unsigned, so that overflow wraps instead of being undefined
    for (; IsAsciiDigit(*text); ++text) value = value * 10 + static_cast<uint64_t>(*text - L'0');
    return static_cast<int64_t>(negative ? 0 - value : value);
}

void CopyNarrowBounded(char* dst, const char* src, size_t capacity)
{
    CopyBounded(dst, src, capacity);
}

void AppendNarrowBounded(char* dst, const char* src, size_t capacity)
{
    AppendBounded(dst, src, capacity);
}

int64_t FileTimeToNanoseconds(const FILETIME& fileTime)
{
    uint64_t ticks = (static_cast<uint64_t>(fileTime.dwHighDateTime) << 32) | fileTime.dwLowDateTime;
    return static_cast<int64_t>(ticks * 100);
}

}  // namespace tvx
