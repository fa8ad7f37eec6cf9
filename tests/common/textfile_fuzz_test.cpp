// The text reader fed with the shipped translations and a saved Talvex.ini, in every encoding
// it reads, cut and mutated: the encoding choice and the line splitting in memory, and whole
// files through LoadTextLines. The lines must be those of an independent split of the same
// decoded text, the same whatever the encoding that carried the text.

#include <gtest/gtest.h>

#include <cstring>
#include <cwchar>
#include <string>
#include <vector>

#include "common/charset.h"
#include "common/textfile.h"
#include "support/fence.h"
#include "support/fuzz.h"
#include "support/scratch.h"

namespace tvx {
namespace {

using test::FuzzRound;
using Lines = std::vector<std::wstring>;

constexpr uint32_t kMemoryRounds = 100000;
constexpr uint32_t kFileRounds = 10000;
constexpr size_t kSliceBytes = 160;
// Mutations may add a line of thousands of bytes; a piece keeps only the start of it.
constexpr size_t kUsualBytes = 256;
constexpr size_t kFenceBytes = 256 * 1024;  // a whole file with a huge line added

// A Talvex.ini as the settings backend saves it, with the user's own additions.
constexpr wchar_t kSavedIni[] =
    L"Global\\AppData=1\r\nGlobal\\Integration=1\r\nGlobal\\SaveSettings=1\r\n"
    L"HKCU\\Setup\\Ext=\"tvx,zip,cab,arj,lz,lzh,7z,tar,gz,uue,bz2,jar,iso,z,xz,zipx,001\"\r\n"
    L"HKCU\\Setup\\Desktop=1\r\nHKCU\\Setup\\ShellExt=1\r\nHKCU\\Setup\\CascadedMenu=0\r\n"
    L"HKCU\\General\\LanguageFolder=\"C:\\Program Files\\Talvex\\Lang\"\r\n"
    L"HKCU\\Setup\\Menu\\Title=\" \"\"Talvex\"\" \x05D0\x05E8\x05DB\x05D9\x05D5\x05DF \"\r\n"
    L"HKLM\\exe32=\"C:\\T\\Talvex.exe\"\r\nHKCU\\Profiles\\0\\Data=00ff10a7\r\n";

const std::vector<std::string> kMarkers = {
    "\r\n", "\r", "\n", " \t", std::string(1, '\0'), std::string("\r\0\n\0", 4), std::string("\0\r", 2),
    "\xFF\xFE", "\xFE\xFF", "\xEF\xBB\xBF", std::string("\x1F\0", 2), "\xED\xA0\x80", "\xF8\x88\x80\x80\x80"};

std::string Utf16Bytes(const std::wstring& text, bool bigEndian)
{
    std::string bytes = bigEndian ? "\xFE\xFF" : "\xFF\xFE";
    for (wchar_t unit : text) {
        char low = static_cast<char>(unit & 0xFF), high = static_cast<char>(unit >> 8);
        bytes += bigEndian ? std::string{high, low} : std::string{low, high};
    }
    return bytes;
}

void AppendUtf8(std::string& bytes, uint32_t point)
{
    if (point < 0x80) {
        bytes += static_cast<char>(point);
    } else if (point < 0x800) {
        bytes += static_cast<char>(0xC0 | point >> 6);
        bytes += static_cast<char>(0x80 | (point & 0x3F));
    } else if (point < 0x10000) {
        bytes += static_cast<char>(0xE0 | point >> 12);
        bytes += static_cast<char>(0x80 | ((point >> 6) & 0x3F));
        bytes += static_cast<char>(0x80 | (point & 0x3F));
    } else {
        bytes += static_cast<char>(0xF0 | point >> 18);
        bytes += static_cast<char>(0x80 | ((point >> 12) & 0x3F));
        bytes += static_cast<char>(0x80 | ((point >> 6) & 0x3F));
        bytes += static_cast<char>(0x80 | (point & 0x3F));
    }
}

// With the signature; a pair becomes one four-byte sequence, a lone surrogate half the
// three-byte form that the reader's converter passes through.
std::string Utf8Bytes(const std::wstring& text)
{
    std::string bytes = "\xEF\xBB\xBF";
    for (size_t i = 0; i < text.size(); ++i) {
        uint32_t unit = text[i];
        bool pair = unit >= 0xD800 && unit < 0xDC00 && i + 1 < text.size() && text[i + 1] >= 0xDC00 &&
                    text[i + 1] < 0xE000;
        if (pair) unit = 0x10000 + ((unit - 0xD800) << 10) + (text[++i] - 0xDC00);
        AppendUtf8(bytes, unit);
    }
    return bytes;
}

const std::string& EnglishBytes()
{
    static const std::string bytes =
        test::ReadSourceFile(test::SourceDir() + L"\\src\\resources\\lang\\english\\uninstall.lng");
    return bytes;
}

// The UTF-16 LE bytes of the Hebrew translation, without the signature.
const std::string& HebrewUnits()
{
    static const std::string bytes =
        test::ReadSourceFile(test::SourceDir() + L"\\src\\resources\\lang\\hebrew\\uninstall.lng").substr(2);
    return bytes;
}

const std::string& SavedIniUnits()
{
    static const std::string bytes = test::WideBytes(kSavedIni);
    return bytes;
}

// Real text in one of the encodings the reader knows: a piece of it, or the whole file.
std::string RealText(test::Random& random, bool whole)
{
    auto piece = [&random, whole](const std::string& source, bool evenStart) {
        return whole ? source : test::Slice(random, source, kSliceBytes, evenStart);
    };
    const std::string& units = random.OneIn(2) ? HebrewUnits() : SavedIniUnits();
    switch (random.Below(4)) {
    case 0: return piece(EnglishBytes(), false);
    case 1: return Utf8Bytes(test::BytesToWide(piece(units, true)));
    default: return Utf16Bytes(test::BytesToWide(piece(units, true)), random.OneIn(3));
    }
}

// Mutated; a piece is kept to its first kUsualBytes, a whole file keeps all it has.
std::string Input(test::Random& random, bool whole)
{
    std::string input = RealText(random, whole);
    test::Mutate(random, input, kMarkers);
    if (!whole && input.size() > kUsualBytes) input.resize(kUsualBytes);
    return input;
}

bool HasUtf16Signature(const std::string& bytes)
{
    return bytes.size() > 2 && (bytes.compare(0, 2, "\xFF\xFE") == 0 || bytes.compare(0, 2, "\xFE\xFF") == 0);
}

// The encoding by the rules the reader documents, worked out here from scratch.
TextEncoding ExpectedEncoding(const std::string& bytes)
{
    auto data = reinterpret_cast<const unsigned char*>(bytes.data());
    if (bytes.size() > 3 && bytes.compare(0, 3, "\xEF\xBB\xBF") == 0 && IsValidUtf8(data + 3, bytes.size() - 3))
        return TextEncoding::Utf8;
    if (!HasUtf16Signature(bytes)) return TextEncoding::Ansi;
    for (size_t i = data[0] == 0xFF ? 3 : 2; i < bytes.size(); i += 2)
        if (data[i] < 0x20 && data[i] != '\r' && data[i] != '\n') return TextEncoding::Utf16;
    return TextEncoding::Ansi;
}

std::wstring ReferenceText(const std::string& bytes, TextEncoding encoding)
{
    if (encoding == TextEncoding::Utf16) {
        std::wstring text = test::BytesToWide(bytes.substr(2));
        if (bytes[0] == '\xFE')
            for (wchar_t& unit : text) unit = static_cast<wchar_t>(unit << 8 | unit >> 8);
        return text.c_str();
    }
    std::string narrow = bytes.c_str();
    std::wstring text(narrow.size() + 1, L'\0');
    if (encoding == TextEncoding::Utf8)
        Utf8ToWide(reinterpret_cast<const unsigned char*>(narrow.c_str()) + 3, text.data(), text.size());
    else
        MultiByteToWideChar(CP_ACP, 0, narrow.data(), static_cast<int>(narrow.size()), text.data(),
                            static_cast<int>(text.size()));
    return text.c_str();
}

// CR and LF end lines; trailing blanks go; empty lines are left out.
Lines ReferenceLines(const std::wstring& text)
{
    Lines lines;
    size_t start = 0;
    while (start <= text.size()) {
        size_t end = text.find_first_of(L"\r\n", start);
        if (end == std::wstring::npos) end = text.size();
        std::wstring line = text.substr(start, end - start);
        line.erase(line.find_last_not_of(L" \t") + 1);
        if (!line.empty()) lines.push_back(line);
        start = end + 1;
    }
    return lines;
}

// What the list hands out, checked against its own count and the reader's promises.
std::string ReadBack(LineList& list, Lines& lines)
{
    const wchar_t* line = nullptr;
    while (list.Next(line)) {
        lines.emplace_back(line);
        const std::wstring& text = lines.back();
        if (text.empty()) return "handed out an empty line";
        if (text.find_first_of(L"\r\n") != std::wstring::npos) return "a line holds CR or LF";
        if (text.back() == L' ' || text.back() == L'\t') return "a line ends with a blank";
    }
    if (line != nullptr) return "Next after the last line did not give a null pointer";
    if (list.Count() != lines.size()) return "Count differs from the lines handed out";
    return "";
}

std::string DecodeInMemory(const std::string& bytes, Lines& lines)
{
    GrowableArray<unsigned char> array(static_cast<uint32_t>(bytes.size()));
    if (!bytes.empty()) std::memcpy(array.Data(), bytes.data(), bytes.size());
    LineList list;
    DecodeTextLines(array, list);
    return ReadBack(list, lines);
}

std::string CheckDecoding(const std::string& bytes)
{
    static test::FencedMemory fence(kFenceBytes);
    TextEncoding encoding = DetectTextEncoding(fence.Place(bytes), static_cast<uint32_t>(bytes.size()));
    if (encoding != ExpectedEncoding(bytes)) return "chose the wrong encoding";
    Lines lines;
    std::string problem = DecodeInMemory(bytes, lines);
    if (!problem.empty()) return problem;
    if (lines != ReferenceLines(ReferenceText(bytes, encoding))) return "lines differ from a plain split of the text";
    return "";
}

// Random text in UTF-16 (either byte order, now and then an odd last byte) and in UTF-8:
// when the UTF-16 form is read as such, both give the same lines.
std::string CheckEncodingsAgree(FuzzRound& round)
{
    std::wstring text = test::RandomWideText(
        round.random, {L"\r\n", L"\n", L"\r", L"  ", L"\t", L"ab", L"\x05D0\x05E8", L"\xD83D\xDE00", L"\x0D0A"}, 30);
    std::string utf16 = Utf16Bytes(text, round.random.OneIn(2));
    if (round.random.OneIn(4)) utf16 += static_cast<char>(round.random.Below(256));
    round.input = utf16;
    auto data = reinterpret_cast<const unsigned char*>(utf16.data());
    if (DetectTextEncoding(data, static_cast<uint32_t>(utf16.size())) != TextEncoding::Utf16) return "";
    std::string utf8 = Utf8Bytes(text);
    if (utf8.size() == 3) return "";  // a signature alone is read as 8-bit text
    auto utf8Data = reinterpret_cast<const unsigned char*>(utf8.data());
    if (DetectTextEncoding(utf8Data, static_cast<uint32_t>(utf8.size())) != TextEncoding::Utf8)
        return "well-formed UTF-8 with its signature was not read as UTF-8";
    Lines fromUtf16, fromUtf8;
    std::string problem = DecodeInMemory(utf16, fromUtf16);
    if (problem.empty()) problem = DecodeInMemory(utf8, fromUtf8);
    if (problem.empty() && fromUtf16 != fromUtf8) problem = "UTF-16 and UTF-8 forms of one text gave other lines";
    return problem;
}

TEST(TextFileFuzz, DecodeTextLines)
{
    test::RunFuzz("DecodeTextLines", kMemoryRounds, [](FuzzRound& round) {
        if (round.random.OneIn(4)) return CheckEncodingsAgree(round);
        round.input = Input(round.random, round.random.OneIn(100));
        return CheckDecoding(round.input);
    });
}

// Files around the 4,096-byte reads: the lines from the file are those from its bytes.
TEST(TextFileFuzz, LoadTextLines)
{
    test::ScratchFolder scratch(L"tvx-textfile-fuzz");
    const std::wstring path = scratch / L"text.txt";
    test::RunFuzz("LoadTextLines", kFileRounds, [&path](FuzzRound& round) {
        round.input = Input(round.random, round.random.OneIn(10));
        test::WriteFileBytes(path, round.input);
        LineList list;
        list.Append(L"kept");  // the reader appends to what the list holds
        if (!LoadTextLines(path.c_str(), list)) return std::string("could not read a file that exists");
        Lines fromFile, fromMemory;
        std::string problem = ReadBack(list, fromFile);
        if (problem.empty()) problem = DecodeInMemory(round.input, fromMemory);
        if (!problem.empty()) return problem;
        fromMemory.insert(fromMemory.begin(), L"kept");
        return fromFile == fromMemory ? std::string() : std::string("the file gave other lines than its bytes");
    });
}

}  // namespace
}  // namespace tvx
