#include <gtest/gtest.h>

#include <string>

#include "uninstall/switches.h"

namespace tvx {
namespace {

// Records /wait as "W" and /warning as "!" in the order they were met.
class RecordedEffects final : public SwitchEffects {
public:
    void Wait() override { log += L"W"; }
    void ShowCannotDeleteWarning() override { log += L"!"; }
    std::wstring log;
};

struct Outcome {
    bool setup = false;
    bool uninstall = false;
    bool silent = false;
    bool msi = false;
    bool noExplorer = false;
    std::wstring initText;
    std::wstring effects;
};

// Parses as the entry does: sfxcmd first, then the command line.
Outcome Parse(const wchar_t* sfxcmd, const wchar_t* commandLine)
{
    Options() = RunOptions{};
    RecordedEffects effects;
    Outcome outcome;
    ParseSwitches(true, sfxcmd, outcome.setup, outcome.uninstall, effects);
    ParseSwitches(false, commandLine, outcome.setup, outcome.uninstall, effects);
    const RunOptions& options = Options();
    outcome.silent = options.silent;
    outcome.msi = options.msi;
    outcome.noExplorer = options.noExplorer;
    outcome.initText = options.initText;
    outcome.effects = effects.log;
    return outcome;
}

constexpr wchar_t kProgram[] = L"\"C:\\Program Files\\Talvex\\uninstall.exe\"";

std::wstring CommandLine(const wchar_t* switches)
{
    return std::wstring(kProgram) + L" " + switches;
}

struct ModeCase {
    const wchar_t* sfxcmd;
    const wchar_t* switches;
    bool setup;
    bool uninstall;
    bool silent;
    bool msi;
};

TEST(ParseSwitches, ChoosesTheRunMode)
{
    const ModeCase cases[] = {
        // sfxcmd, command line, setup, uninstall, silent, msi
        {L"", L"", false, true, false, false},
        {L"", L"/S", false, true, true, false},
        {L"", L"-s", false, true, true, false},
        {L"", L"/S1", false, true, true, false},
        {L"", L"/msi", false, true, false, true},
        {L"", L"/msi /S", false, true, true, true},
        {L"", L"/MSIEXEC", false, true, false, true},
        {L"", L"/setup", true, false, false, false},
        {L"", L"-SETUP", true, false, false, false},
        {L"", L"/setupx", true, false, false, false},
        {L"", L"/setup /msi", true, false, false, true},
        {L"", L"/msi /setup /S", true, false, true, true},
        {L"", L"/set", false, false, false, false},
        {L"", L"/Sx", false, false, false, false},
        {L"", L"/", false, false, false, false},
        {L"", L"-", false, false, false, false},
        {L"", L"/unknown", false, false, false, false},
        {L"", L"/noex", false, false, false, false},
        {L"", L"setup S msi", false, true, false, false},
        {L"", L"\"/setup\"", true, false, false, false},
        {L"", L"\"/S\" \"/msi\"", false, true, true, true},
        {L"/setup", L"", false, true, false, false},
        {L"/msi", L"", false, true, false, false},
        {L"/S", L"", false, true, true, false},
        {L"/s /unknown", L"/msi", false, true, true, true},
        {L"/setup", L"/S", false, true, true, false},
        {L"", L"/setup /setup", true, false, false, false},
    };
    for (const auto& c : cases) {
        Outcome outcome = Parse(c.sfxcmd, CommandLine(c.switches).c_str());
        std::wstring where = std::wstring(L"sfxcmd [") + c.sfxcmd + L"] line [" + c.switches + L"]";
        EXPECT_EQ(outcome.setup, c.setup) << where;
        EXPECT_EQ(outcome.uninstall, c.uninstall) << where;
        EXPECT_EQ(outcome.silent, c.silent) << where;
        EXPECT_EQ(outcome.msi, c.msi) << where;
    }
}

TEST(ParseSwitches, SetsTheOptionsOfTheKeywords)
{
    const struct {
        const wchar_t* switches;
        bool noExplorer;
        const wchar_t* initText;
    } cases[] = {
        {L"/noexplorer", true, L""},
        {L"/noex", true, L""},
        {L"/noexplorerXYZ", true, L""},
        {L"-NOEX", true, L""},
        {L"/noe", false, L""},
        {L"/initA1B0", false, L"A1B0"},
        {L"/INITa b", false, L"a"},
        {L"\"/initA B\"", false, L"A B"},
        {L"/init\"a \"\"b\"", false, L"a \"b"},
        {L"/init", false, L""},
        {L"/initx /inity", false, L"y"},
        {L"/init0123456789012345678901234567890123456789", false,
         L"012345678901234567890123456789012345678"},
        {L"/ini", false, L""},
    };
    for (const auto& c : cases) {
        Outcome outcome = Parse(L"", CommandLine(c.switches).c_str());
        EXPECT_EQ(outcome.noExplorer, c.noExplorer) << c.switches;
        EXPECT_EQ(outcome.initText, c.initText) << c.switches;
        EXPECT_FALSE(outcome.uninstall) << c.switches;
    }
}

TEST(ParseSwitches, ActsOnWaitAndWarningInTheOrderMet)
{
    const struct {
        const wchar_t* sfxcmd;
        const wchar_t* switches;
        const wchar_t* effects;
    } cases[] = {
        {L"", L"/wait", L"W"},
        {L"", L"/warning", L"!"},
        {L"", L"/warning /wait", L"!W"},
        {L"", L"/wait /S /warning /wait", L"W!W"},
        {L"", L"-WAITING /warningx", L"W!"},
        {L"", L"/warn /wai /wa", L""},
        {L"/wait /warning", L"", L""},  // from sfxcmd only /S acts
    };
    for (const auto& c : cases) {
        Outcome outcome = Parse(c.sfxcmd, CommandLine(c.switches).c_str());
        EXPECT_EQ(outcome.effects, c.effects) << c.switches;
    }
}

TEST(ParseSwitches, EachCallWritesUninstallModeButSetupModeOnlyRises)
{
    Options() = RunOptions{};
    RecordedEffects effects;
    bool setup = true;
    bool uninstall = true;
    ParseSwitches(true, L"", setup, uninstall, effects);
    EXPECT_TRUE(setup);
    EXPECT_FALSE(uninstall);  // a switch text from the environment never selects uninstall
    ParseSwitches(false, L"x.exe /wait", setup, uninstall, effects);
    EXPECT_TRUE(setup);
    EXPECT_FALSE(uninstall);
    ParseSwitches(false, L"x.exe", setup, uninstall, effects);
    EXPECT_TRUE(uninstall);
}

TEST(ParseSwitches, TheProgramPathCountsForNothing)
{
    EXPECT_TRUE(Parse(L"", L"uninstall.exe").uninstall);
    EXPECT_TRUE(Parse(L"", L"\"C:\\My Programs\\uninstall.exe\"").uninstall);
    // A program path that starts with a switch character is read like any other token.
    EXPECT_FALSE(Parse(L"", L"/opt/uninstall.exe").uninstall);
}

}  // namespace
}  // namespace tvx
