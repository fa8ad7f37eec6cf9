// The switch parser apart from the switches' effects (a stand-in that only counts them), fed
// with real command lines, mutated, and with command lines built of known switches, whose
// run mode and options follow from what was put in.

#include <gtest/gtest.h>

#include <cwchar>
#include <iterator>
#include <string>
#include <vector>

#include "support/command_lines.h"
#include "support/fence.h"
#include "support/fuzz.h"
#include "uninstall/switches.h"

namespace tvx {
namespace {

using test::FuzzRound;

constexpr uint32_t kRounds = 100000;
constexpr size_t kUsualLength = 200;
constexpr size_t kMaxTextBytes = 256 * 1024;
constexpr size_t kInitTextCapacity = std::size(RunOptions{}.initText);

class CountedEffects final : public SwitchEffects {
public:
    void Wait() override { ++waits; }
    void ShowCannotDeleteWarning() override { ++warnings; }
    unsigned waits = 0;
    unsigned warnings = 0;
};

const std::vector<std::string> kMarkers = {
    std::string("/\0", 2), std::string("-\0", 2), std::string("s\0", 2), std::string("S\0", 2),
    std::string(" \0", 2), std::string("\"\0", 2), std::string("/\0i\0n\0i\0t\0", 10),
    std::string("/\0w\0a\0i\0t\0", 10), std::string("-\0m\0s\0i\0", 8), std::string("/\0s\0e\0t\0u\0p\0", 12)};

const wchar_t* Fenced(const std::wstring& text)
{
    static test::FencedMemory fence(kMaxTextBytes);
    return fence.Place(text);
}

unsigned CountTokens(const wchar_t* text)
{
    unsigned count = 0;
    while ((text = NextToken(text, nullptr, 0)) != nullptr) ++count;
    return count;
}

bool TerminatedWithin(const wchar_t* text, size_t capacity)
{
    return std::wmemchr(text, L'\0', capacity) != nullptr;
}

// Every text field stays terminated within its array, and nothing beyond initText is touched.
std::string CheckOptions(const RunOptions& options)
{
    if (!TerminatedWithin(options.initText, kInitTextCapacity)) return "initText left without a terminator";
    if (options.exitCode != 0 || options.folderToOpen[0] != L'\0') return "wrote past initText";
    return "";
}

// What a command line built of known switches must give.
struct Expected {
    bool setup = false;
    bool uninstall = true;
    bool silent = false;
    bool msi = false;
    bool noExplorer = false;
    std::wstring initText;
    unsigned waits = 0;
    unsigned warnings = 0;
};

struct KnownSwitch {
    const wchar_t* text;
    void (*apply)(Expected&);
};

// The counted switches rule uninstall mode out; /S and /msi in all their spellings do not.
const KnownSwitch kSwitches[] = {
    {L"/S", [](Expected& e) { e.silent = true; }},
    {L"-s", [](Expected& e) { e.silent = true; }},
    {L"/S1", [](Expected& e) { e.silent = true; }},
    {L"/msi", [](Expected& e) { e.msi = true; }},
    {L"-MSIEXEC", [](Expected& e) { e.msi = true; }},
    {L"/setup", [](Expected& e) { e.setup = true, e.uninstall = false; }},
    {L"-SETUPX", [](Expected& e) { e.setup = true, e.uninstall = false; }},
    {L"/noexplorer", [](Expected& e) { e.noExplorer = true, e.uninstall = false; }},
    {L"/NoEx", [](Expected& e) { e.noExplorer = true, e.uninstall = false; }},
    {L"/wait", [](Expected& e) { ++e.waits, e.uninstall = false; }},
    {L"-warning", [](Expected& e) { ++e.warnings, e.uninstall = false; }},
    {L"/Sx", [](Expected& e) { e.uninstall = false; }},
    {L"/set", [](Expected& e) { e.uninstall = false; }},
    {L"/", [](Expected& e) { e.uninstall = false; }},
    {L"-", [](Expected& e) { e.uninstall = false; }},
    {L"file.tvx", [](Expected&) {}},
};

// "/init" with random text, quoted when it holds blanks or quotes.
void AddInitSwitch(FuzzRound& round, std::wstring& text, Expected& expected)
{
    std::wstring init = test::RandomWideText(round.random, {L"A1", L"B0", L"zip=1"}, 30);
    init.resize(std::wcslen(init.c_str()));
    bool quoted = init.find_first_of(L" \t\"") != std::wstring::npos;
    text += quoted ? L" \"/init" : L" /init";
    for (wchar_t c : init) {
        text.push_back(c);
        if (c == L'"') text.push_back(c);
    }
    if (quoted) text.push_back(L'"');
    expected.initText = init.substr(0, kInitTextCapacity - 1);
    expected.uninstall = false;
}

std::string Compare(const Expected& e, bool setup, bool uninstall, const CountedEffects& effects)
{
    const RunOptions& o = Options();
    if (setup != e.setup) return "setup mode not as the switches say";
    if (uninstall != e.uninstall) return "uninstall mode not as the switches say";
    if (o.silent != e.silent || o.msi != e.msi || o.noExplorer != e.noExplorer) return "a flag not as the switches say";
    if (o.initText != e.initText) return "initText not as the last /init says";
    if (effects.waits != e.waits || effects.warnings != e.warnings) return "effects not as the switches say";
    return "";
}

// The program's path and known switches; from sfxcmd only the silent switch counts.
std::string KnownSwitches(FuzzRound& round)
{
    std::wstring text = L"\"C:\\Program Files\\Talvex\\uninstall.exe\"";
    Expected expected;
    for (uint32_t n = round.random.Below(5); n > 0; --n) {
        if (round.random.OneIn(8)) {
            AddInitSwitch(round, text, expected);
            continue;
        }
        const KnownSwitch& known = kSwitches[round.random.Below(std::size(kSwitches))];
        text += round.random.OneIn(4) ? L"\t" : L" ";
        text += known.text;
        known.apply(expected);
    }
    round.input = test::WideBytes(text);
    bool fromEnvironment = round.random.OneIn(4);
    if (fromEnvironment) {
        bool silent = expected.silent;
        expected = Expected{};
        expected.uninstall = false;
        expected.silent = silent;
    }
    Options() = RunOptions{};
    CountedEffects effects;
    bool setup = false, uninstall = true;
    ParseSwitches(fromEnvironment, Fenced(text), setup, uninstall, effects);
    std::string problem = CheckOptions(Options());
    return problem.empty() ? Compare(expected, setup, uninstall, effects) : problem;
}

// Anything at all: no crash, the options stay terminated, effects no more than tokens.
std::string MutatedSwitches(FuzzRound& round)
{
    std::string bytes = test::WideBytes(round.random.Pick(test::RealCommandLines()));
    test::Mutate(round.random, bytes, kMarkers);
    if (!round.random.OneIn(50) && bytes.size() > 2 * kUsualLength) bytes.resize(2 * kUsualLength);
    std::wstring text = test::BytesToWide(bytes).c_str();
    round.input = test::WideBytes(text);
    const wchar_t* fenced = Fenced(text);
    bool fromEnvironment = round.random.OneIn(4);
    Options() = RunOptions{};
    CountedEffects effects;
    bool setup = false, uninstall = !fromEnvironment;
    ParseSwitches(fromEnvironment, fenced, setup, uninstall, effects);
    std::string problem = CheckOptions(Options());
    if (!problem.empty()) return problem;
    if (effects.waits + effects.warnings > CountTokens(fenced)) return std::string("more effects than tokens");
    if (fromEnvironment && (setup || uninstall || effects.waits + effects.warnings != 0))
        return std::string("a switch from sfxcmd other than /S had an effect");
    if (setup && uninstall) return std::string("both setup and uninstall mode");
    return std::string();
}

TEST(SwitchesFuzz, ParseSwitches)
{
    test::RunFuzz("ParseSwitches", kRounds, [](FuzzRound& round) {
        return round.random.OneIn(2) ? KnownSwitches(round) : MutatedSwitches(round);
    });
    Options() = RunOptions{};
}

}  // namespace
}  // namespace tvx
