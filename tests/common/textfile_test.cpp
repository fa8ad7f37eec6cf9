#include <gtest/gtest.h>
#include <string>
#include <vector>
#include "common/textfile.h"
#include "support/scratch.h"

namespace tvx {
namespace {

using Lines = std::vector<std::wstring>;

enum class Form { Ansi, Utf16LittleEndian, Utf16BigEndian, Utf8 };

std::string Narrow(const std::wstring& text, UINT codePage)
{
    std::string bytes(text.size() * 4, '\0');
    int length = WideCharToMultiByte(codePage, 0, text.data(), static_cast<int>(text.size()), bytes.data(),
                                     static_cast<int>(bytes.size()), nullptr, nullptr);
    bytes.resize(length);
    return bytes;
}

std::string Encode(const std::wstring& text, Form form)
{
    if (form == Form::Ansi) return Narrow(text, CP_ACP);
    if (form == Form::Utf8) return "\xEF\xBB\xBF" + Narrow(text, CP_UTF8);
    bool bigEndian = form == Form::Utf16BigEndian;
    std::string bytes = bigEndian ? "\xFE\xFF" : "\xFF\xFE";
    for (wchar_t unit : text) {
        char low = static_cast<char>(unit & 0xFF), high = static_cast<char>(unit >> 8);
        bytes += bigEndian ? std::string{high, low} : std::string{low, high};
    }
    return bytes;
}

// What the bytes say in the ANSI code page, up to the first line break.
std::wstring AnsiFirstLine(const std::string& bytes)
{
    std::wstring text(bytes.size(), L'\0');
    int length = MultiByteToWideChar(CP_ACP, 0, bytes.data(), static_cast<int>(bytes.size()), text.data(),
                                     static_cast<int>(text.size()));
    text.resize(length);
    return text.substr(0, text.find_first_of(L"\r\n"));
}

class TextFileTest : public testing::Test {
protected:
    Lines Load(const std::string& bytes)
    {
        std::wstring path = scratch_ / L"text.txt";
        test::WriteFileBytes(path, bytes);
        LineList list;
        EXPECT_TRUE(LoadTextLines(path.c_str(), list));
        Lines lines;
        for (const wchar_t* line; list.Next(line);) lines.push_back(line);
        EXPECT_EQ(lines.size(), list.Count());
        return lines;
    }

    test::ScratchFolder scratch_{L"tvx-textfile"};
};

TEST_F(TextFileTest, EveryEncodingGivesTheSameLines)
{
    const Form forms[] = {Form::Ansi, Form::Utf16LittleEndian, Form::Utf16BigEndian, Form::Utf8};
    const std::wstring blanks = L"a\r\n\r\n  b  \r\n\t\r\nc";
    const std::wstring foreign = L"Gr\u00FC\u00DFe\n\u4E2D\u6587 \r\r\u03A9";
    for (Form form : forms) {
        EXPECT_EQ(Load(Encode(blanks, form)), (Lines{L"a", L"  b", L"c"})) << static_cast<int>(form);
        if (form == Form::Ansi) continue;  // the ANSI code page need not hold these characters
        EXPECT_EQ(Load(Encode(foreign, form)), (Lines{L"Gr\u00FC\u00DFe", L"\u4E2D\u6587", L"\u03A9"}))
            << static_cast<int>(form);
    }
}

TEST_F(TextFileTest, SignaturesThatDoNotHoldAreReadAsAnsi)
{
    const std::string cases[] = {
        "\xFF\xFE" "ABCD",          // every high byte 0x20 or above
        "\xFE\xFF" "ABCD",
        "\xFF\xFE" "A\rB\n",         // CR and LF as high bytes do not count
        "\xEF\xBB\xBF" "a\x80" "b",  // stray continuation byte
        "\xEF\xBB\xBF" "ab\xC3",     // missing continuation byte
    };
    for (const std::string& bytes : cases) {
        Lines lines = Load(bytes);
        ASSERT_FALSE(lines.empty()) << bytes;
        EXPECT_EQ(lines[0], AnsiFirstLine(bytes)) << bytes;
    }
}

TEST_F(TextFileTest, DecodingEdges)
{
    // A five-byte sequence passes the lenient check, and the converter stops before it.
    EXPECT_EQ(Load("\xEF\xBB\xBF" "ab\xF8\x88\x80\x80\x80" "cd"), Lines{L"ab"});
    // An odd last byte of UTF-16 is ignored.
    EXPECT_EQ(Load(std::string("\xFF\xFE" "a\0b", 5)), Lines{L"a"});
    EXPECT_EQ(Load("one\ntwo"), (Lines{L"one", L"two"}));
    EXPECT_EQ(Load(""), Lines{});
}

TEST_F(TextFileTest, AFileOfManyReadsArrivesWhole)
{
    std::string text;
    for (int i = 0; i < 20000; ++i) text += "line " + std::to_string(i) + "\r\n";
    Lines lines = Load(text);
    ASSERT_EQ(lines.size(), 20000u);
    EXPECT_EQ(lines[4095], L"line 4095");
    EXPECT_EQ(lines.back(), L"line 19999");
}

TEST_F(TextFileTest, AMissingFileIsNotRead)
{
    LineList list;
    EXPECT_FALSE(LoadTextLines((scratch_ / L"missing.txt").c_str(), list));
    EXPECT_EQ(list.Count(), 0u);
}

TEST(TextEncoding, DetectionLooksAtSignaturesAndHighBytes)
{
    struct Case {
        std::string bytes;
        TextEncoding expected;
    };
    const Case cases[] = {
        {"", TextEncoding::Ansi},
        {"\xEF\xBB\xBF", TextEncoding::Ansi},  // a signature alone is not UTF-8
        {"\xEF\xBB\xBF" "a", TextEncoding::Utf8},
        {"\xFF\xFE", TextEncoding::Ansi},
        {std::string("\xFF\xFE" "a\0", 4), TextEncoding::Utf16},
        {std::string("\xFE\xFF\0a", 4), TextEncoding::Utf16},
        {"\xFF\xFE" "a\r", TextEncoding::Ansi},
        {std::string("\xFF\xFE" "a\r" "b\x1F", 6), TextEncoding::Utf16},
        {"plain", TextEncoding::Ansi},
    };
    for (const Case& c : cases) {
        auto bytes = reinterpret_cast<const unsigned char*>(c.bytes.data());
        EXPECT_EQ(DetectTextEncoding(bytes, static_cast<uint32_t>(c.bytes.size())), c.expected) << c.bytes;
    }
}

TEST(LineList, HandsBackStringsInOrderUntilRewound)
{
    LineList list;
    list.Append(L"one");
    list.Append(nullptr);
    list.Append(L"three");
    EXPECT_EQ(list.Count(), 3u);
    const wchar_t* line = nullptr;
    ASSERT_TRUE(list.Next(line));
    EXPECT_STREQ(line, L"one");
    ASSERT_TRUE(list.Next(line));
    EXPECT_STREQ(line, L"");
    ASSERT_TRUE(list.Next(line));
    EXPECT_STREQ(line, L"three");
    EXPECT_FALSE(list.Next(line));
    EXPECT_EQ(line, nullptr);

    list.Rewind();
    EXPECT_EQ(list.Count(), 0u);
    EXPECT_FALSE(list.Next(line));
    list.Append(L"again");
    ASSERT_TRUE(list.Next(line));
    EXPECT_STREQ(line, L"again");
}

}  // namespace
}  // namespace tvx
