// The two small readers of outside text behind the setup dialog: the /init text that presets
// its boxes, and the $DIALOG:SIZE value of a language file. Random and well-formed texts:
// nothing outside the record or the two numbers is ever written, and what is written follows
// the rules of the text.
#include <gtest/gtest.h>

#include <algorithm>
#include <climits>
#include <cstring>
#include <string>
#include <vector>

#include "dialogs/setup_dialog.h"
#include "language/dialog_localization.h"
#include "support/fuzz.h"

namespace tvx::test {
namespace {

// ApplyInitText takes 100,000 texts a run: most random, the rest well-formed with a known result.
constexpr uint32_t kRandomTextRounds = 75000;
constexpr uint32_t kWellFormedRounds = 25000;
constexpr uint32_t kScaleRounds = 100000;
constexpr size_t kInitTextChars = 39;  // the longest /init text a command line hands over
constexpr char kFlagLetters[] = "DMPSCI";  // in record order after the 20 associate slots
constexpr size_t kFlagCount = 6;
constexpr size_t kRecordBytes = sizeof(IntegrationOptions);
constexpr uint8_t kGuardByte = 0xA5;
constexpr size_t kGuardBytes = 16;

bool IsLetterOf(wchar_t c, char letter) { return c == static_cast<wchar_t>(letter) || c == static_cast<wchar_t>(letter + 32); }
bool IsDigit(wchar_t c) { return c >= L'0' && c <= L'9'; }

// A record between guard bytes, every choice starting at a value no rule writes.
struct FramedRecord {
    uint8_t bytes[kGuardBytes + kRecordBytes + kGuardBytes];
    explicit FramedRecord(Random& random)
    {
        std::memset(bytes, kGuardByte, sizeof bytes);
        for (size_t i = 0; i < kRecordBytes; ++i) bytes[kGuardBytes + i] = static_cast<uint8_t>(2 + random.Below(250));
    }
    IntegrationOptions& Record() { return *reinterpret_cast<IntegrationOptions*>(bytes + kGuardBytes); }
    uint8_t Choice(size_t i) const { return bytes[kGuardBytes + i]; }
    bool GuardsIntact() const
    {
        for (size_t i = 0; i < kGuardBytes; ++i)
            if (bytes[i] != kGuardByte || bytes[kGuardBytes + kRecordBytes + i] != kGuardByte) return false;
        return true;
    }
};

// The longest run of digits behind an A anywhere in the text: slots past it cannot change.
size_t LongestDigitRunAfterA(const std::wstring& text)
{
    size_t longest = 0;
    for (size_t i = 0; i < text.size(); ++i) {
        if (!IsLetterOf(text[i], 'A')) continue;
        size_t run = 0;
        while (IsDigit(text[i + 1 + run])) ++run;
        longest = std::max(longest, run);
    }
    return longest;
}

std::string Letter(size_t choice)
{
    return choice < kAssociateSlots ? "associate slot " + std::to_string(choice) : std::string(1, kFlagLetters[choice - kAssociateSlots]);
}

TEST(InitTextFuzz, ChangesOnlyTheChoicesOfLettersInTheText)
{
    RunFuzz("InitText", kRandomTextRounds, [](FuzzRound& round) {
        std::wstring text = RandomWideText(round.random, {L"A", L"a", L"1", L"0", L"11", L"D1", L"s0", L"\x0131\x0031", L"\x017F\x0031"}, 24);
        text = std::wstring(text.c_str()).substr(0, kInitTextChars);
        round.input = WideBytes(text);
        FramedRecord framed(round.random);
        const FramedRecord before = framed;
        ApplyInitText(text.c_str(), framed.Record());
        if (!framed.GuardsIntact()) return std::string("wrote outside the record");
        const size_t run = LongestDigitRunAfterA(text);
        for (size_t i = 0; i < kRecordBytes; ++i) {
            if (framed.Choice(i) == before.Choice(i)) continue;
            if (framed.Choice(i) > 1) return "set " + Letter(i) + " to " + std::to_string(framed.Choice(i));
            bool named = i < kAssociateSlots ? i < run : text.find_first_of(std::wstring{static_cast<wchar_t>(kFlagLetters[i - kAssociateSlots]), static_cast<wchar_t>(kFlagLetters[i - kAssociateSlots] + 32)}) != std::wstring::npos;
            if (!named) return "changed " + Letter(i) + ", which the text does not name";
        }
        return std::string();
    });
}

// A text of well-formed pairs, with the record it must leave: later pairs win.
std::wstring WellFormedText(Random& random, uint8_t (&expected)[kRecordBytes], bool (&set)[kRecordBytes])
{
    std::wstring text;
    while (text.size() < 30 && !random.OneIn(8)) {
        uint32_t kind = random.Below(8);
        wchar_t letter = kind < 6 ? static_cast<wchar_t>(kFlagLetters[kind]) : kind == 6 ? L'A' : static_cast<wchar_t>(L'B' + random.Below(2) * 4);
        if (random.OneIn(2)) letter = static_cast<wchar_t>(letter + 32);
        text += letter;
        if (kind == 6) {
            for (size_t slot = 0, digits = random.Below(kAssociateSlots + 1); slot < digits; ++slot) {
                wchar_t digit = static_cast<wchar_t>(L'0' + random.Below(10));
                text += digit;
                expected[slot] = digit == L'1';
                set[slot] = true;
            }
            continue;
        }
        // The character after a letter counts as its digit, whatever it is.
        wchar_t digit = random.OneIn(2) ? L'1' : static_cast<wchar_t>(1 + random.Below(0xFFFE));
        text += digit;
        if (kind < 6) {
            expected[kAssociateSlots + kind] = digit == L'1';
            set[kAssociateSlots + kind] = true;
        }
    }
    // A letter at the end without its character changes nothing.
    if (random.OneIn(4)) text += static_cast<wchar_t>(kFlagLetters[random.Below(kFlagCount)]);
    return text;
}

TEST(InitTextFuzz, WellFormedPairsSetTheirChoices)
{
    RunFuzz("InitPairs", kWellFormedRounds, [](FuzzRound& round) {
        uint8_t expected[kRecordBytes];
        bool set[kRecordBytes] = {};
        std::wstring text = WellFormedText(round.random, expected, set);
        round.input = WideBytes(text);
        FramedRecord framed(round.random);
        const FramedRecord before = framed;
        ApplyInitText(text.c_str(), framed.Record());
        if (!framed.GuardsIntact()) return std::string("wrote outside the record");
        for (size_t i = 0; i < kRecordBytes; ++i) {
            uint8_t wanted = set[i] ? expected[i] : before.Choice(i);
            if (framed.Choice(i) != wanted)
                return Letter(i) + " is " + std::to_string(framed.Choice(i)) + ", not " + std::to_string(wanted);
        }
        return std::string();
    });
}

// k times 2^64 plus small, in decimal: a number that a 64-bit reader wrapping around would
// take for small.
std::string WrappingDecimal(uint32_t k, uint32_t small)
{
    std::string sum = std::to_string(small);
    const std::string power = "18446744073709551616";
    for (uint32_t n = 0; n < k; ++n) {
        std::string next;
        int carry = 0;
        for (size_t i = 0; i < std::max(sum.size(), power.size()) || carry; ++i) {
            int digit = carry + (i < sum.size() ? sum[sum.size() - 1 - i] - '0' : 0) +
                        (i < power.size() ? power[power.size() - 1 - i] - '0' : 0);
            next.insert(next.begin(), static_cast<char>('0' + digit % 10));
            carry = digit / 10;
        }
        sum = next;
    }
    return sum;
}

std::string RandomNumber(Random& random)
{
    switch (random.Below(6)) {
    case 0: return std::to_string(random.Below(300));
    case 1: return "100";
    case 2: return std::to_string(INT_MAX - 2 + static_cast<int64_t>(random.Below(5)));
    case 3: return std::string(random.Below(4), '0') + std::to_string(random.Next() >> random.Below(64));
    case 4: {
        static const std::vector<std::string> wrapping = [] {
            std::vector<std::string> numbers;
            for (uint32_t k = 1; k <= 3; ++k)
                for (uint32_t small : {0u, 1u, 99u, 100u, 150u, 0x7FFFFFFFu, 0x80000000u}) numbers.push_back(WrappingDecimal(k, small));
            return numbers;
        }();
        return random.Pick(wrapping);
    }
    default: return "-" + std::to_string(random.Below(200));
    }
}

// The numbers as the value means them, or -1 where one does not fit an int.
int64_t ValueOf(const std::string& text)
{
    size_t i = text[0] == '-' ? 1 : 0;
    size_t digits = text.find_first_not_of("0123456789", i);
    std::string number = text.substr(i, digits == std::string::npos ? std::string::npos : digits - i);
    number.erase(0, std::min(number.find_first_not_of('0'), number.size()));
    if (number.size() > 10) return -1;
    int64_t value = number.empty() ? 0 : std::stoll(number);
    if (i == 1) value = -value;
    return value > INT_MAX ? -1 : value;
}

TEST(DialogScaleFuzz, ValidOnlyForTwoPositiveIntsThatAreNotBoth100)
{
    RunFuzz("DialogScale", kScaleRounds, [](FuzzRound& round) {
        Random& random = round.random;
        std::string width = RandomNumber(random), height = RandomNumber(random);
        std::string tail = random.OneIn(4) ? "x%" : "";
        std::string text = width + tail + (random.OneIn(16) ? "" : "*") + height + tail;
        std::wstring wide(text.begin(), text.end());
        if (random.OneIn(4)) wide = RandomWideText(random, {L"*", L"100", L"-", L"0", L"99999999999"}, 8).c_str();
        round.input = WideBytes(wide);
        size_t star = wide.find(L'*');
        std::string narrow;
        for (wchar_t c : wide) narrow += c < 0x80 ? static_cast<char>(c) : '?';
        int64_t w = ValueOf(narrow), h = star == std::wstring::npos ? 0 : ValueOf(narrow.substr(star + 1));
        bool valid = star != std::wstring::npos && w > 0 && h > 0 && !(w == 100 && h == 100);

        int widthPercent = -12345, heightPercent = -12345;
        bool result = ParseDialogScale(wide.c_str(), widthPercent, heightPercent);
        if (result != valid) return std::string(valid ? "refused a valid scale" : "took an invalid scale");
        if (!valid && (widthPercent != -12345 || heightPercent != -12345)) return std::string("wrote its outputs for an invalid scale");
        if (valid && (widthPercent != w || heightPercent != h)) return std::string("read other numbers");
        return std::string();
    });
}

}  // namespace
}  // namespace tvx::test
