// The command-line tokenizer fed with real command lines of the program, mutated, and with
// lines quoted from random tokens: every token stays inside its buffer and terminated, each
// call moves on, and quoted tokens come back as they were.

#include <gtest/gtest.h>

#include <algorithm>
#include <cwchar>
#include <string>
#include <utility>
#include <vector>

#include "common/strings.h"
#include "support/command_lines.h"
#include "support/fence.h"
#include "support/fuzz.h"

namespace tvx {
namespace {

using test::FuzzRound;
using test::GuardedBuffer;

constexpr uint32_t kRounds = 100000;
constexpr size_t kUsualCommandLine = 300;
constexpr size_t kLongestCommandLine = 32767;
constexpr size_t kMaxTextBytes = 2 * (kLongestCommandLine + 1);

const std::vector<std::wstring> kTokenPieces = {L"/S",  L"/setup", L"-msi", L"/init", L"\"",
                                                 L"\"\"", L"C:\\Program Files\\Talvex", L" "};

const std::vector<std::string> kMarkers = {
    std::string("\"\0", 2), std::string("\"\0\"\0", 4), std::string(" \0", 2), std::string("\t\0", 2),
    std::string("/\0", 2), std::string("-\0", 2), std::string("\0\0", 2)};

// Mostly of ordinary length; now and then as long as the system lets a command line be.
std::wstring MutatedCommandLine(test::Random& random)
{
    std::string bytes = test::WideBytes(random.Pick(test::RealCommandLines()));
    test::Mutate(random, bytes, kMarkers);
    bytes.resize(std::min(bytes.size(), 2 * (random.OneIn(50) ? kLongestCommandLine : kUsualCommandLine)));
    return test::BytesToWide(bytes).c_str();
}

const wchar_t* Fenced(const std::wstring& text)
{
    static test::FencedMemory fence(kMaxTextBytes);
    return fence.Place(text);
}

size_t Capacity(test::Random& random)
{
    return random.OneIn(8) ? kLineCapacity : random.Below(24);
}

// Appends a token in the tokenizer's own syntax: quotes doubled, and the whole in quotes
// when it holds a blank or now and then anyway. A token of quotes alone is never put in
// quotes: its doubled quotes would run into the outer ones.
void AppendQuoted(test::Random& random, const std::wstring& token, std::wstring& text)
{
    bool blank = token.find_first_of(L" \t") != std::wstring::npos;
    bool onlyQuotes = token.find_first_not_of(L'"') == std::wstring::npos;
    bool quoted = blank || (!onlyQuotes && random.OneIn(3));
    if (quoted) text.push_back(L'"');
    for (wchar_t c : token) {
        text.push_back(c);
        if (c == L'"') text.push_back(c);
    }
    if (quoted) text.push_back(L'"');
}

// No token found: the buffer is left as it was.
std::string Untouched(GuardedBuffer<wchar_t>& token)
{
    std::string problem = token.CheckGuards();
    for (size_t i = 0; problem.empty() && i < token.Capacity(); ++i)
        if (token.Data()[i] != 0x5A5A) problem = "wrote a token although none was left";
    return problem;
}

// Walks the text token by token, as the switch parser does, with a random capacity for each.
std::string WalkTokens(FuzzRound& round, const wchar_t* text)
{
    const wchar_t* end = text + std::wcslen(text);
    for (const wchar_t* position = text;;) {
        size_t capacity = Capacity(round.random);
        GuardedBuffer<wchar_t> token(capacity);
        const wchar_t* next = NextToken(position, token.Data(), capacity);
        if (next == nullptr) {
            if (std::wstring(position).find_first_not_of(L" \t") != std::wstring::npos)
                return "found no token in a text that has one";
            return Untouched(token);
        }
        std::string problem = capacity == 0 ? token.CheckGuards() : token.Check();
        if (!problem.empty()) return problem;
        if (next <= position || next > end) return "did not move on within the text";
        if (*next != L'\0' && !IsBlank(*next)) return "stopped at neither a blank nor the end";
        if (NextToken(position, nullptr, 0) != next) return "skipping a token ends elsewhere than reading it";
        position = next;
    }
}

// Random tokens, quoted and joined by blanks, give back the same tokens, cut to the capacity.
std::string RoundTrip(FuzzRound& round)
{
    std::vector<std::wstring> tokens;
    std::wstring text;
    text.reserve(400);
    for (uint32_t n = round.random.Below(6) + 1; n > 0; --n) {
        std::wstring token = test::RandomWideText(round.random, kTokenPieces, 8);
        token.resize(std::wcslen(token.c_str()));  // the text ends at the first NUL
        if (token.empty()) continue;
        text += round.random.OneIn(4) ? L" \t " : L" ";
        AppendQuoted(round.random, token, text);
        tokens.push_back(std::move(token));
    }
    round.input = test::WideBytes(text);
    const wchar_t* position = Fenced(text);
    size_t capacity = round.random.OneIn(2) ? kLineCapacity : round.random.Below(12) + 1;
    GuardedBuffer<wchar_t> token(capacity);
    for (const std::wstring& expected : tokens) {
        position = NextToken(position, token.Data(), capacity);
        if (position == nullptr) return std::string("lost a token");
        std::string problem = token.Check();
        if (!problem.empty()) return problem;
        if (token.Data() != expected.substr(0, capacity - 1)) return std::string("a quoted token came back changed");
    }
    if (NextToken(position, token.Data(), capacity) != nullptr) return std::string("found a token too many");
    return std::string();
}

TEST(StringsFuzz, NextToken)
{
    test::RunFuzz("NextToken", kRounds, [](FuzzRound& round) {
        if (round.random.OneIn(2)) return RoundTrip(round);
        std::wstring text = MutatedCommandLine(round.random);
        round.input = test::WideBytes(text);
        return WalkTokens(round, Fenced(text));
    });
}

}  // namespace
}  // namespace tvx
