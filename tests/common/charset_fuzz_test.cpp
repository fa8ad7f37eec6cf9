// The converters at the program's edges fed with pieces of the shipped translations and
// random bytes: the output stays inside its buffer and terminated, a conversion the system
// cut short is never reported as a whole one, and a cut conversion is the start of the whole
// one.
#include <gtest/gtest.h>

#include "common/charset.h"
#include "support/fuzz.h"
#include "support/scratch.h"

namespace tvx {
namespace {

using test::FuzzRound;
using test::GuardedBuffer;

constexpr uint32_t kRounds = 100000;
constexpr size_t kWideTextBytes = 1024;  // 40 parts of at most 4 characters, 2 bytes each

std::string Translations()
{
    static const std::string bytes =
        test::ReadSourceFile(test::SourceDir() + L"\\src\\resources\\lang\\hebrew\\uninstall.lng") +
        test::ReadSourceFile(test::SourceDir() + L"\\src\\resources\\lang\\english\\uninstall.lng");
    return bytes;
}

// A piece of a real file, mutated, as a NUL-terminated byte string.
std::string NarrowInput(FuzzRound& round)
{
    std::string input = test::Slice(round.random, Translations(), 600, false);
    test::Mutate(round.random, input, {"\xEF\xBB\xBF", "\xED\xA0\x80", "\xF4\x90\x80\x80", "\xC0", "\r\n"});
    return input;
}

size_t SmallCapacity(FuzzRound& round, size_t length)
{
    return round.random.Below(length + 8) + 1;
}

// The cut output against the whole one: a true result must be the whole text; any result
// must be the start of it.
template <typename Char>
std::string CompareWithWhole(bool result, const Char* cut, const Char* whole, bool wholeResult)
{
    std::basic_string<Char> part(cut), all(whole);
    if (result && (!wholeResult || part != all)) return "reported a cut conversion as complete";
    if (all.compare(0, part.size(), part) != 0) return "cut output is not the start of the whole output";
    return "";
}

TEST(CharsetFuzz, AnsiToWide)
{
    test::RunFuzz("AnsiToWide", kRounds, [](FuzzRound& round) {
        round.input = NarrowInput(round);
        GuardedBuffer<wchar_t> whole(round.input.size() + 1);
        GuardedBuffer<wchar_t> cut(SmallCapacity(round, round.input.size()));
        bool result = AnsiToWide(round.input.c_str(), cut.Data(), cut.Capacity());
        std::string problem = cut.Check();
        if (!problem.empty()) return problem;
        bool wholeResult = AnsiToWide(round.input.c_str(), whole.Data(), whole.Capacity());
        return CompareWithWhole(result, cut.Data(), whole.Data(), wholeResult);
    });
}

TEST(CharsetFuzz, WideToAnsi)
{
    static GuardedBuffer<char> whole(kWideTextBytes);
    test::RunFuzz("WideToAnsi", kRounds, [](FuzzRound& round) {
        std::wstring text = test::RandomWideText(round.random, {L"abc", L"\x05E9\x05DC\x05D5\x05DD", L"\xD83D\xDE00"}, 40);
        text = text.c_str();  // the converter reads up to the first NUL
        round.input = test::WideBytes(text);
        GuardedBuffer<char> cut(SmallCapacity(round, text.size() * 2));
        bool result = WideToAnsi(text.c_str(), cut.Data(), cut.Capacity());
        std::string problem = cut.Check();
        if (!problem.empty()) return problem;
        bool wholeResult = WideToAnsi(text.c_str(), whole.Data(), whole.Capacity());
        // A double-byte code page may stop a cut before a lead byte's partner: only the
        // completeness claim is compared for ANSI output.
        if (result && (!wholeResult || std::string(cut.Data()) != whole.Data()))
            return std::string("reported a cut conversion as complete");
        return std::string();
    });
}

TEST(CharsetFuzz, Utf8ToWide)
{
    test::RunFuzz("Utf8ToWide", kRounds, [](FuzzRound& round) {
        round.input = NarrowInput(round);
        GuardedBuffer<wchar_t> whole(round.input.size() + 1);
        const auto* bytes = reinterpret_cast<const unsigned char*>(round.input.c_str());
        GuardedBuffer<wchar_t> cut(SmallCapacity(round, round.input.size()));
        bool result = Utf8ToWide(bytes, cut.Data(), cut.Capacity());
        std::string problem = cut.Check();
        if (!problem.empty()) return problem;
        bool wholeResult = Utf8ToWide(bytes, whole.Data(), whole.Capacity());
        problem = whole.Check();
        if (!problem.empty()) return problem;
        // Valid input converts whole given room for every byte.
        if (IsValidUtf8(bytes, round.input.size()) && !wholeResult &&
            round.input.find_first_of("\xF5\xF6\xF7\xF8\xF9\xFA\xFB\xFC\xFD\xF4") == std::string::npos)
            return std::string("valid four-byte-or-shorter input failed to convert");
        // Running out of room ends the conversion with the result so far, so only a failure
        // met before the cut must be met by the whole conversion too.
        if (!result && wholeResult) return std::string("failed on a piece that converts whole");
        return CompareWithWhole(false, cut.Data(), whole.Data(), wholeResult);
    });
}

TEST(CharsetFuzz, DecimalNumbersRoundTrip)
{
    test::RunFuzz("Int64ToDecimal", kRounds, [](FuzzRound& round) {
        int64_t value = static_cast<int64_t>(round.random.Next() >> round.random.Below(64));
        if (round.random.OneIn(2)) value = -value;
        round.input = std::to_string(value);
        GuardedBuffer<wchar_t> text(round.random.Below(24) + 1);
        Int64ToDecimal(value, text.Data(), text.Capacity());
        std::string problem = text.Check();
        if (!problem.empty()) return problem;
        std::wstring expected(round.input.begin(), round.input.end());
        if (text.Capacity() > expected.size() && DecimalToInt64(text.Data()) != value)
            return std::string("did not read back the number it wrote");
        return std::string();
    });
}

}  // namespace
}  // namespace tvx
