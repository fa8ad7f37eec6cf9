#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <string>
#include <vector>

#include "common/strings.h"

namespace tvx {
namespace {

constexpr wchar_t kFill = L'#';
constexpr size_t kCanvas = 16;

// A buffer pre-filled with a marker, so a test sees exactly which characters were written.
struct Canvas {
    wchar_t text[kCanvas];
    Canvas() { std::fill(std::begin(text), std::end(text), kFill); }
    std::wstring Prefix(size_t count) const { return std::wstring(text, count); }
};

int Legacy(wchar_t* destination, size_t capacity, const wchar_t* format, ...)
{
    va_list args;
    va_start(args, format);
    int result = FormatTextLegacy(destination, capacity, format, args);
    va_end(args);
    return result;
}

int Bytes(char* destination, size_t capacity, const char* format, ...)
{
    va_list args;
    va_start(args, format);
    int result = FormatBytes(destination, capacity, format, args);
    va_end(args);
    return result;
}

struct CopyCase {
    const wchar_t* source;
    size_t capacity;
    const wchar_t* written;  // the characters the buffer starts with afterwards
    size_t writtenCount;     // including the terminator when one is written
};

TEST(CopyText, CutsAtCapacityAndAlwaysTerminates)
{
    const CopyCase cases[] = {
        {L"abc", 10, L"abc\0", 4},
        {L"abc", 4, L"abc\0", 4},
        {L"abcd", 4, L"abc\0", 4},
        {L"abc", 1, L"\0", 1},
        {L"", 5, L"\0", 1},
    };
    for (const auto& c : cases) {
        Canvas canvas;
        wchar_t* end = CopyText(canvas.text, c.source, c.capacity);
        EXPECT_EQ(canvas.Prefix(c.writtenCount), std::wstring(c.written, c.writtenCount)) << c.source;
        EXPECT_EQ(canvas.text[c.writtenCount], kFill) << "wrote past the capacity: " << c.source;
        EXPECT_EQ(end, canvas.text + c.writtenCount - 1) << c.source;
    }
}

TEST(CopyText, CapacityZeroWritesNothing)
{
    Canvas canvas;
    EXPECT_EQ(CopyText(canvas.text, L"abc", 0), nullptr);
    EXPECT_EQ(canvas.text[0], kFill);
}

struct AppendCase {
    const wchar_t* before;
    const wchar_t* source;
    size_t capacity;
    const wchar_t* after;
};

TEST(AppendText, AppendsWithinTheRemainingCapacity)
{
    const AppendCase cases[] = {
        {L"ab", L"cd", 10, L"abcd"},
        {L"ab", L"cdef", 5, L"abcd"},
        {L"abcd", L"x", 5, L"abcd"},  // already full: capacity - 1 characters
        {L"", L"xyz", 3, L"xy"},
    };
    for (const auto& c : cases) {
        Canvas canvas;
        CopyText(canvas.text, c.before, kCanvas);
        AppendText(canvas.text, c.source, c.capacity);
        EXPECT_STREQ(canvas.text, c.after) << c.before << " + " << c.source;
    }
}

TEST(AppendText, UnterminatedDestinationAtCapacityIsLeftAlone)
{
    Canvas canvas;  // no terminator within the first four characters
    AppendText(canvas.text, L"x", 4);
    EXPECT_EQ(canvas.Prefix(kCanvas), std::wstring(kCanvas, kFill));
}

struct FormatCase {
    size_t capacity;
    const wchar_t* text;
    int result;
    const wchar_t* written;
    size_t writtenCount;
};

using WideFormatter = int (*)(wchar_t*, size_t, const wchar_t*, ...);

template <size_t N>
void ExpectFormatted(const FormatCase (&cases)[N], WideFormatter format)
{
    for (const auto& c : cases) {
        Canvas canvas;
        EXPECT_EQ(format(canvas.text, c.capacity, L"%s", c.text), c.result) << c.capacity;
        EXPECT_EQ(canvas.Prefix(c.writtenCount), std::wstring(c.written, c.writtenCount)) << c.capacity;
        EXPECT_EQ(canvas.text[c.writtenCount], kFill) << c.capacity;
    }
}

TEST(FormatText, StandardTruncationCutsAndTerminates)
{
    const FormatCase cases[] = {
        {7, L"abcdef", 6, L"abcdef\0", 7},
        {10, L"abcdef", 6, L"abcdef\0", 7},
        {6, L"abcdef", -1, L"abcde\0", 6},
        {4, L"abcdef", -1, L"abc\0", 4},
        {1, L"abcdef", -1, L"\0", 1},
        {1, L"", 0, L"\0", 1},
    };
    ExpectFormatted(cases, &FormatText);
}

TEST(FormatText, CapacityZeroWritesNothing)
{
    Canvas canvas;
    EXPECT_EQ(FormatText(canvas.text, 0, L"%s", L"a"), -1);
    EXPECT_EQ(canvas.text[0], kFill);
}

TEST(FormatTextLegacy, ExactFitAndOverflowLeaveNoTerminator)
{
    const FormatCase cases[] = {
        {5, L"abcd", 4, L"abcd\0", 5},
        {4, L"abcd", 4, L"abcd", 4},
        {4, L"abcdef", -1, L"abcd", 4},
        {1, L"", 0, L"\0", 1},
    };
    ExpectFormatted(cases, &Legacy);
}

TEST(FormatBytes, FollowsTheLegacyRuleInBytes)
{
    struct Case {
        size_t capacity;
        const char* text;
        int result;
        const char* written;
        size_t writtenCount;
    };
    const Case cases[] = {
        {5, "abcd", 4, "abcd\0", 5},
        {4, "abcd", 4, "abcd", 4},
        {3, "abcd", -1, "abc", 3},
    };
    for (const auto& c : cases) {
        char buffer[kCanvas];
        std::memset(buffer, '#', sizeof buffer);
        EXPECT_EQ(Bytes(buffer, c.capacity, "%s", c.text), c.result) << c.capacity;
        EXPECT_EQ(std::string(buffer, c.writtenCount), std::string(c.written, c.writtenCount));
        EXPECT_EQ(buffer[c.writtenCount], '#') << c.capacity;
    }
}

TEST(FormatText, UsesTheProgramsFormats)
{
    wchar_t buffer[64];
    FormatText(buffer, 64, L"%s.%u.tmp", L"C:\\Dir\\f\x00e9", 7u);
    EXPECT_STREQ(buffer, L"C:\\Dir\\f\x00e9.7.tmp");  // %s is wide text in a wide format
    FormatText(buffer, 64, L"%d.%02d.%d", 6, 1, -7601);
    EXPECT_STREQ(buffer, L"6.01.-7601");
    FormatText(buffer, 64, L"%s\\%s 100%%", L"a", L"b");
    EXPECT_STREQ(buffer, L"a\\b 100%");
    char bytes[32];
    Bytes(bytes, sizeof bytes, "del \"%s\"\r\n", "C:\\x");
    EXPECT_STREQ(bytes, "del \"C:\\x\"\r\n");  // %s is 8-bit text in an 8-bit format
}

TEST(FormatWithText, TakesOneTextAndShowsAnyOtherFormatAsItStands)
{
    const struct {
        const wchar_t* format;
        size_t capacity;
        const wchar_t* result;
    } cases[] = {
        {L"File %s not found.", 64, L"File C:\\a not found."},
        {L"100%% of %s", 64, L"100% of C:\\a"},
        {L"no text at all", 64, L"no text at all"},
        {L"File %s", 8, L"File C:"},
        {L"%s and %s", 64, L"%s and %s"},
        {L"%d files in %s", 64, L"%d files in %s"},
        {L"%ls", 64, L"%ls"},
        {L"cut %", 64, L"cut %"},
    };
    for (const auto& c : cases) {
        wchar_t buffer[64];
        FormatWithText(buffer, c.capacity, c.format, L"C:\\a");
        EXPECT_STREQ(buffer, c.result) << c.format;
    }
}

std::vector<std::wstring> Tokens(const wchar_t* text, size_t capacity = kLineCapacity)
{
    std::vector<std::wstring> tokens;
    std::wstring token(capacity, L'\0');
    while ((text = NextToken(text, token.data(), capacity)) != nullptr) tokens.push_back(token.c_str());
    return tokens;
}

TEST(NextToken, SplitsAtBlanksAndGroupsQuotes)
{
    using List = std::vector<std::wstring>;
    const struct {
        const wchar_t* text;
        List tokens;
    } cases[] = {
        {L"ab \"c d\" e", {L"ab", L"c d", L"e"}},
        {L"\"x\"\"y\"", {L"x\"y"}},
        {L"a\"\"b", {L"a\"b"}},
        {L"\"abc", {L"abc"}},
        {L"\"\"", {L"\""}},
        {L"\"\"\"\"", {L"\"\""}},
        {L"", {}},
        {L" \t  ", {}},
        {L"\t/S\t-setup  ", {L"/S", L"-setup"}},
        {L"\"/setup\" x\"y z\"w", {L"/setup", L"xy zw"}},
        {L"\"\" a", {L"\"", L"a"}},
        {L"C:\\Program Files\\Talvex\\uninstall.exe /S", {L"C:\\Program", L"Files\\Talvex\\uninstall.exe", L"/S"}},
    };
    for (const auto& c : cases) EXPECT_EQ(Tokens(c.text), c.tokens) << c.text;
}

TEST(NextToken, DropsTheRestOfALongTokenButReadsIt)
{
    EXPECT_EQ(Tokens(L"abcdef gh", 4), (std::vector<std::wstring>{L"abc", L"gh"}));
    EXPECT_EQ(Tokens(L"\"a b c d\" e", 3), (std::vector<std::wstring>{L"a ", L"e"}));
}

TEST(NextToken, ReturnsThePositionOfTheEndingCharacter)
{
    const wchar_t* text = L"  one two";
    wchar_t token[8] = L"x";
    EXPECT_EQ(NextToken(text, token, 8), text + 5);
    EXPECT_EQ(NextToken(text + 5, nullptr, 0), text + 9);  // skipping needs no buffer
    EXPECT_EQ(NextToken(text + 9, token, 8), nullptr);
    EXPECT_STREQ(token, L"one");  // left untouched when no token is left
}

TEST(CharacterClasses, MatchTheirAsciiRanges)
{
    for (int c = 0; c < 0x180; ++c) {
        bool letter = (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z');
        EXPECT_EQ(IsAsciiLetter(c), letter) << c;
        EXPECT_EQ(IsAsciiDigit(static_cast<wchar_t>(c)), c >= '0' && c <= '9') << c;
        EXPECT_EQ(IsBlank(static_cast<wchar_t>(c)), c == ' ' || c == '\t') << c;
    }
    EXPECT_FALSE(IsAsciiLetter(-1));
    EXPECT_FALSE(IsAsciiLetter(0x10041));
}

TEST(UpperChar, UsesTheSystemMapping)
{
    EXPECT_EQ(UpperChar(L's'), L'S');
    EXPECT_EQ(UpperChar(L'S'), L'S');
    EXPECT_EQ(UpperChar(L'1'), L'1');
    EXPECT_EQ(UpperChar(L'\x00e9'), L'\x00c9');
    EXPECT_EQ(UpperChar(L'\x044f'), L'\x042f');
    EXPECT_EQ(UpperChar(L'\0'), L'\0');
}

TEST(CompareNames, IgnoresCaseAndOrdersNames)
{
    const struct {
        const wchar_t* a;
        const wchar_t* b;
        int result;
    } cases[] = {
        {L"ABC", L"abc", 0},
        {L"abc", L"abd", -1},
        {L"abd", L"ABC", 1},
        {L"Talvex.exe", L"TALVEX.EXE", 0},
        {L"ab", L"abc", -1},
        {L"\x00e9t\x00e9", L"\x00c9T\x00c9", 0},
        {L"", L"", 0},
    };
    for (const auto& c : cases) EXPECT_EQ(CompareNames(c.a, c.b), c.result) << c.a << L" " << c.b;
}

TEST(CompareNamesPrefix, ComparesAtMostNCharactersWithTheTerminator)
{
    const struct {
        const wchar_t* a;
        const wchar_t* b;
        size_t n;
        bool equal;
    } cases[] = {
        {L"msiexec", L"msi", 3, true},
        {L"set", L"setup", 5, false},
        {L"setupx", L"setup", 5, true},
        {L"SETUP", L"setup", 5, true},
        {L"noex", L"noexplorer", 4, true},
        {L"noe", L"noexplorer", 4, false},
        {L"", L"wait", 4, false},
        {L"init", L"init", 10, true},
        {L"initA1B0", L"init", 4, true},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(CompareNamesPrefix(c.a, c.b, c.n) == 0, c.equal) << c.a << L" " << c.b << L" " << c.n;
    }
}

}  // namespace
}  // namespace tvx
