// The INI reader fed with a Talvex.ini as the program saves it, cut and mutated: the line
// parser in memory, and whole files in UTF-16 and in the ANSI code page through the load,
// a save and a second load. Whatever the input, the program reads back exactly what it saved.
#include <gtest/gtest.h>

#include <cwchar>
#include <string>
#include <vector>

#include "common/errors.h"
#include "integration/integration_options.h"
#include "settings/ini_settings.h"
#include "settings/settings_store.h"
#include "settings_fixture.h"
#include "support/fuzz.h"
#include "support/scratch.h"

namespace tvx::test {
namespace {

constexpr uint32_t kLineRounds = 100000;
constexpr uint32_t kFileRounds = 10000;
constexpr size_t kSliceBytes = 250;

std::string Ansi(const std::wstring& text)
{
    int size = WideCharToMultiByte(CP_ACP, 0, text.data(), static_cast<int>(text.size()), nullptr, 0, nullptr, nullptr);
    std::string bytes(size, '\0');
    WideCharToMultiByte(CP_ACP, 0, text.data(), static_cast<int>(text.size()), bytes.data(), size, nullptr, nullptr);
    return bytes;
}

// The file the program writes after a setup run with the user's own additions: numbers,
// strings with blanks, quotes and letters outside the code page, a kept binary value.
std::string SavedIni()
{
    RegistrySandbox sandbox;
    IniFolders folders(L"tvx-ini-fuzz-seed");
    WriteFileBytes(folders.ProgramIni(), "");
    folders.Reload();
    IntegrationOptions options{};
    for (size_t i = 0; i < kArchiveTypeCount; i += 2) options.associate[i] = 1;
    options.desktop = options.shellExt = 1;
    SaveIntegrationOptions(options);
    Settings().WriteUserString(L"General", L"LanguageFolder", L"C:\\Program Files\\Talvex\\Lang");
    Settings().WriteUserString(L"Setup\\Menu", L"Title", L" \"Talvex\" \x05D0\x05E8\x05DB\x05D9\x05D5\x05DF ");
    Settings().WriteString(HKEY_LOCAL_MACHINE, L"", L"exe32", L"C:\\T\\Talvex.exe");
    Ini().Set(L"HKCU\\Profiles\\0\\Data", L"00ff10a7", Binary);
    EXPECT_TRUE(Ini().Save());
    return ReadFileBytes(folders.ProgramIni());
}

const std::string& SavedBytes()
{
    static const std::string bytes = SavedIni();
    return bytes;
}

// The saved file's text, without its signature.
const std::wstring& SavedText()
{
    static const std::wstring text = BytesToWide(SavedBytes().substr(2));
    return text;
}

std::string Escaped(const std::wstring& text) { return testing::PrintToString(WideBytes(text)); }

// What a line must give by the rules of the file format, against what the parser gave.
std::string CheckParsedLine(const wchar_t* line, bool isEntry, const IniLine& parsed)
{
    const wchar_t* equals = wcschr(line, L'=');
    const wchar_t first = line[0];
    bool wanted = ((first >= L'A' && first <= L'Z') || (first >= L'a' && first <= L'z')) && equals != nullptr;
    if (isEntry != wanted) return isEntry ? "took a line for an entry" : "missed an entry";
    if (!isEntry) return "";
    const wchar_t* end = line + wcslen(line);
    if (parsed.name != line || parsed.name + parsed.nameLength != equals) return "name is not the text before the first =";
    if (parsed.value <= equals || parsed.value > end || parsed.valueLength > static_cast<size_t>(end - parsed.value))
        return "value lies outside the line";
    std::wstring after(equals + 1);
    IniValueKind kind = after[0] == L'"' ? Quoted : after.compare(0, 4, L"bin:") == 0 ? Binary : Plain;
    std::wstring value = kind == Quoted ? after.substr(1) : kind == Binary ? after.substr(4) : after;
    if (kind == Quoted && !value.empty() && value.back() == L'"') value.pop_back();
    if (parsed.kind != kind) return "kind " + std::to_string(parsed.kind) + " instead of " + std::to_string(kind);
    if (std::wstring(parsed.value, parsed.valueLength) != value) return "value is not the text after its marks";
    return "";
}

TEST(IniFuzz, ParsesLinesWithinTheirText)
{
    ASSERT_GT(SavedText().size(), 200u);
    RunFuzz("IniLine", kLineRounds, [](FuzzRound& round) {
        std::wstring line = BytesToWide(Slice(round.random, WideBytes(SavedText()), 160, true));
        if (round.random.OneIn(2)) line += RandomWideText(round.random, {L"=", L"\"", L"bin:", L"Global\\"}, 8);
        if (round.random.OneIn(3)) line.insert(0, 1, static_cast<wchar_t>(round.random.OneIn(2) ? 'A' + round.random.Below(58) : round.random.Below(0x10000)));
        line = line.substr(0, line.find_first_of(L"\r\n"));
        line = line.c_str();
        round.input = WideBytes(line);
        IniLine parsed;
        bool isEntry = ParseIniLine(line.c_str(), parsed);
        return CheckParsedLine(line.c_str(), isEntry, parsed);
    });
}

// One entry of a saved file.
struct SavedEntry {
    std::wstring name;
    std::wstring value;
};

// The lines of a file the program wrote: signature, sorted entries, each fully marked.
std::string ReadSavedEntries(const std::string& bytes, std::vector<SavedEntry>& entries)
{
    if (bytes.compare(0, 2, "\xFF\xFE") != 0 || bytes.size() % 2 != 0) return "saved without its signature or whole units";
    std::wstring text = BytesToWide(bytes.substr(2));
    for (size_t start = 0; start < text.size();) {
        size_t end = text.find(L"\r\n", start);
        if (end == std::wstring::npos) return "saved a line without its line end";
        std::wstring line = text.substr(start, end - start);
        start = end + 2;
        size_t equals = line.find(L'=');
        if (equals == std::wstring::npos || line.find(L'\0') != std::wstring::npos) return "saved a line that is no entry: " + Escaped(line);
        std::wstring name = line.substr(0, equals), value = line.substr(equals + 1);
        if (!entries.empty() && name < entries.back().name) return "saved the entries out of order at " + Escaped(name);
        if (value[0] == L'"') {
            if (value.size() < 2 || value.back() != L'"') return "saved a string without its closing quote";
            value = value.substr(1, value.size() - 2);
        } else if (value.compare(0, 4, L"bin:") == 0) {
            value = value.substr(4);
        }
        entries.push_back({name, value});
    }
    return "";
}

// Every name the file holds finds the value of its first line.
std::string CheckFinds(const std::vector<SavedEntry>& entries)
{
    for (size_t i = 0; i < entries.size(); ++i) {
        if (i > 0 && entries[i].name == entries[i - 1].name) continue;
        const wchar_t* value = Ini().Find(entries[i].name.c_str());
        if (value == nullptr || entries[i].value != value) return "does not read back " + Escaped(entries[i].name);
    }
    return "";
}

std::vector<std::string> Markers(bool wide)
{
    std::vector<std::string> markers;
    for (const wchar_t* marker : {L"\r\n", L"\r", L"\n", L"=", L"\"", L"bin:", L" ", L"\t", L"[Global]\r\n", L";A=1\r\n",
                                  L"\r\nGlobal\\SaveSettings=0\r\n", L"\r\nGlobal\\Integration=0\r\n", L"\r\nHKCU\\A=\"\r\n"})
        markers.push_back(wide ? WideBytes(marker) : Ansi(marker));
    return markers;
}

// The saved file or a piece of it, in UTF-16 with its signature or in the ANSI code page,
// mutated.
std::string MutatedIni(FuzzRound& round)
{
    Random& random = round.random;
    const bool wide = !random.OneIn(3);
    std::string input = wide ? SavedBytes().substr(2) : Ansi(SavedText());
    if (!random.OneIn(32)) input = Slice(random, input, kSliceBytes, wide);
    static const std::vector<std::string> markers[2] = {Markers(false), Markers(true)};
    Mutate(random, input, markers[wide]);
    return wide && !random.OneIn(16) ? "\xFF\xFE" + input : input;
}

class IniFileFuzz : public testing::Test {
protected:
    ~IniFileFuzz() override { Errors().Reset(); }

    // Loads the file as it lies; the program always takes an existing file.
    std::string Load()
    {
        folders_.Reload();
        Ini().Serves(nullptr, L"Global");
        return Ini().IsInUse() ? "" : "an existing file is not in use";
    }

    // Saves; with Global\SaveSettings=0 the file must stay as it was.
    std::string Save(const std::string& before, std::string& saved, bool& saving)
    {
        saving = Ini().FindNumber(L"Global\\SaveSettings", 1) != 0;
        if (Ini().Save() != saving) return saving ? "the save failed" : "saved although SaveSettings is 0";
        saved = ReadFileBytes(folders_.ProgramIni());
        if (!saving && saved != before) return "the file changed although SaveSettings is 0";
        return "";
    }

    std::string Round(FuzzRound& round)
    {
        round.input = MutatedIni(round);
        std::string saved, again;
        std::vector<SavedEntry> entries;
        bool saving = false;
        WriteFileBytes(folders_.ProgramIni(), round.input);
        std::string problem = Load();
        if (problem.empty()) problem = Save(round.input, saved, saving);
        if (!problem.empty() || !saving) return problem;
        if (problem.empty()) problem = ReadSavedEntries(saved, entries);
        if (problem.empty()) problem = CheckFinds(entries);
        if (problem.empty()) problem = Load();
        if (problem.empty()) problem = CheckFinds(entries);
        // Saving again is slow under emulation: a sample of the rounds shows it idempotent.
        if (!problem.empty() || !round.random.OneIn(8)) return problem;
        problem = Save(saved, again, saving);
        if (problem.empty() && again != saved) problem = "a saved file changed on its next load and save";
        return problem;
    }

    IniFolders folders_{L"tvx-ini-fuzz"};
    RegistrySandbox sandbox_;
};

TEST_F(IniFileFuzz, ReadsBackWhatItSaved)
{
    ASSERT_GT(SavedText().size(), 200u);
    RunFuzz("IniFile", kFileRounds, [this](FuzzRound& round) { return Round(round); });
}

}  // namespace
}  // namespace tvx::test
