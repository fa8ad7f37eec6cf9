#include <gtest/gtest.h>

#include <algorithm>
#include <climits>
#include <cstring>
#include <string>

#include "common/charset.h"

namespace tvx {
namespace {

using Bytes = std::basic_string<unsigned char>;

Bytes B(std::initializer_list<int> values)
{
    Bytes bytes;
    for (int v : values) bytes.push_back(static_cast<unsigned char>(v));
    return bytes;
}

TEST(AnsiToWide, ConvertsAndStaysTerminatedWhenTooSmall)
{
    wchar_t wide[8];
    EXPECT_TRUE(AnsiToWide("abc", wide, 8));
    EXPECT_STREQ(wide, L"abc");
    std::fill(std::begin(wide), std::end(wide), L'#');
    EXPECT_FALSE(AnsiToWide("abcdef", wide, 4));
    EXPECT_EQ(wide[3], L'\0');
    EXPECT_EQ(wide[4], L'#');
    EXPECT_FALSE(AnsiToWide("abc", wide, 0));
}

TEST(WideToAnsi, ConvertsAndStaysTerminatedWhenTooSmall)
{
    char narrow[8];
    EXPECT_TRUE(WideToAnsi(L"abc", narrow, 8));
    EXPECT_STREQ(narrow, "abc");
    std::memset(narrow, '#', sizeof narrow);
    EXPECT_FALSE(WideToAnsi(L"abcdef", narrow, 4));
    EXPECT_EQ(narrow[3], '\0');
    EXPECT_EQ(narrow[4], '#');
}

TEST(WideToAnsi, UsesTheAnsiCodePage)
{
    if (GetACP() != 1252) GTEST_SKIP() << "code page " << GetACP();
    char narrow[8];
    EXPECT_TRUE(WideToAnsi(L"caf\x00e9\x4e2d", narrow, 8));
    EXPECT_STREQ(narrow, "caf\xe9?");  // a character the code page lacks becomes the default
    wchar_t wide[8];
    EXPECT_TRUE(AnsiToWide("caf\xe9", wide, 8));
    EXPECT_STREQ(wide, L"caf\x00e9");
}

TEST(IsValidUtf8, AcceptsTheLenientForms)
{
    const struct {
        Bytes data;
        bool valid;
    } cases[] = {
        {B({}), true},
        {B({'a', 'b'}), true},
        {B({0xC3, 0xA9}), true},
        {B({0xED, 0xA0, 0x80}), true},               // encoded surrogate
        {B({0xC0, 0x80}), true},                     // overlong
        {B({0xF8, 0x88, 0x80, 0x80, 0x80}), true},   // five-byte form
        {B({0xFC, 0x84, 0x80, 0x80, 0x80, 0x80}), true},
        {B({0xC3}), false},                          // cut at the end
        {B({'a', 0xE2, 0x82}), false},
        {B({0x80}), false},                          // continuation in lead position
        {B({0xC3, 0x28}), false},
        {B({0xFE}), false},
        {B({0xFF, 0x80}), false},
    };
    for (const auto& c : cases) EXPECT_EQ(IsValidUtf8(c.data.data(), c.data.size()), c.valid) << c.data.size();
}

TEST(IsValidUtf8, LooksOnlyAtTheGivenLength)
{
    const unsigned char data[] = {'a', 0xC3, 0xA9};
    EXPECT_FALSE(IsValidUtf8(data, 2));
    EXPECT_TRUE(IsValidUtf8(data, 1));
}

struct DecodeCase {
    const char* what;
    Bytes utf8;
    size_t capacity;
    std::wstring wide;
    bool result;
};

TEST(Utf8ToWide, DecodesAndReportsMalformedInput)
{
    const DecodeCase cases[] = {
        {"ascii", B({'a', 'b'}), 8, L"ab", true},
        {"two bytes", B({0xC3, 0xA9}), 8, L"\x00e9", true},
        {"three bytes", B({0xE2, 0x82, 0xAC}), 8, L"\x20ac", true},
        {"pair", B({0xF0, 0x9F, 0x98, 0x80}), 8, L"\xd83d\xde00", true},
        {"highest", B({0xF4, 0x8F, 0xBF, 0xBF}), 8, L"\xdbff\xdfff", true},
        {"overlong passes", B({0xC0, 0x81}), 8, L"\x0001", true},
        {"surrogate passes", B({0xED, 0xA0, 0x80}), 8, std::wstring(1, wchar_t(0xD800)), true},
        {"bad continuation", B({'x', 0xC3, 0x28, 'y'}), 8, L"x", false},
        {"lone continuation", B({'x', 0x80, 'y'}), 8, L"x", false},
        {"five-byte lead", B({0xF8, 0x88, 0x80, 0x80, 0x80}), 8, L"", false},
        {"cut by the end", B({'x', 0xE2, 0x82}), 8, L"x", false},
        {"out of range skipped", B({0xF7, 0xBF, 0xBF, 0xBF, 'a'}), 8, L"a", false},
        {"first out of range", B({0xF4, 0x90, 0x80, 0x80, 'a'}), 8, L"a", false},
        {"full buffer", B({'a', 'b', 'c'}), 3, L"ab", true},
        {"pair never split", B({'a', 0xF0, 0x9F, 0x98, 0x80, 'b'}), 3, L"a", true},
        {"pair fits exactly", B({'a', 0xF0, 0x9F, 0x98, 0x80}), 4, L"a\xd83d\xde00", true},
        {"skip before full", B({0xF7, 0xBF, 0xBF, 0xBF, 'a', 'b'}), 2, L"a", false},
        {"terminator only", B({'a'}), 1, L"", true},
    };
    for (const auto& c : cases) {
        Bytes source = c.utf8 + B({0});
        wchar_t wide[16];
        std::fill(std::begin(wide), std::end(wide), L'#');
        EXPECT_EQ(Utf8ToWide(source.data(), wide, c.capacity), c.result) << c.what;
        EXPECT_EQ(std::wstring(wide), c.wide) << c.what;
        EXPECT_EQ(wide[c.capacity], L'#') << c.what;
    }
}

TEST(UpperCaseChar, KeepsTheDotlessCapitalUnderATurkishLocale)
{
    LCID former = GetThreadLocale();
    SetThreadLocale(MAKELCID(MAKELANGID(LANG_TURKISH, SUBLANG_TURKISH_TURKEY), SORT_DEFAULT));
    wchar_t i = UpperCaseChar(L'i');
    wchar_t a = UpperCaseChar(L'a');
    wchar_t e = UpperCaseChar(L'\x00e9');
    SetThreadLocale(former);
    EXPECT_EQ(i, L'I');
    EXPECT_EQ(a, L'A');
    EXPECT_EQ(e, L'\x00c9');
    EXPECT_EQ(UpperCaseChar(L'Z'), L'Z');
}

TEST(Int64ToDecimal, WritesDigitsWithinTheCapacity)
{
    const struct {
        int64_t value;
        size_t capacity;
        const wchar_t* text;
    } cases[] = {
        {-45, 20, L"-45"},
        {0, 20, L"0"},
        {120, 20, L"120"},
        {LLONG_MAX, 20, L"9223372036854775807"},
        {LLONG_MIN, 21, L"-9223372036854775808"},
        {LLONG_MIN, 20, L"-223372036854775808"},  // the least significant digits are kept
        {12345, 4, L"345"},
        {-12345, 4, L"-45"},
        {7, 1, L""},
    };
    for (const auto& c : cases) {
        wchar_t text[24];
        std::fill(std::begin(text), std::end(text), L'#');
        Int64ToDecimal(c.value, text, c.capacity);
        EXPECT_STREQ(text, c.text) << c.value << " into " << c.capacity;
    }
}

TEST(DecimalToInt64, ReadsALeadingSignAndDigitsAndWraps)
{
    const struct {
        const wchar_t* text;
        int64_t value;
    } cases[] = {
        {L"120*110", 120},
        {L" 12", 0},
        {L"-7x", -7},
        {L"+5", 0},
        {L"", 0},
        {L"-", 0},
        {L"--3", 0},
        {L"0042", 42},
        {L"9223372036854775807", LLONG_MAX},
        {L"-9223372036854775808", LLONG_MIN},
        {L"9223372036854775808", LLONG_MIN},  // wraps
        {L"18446744073709551617", 1},
        {L"4294967295", 4294967295LL},
    };
    for (const auto& c : cases) EXPECT_EQ(DecimalToInt64(c.text), c.value) << c.text;
}

TEST(NarrowBounded, CopiesAndAppendsWithinTheCapacity)
{
    char text[8];
    std::memset(text, '#', sizeof text);
    CopyNarrowBounded(text, "abcdef", 4);
    EXPECT_STREQ(text, "abc");
    EXPECT_EQ(text[4], '#');
    AppendNarrowBounded(text, "xyz", 6);
    EXPECT_STREQ(text, "abcxy");
    AppendNarrowBounded(text, "z", 6);  // full
    EXPECT_STREQ(text, "abcxy");
    std::memset(text, '#', sizeof text);
    CopyNarrowBounded(text, "abc", 0);
    EXPECT_EQ(text[0], '#');
}

TEST(FileTimeToNanoseconds, CountsHundredsOfNanoseconds)
{
    FILETIME time = {0x00000005, 0x00000001};
    EXPECT_EQ(FileTimeToNanoseconds(time), (0x100000005LL) * 100);
}

}  // namespace
}  // namespace tvx
