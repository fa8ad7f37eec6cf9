#include "uninstall/switches.h"

#include <iterator>

namespace tvx {

namespace {
enum class Keyword { Setup, Msi, Init, Wait, NoExplorer, Warning, None };

struct KeywordEntry {
    const wchar_t* text;
    size_t compared;  // only this many characters must match: "/setupx" is "/setup"
    Keyword keyword;
};

// In this order; the first match wins.
constexpr KeywordEntry kKeywords[] = {
    {L"setup", 5, Keyword::Setup},
    {L"msi", 3, Keyword::Msi},
    {L"init", 4, Keyword::Init},
    {L"wait", 4, Keyword::Wait},
    {L"noexplorer", 4, Keyword::NoExplorer},
    {L"warning", 7, Keyword::Warning},
};

constexpr size_t kInitTextStart = 5;  // the text right after "/init"

bool IsSwitch(const wchar_t* token)
{
    return token[0] == L'/' || token[0] == L'-';
}

// "/S", "-s", "/S1": an S not followed by a letter, so that "/setup" is not silent.
bool IsSilentSwitch(const wchar_t* token)
{
    return UpperChar(token[1]) == L'S' && !IsAsciiLetter(token[2]);
}

Keyword FindKeyword(const wchar_t* name)
{
    for (const auto& entry : kKeywords) {
        if (CompareNamesPrefix(name, entry.text, entry.compared) == 0) return entry.keyword;
    }
    return Keyword::None;
}

// Returns whether the switch rules uninstall mode out.
bool ApplyKeyword(const wchar_t* token, bool& setupMode, SwitchEffects& effects)
{
    RunOptions& options = Options();
    switch (FindKeyword(token + 1)) {
    case Keyword::Setup:
        setupMode = true;
        break;
    case Keyword::Msi:
        // Like /S an option of either mode: an installer package uninstalls with "/msi", and
        // counting it would turn that uninstall into a run that does nothing.
        options.msi = true;
        return false;
    case Keyword::Init:
        CopyText(options.initText, token + kInitTextStart, std::size(options.initText));
        break;
    case Keyword::Wait:
        effects.Wait();
        break;
    case Keyword::NoExplorer:
        options.noExplorer = true;
        break;
    case Keyword::Warning:
        effects.ShowCannotDeleteWarning();
        break;
    case Keyword::None:
        break;
    }
    return true;
}
}  // namespace

void ParseSwitches(bool fromEnvironment, const wchar_t* text, bool& setupMode, bool& uninstallMode,
                   SwitchEffects& effects)
{
    wchar_t token[kLineCapacity];
    int counted = 0;
    while ((text = NextToken(text, token, kLineCapacity)) != nullptr) {
        if (!IsSwitch(token)) continue;
        if (IsSilentSwitch(token)) {
            Options().silent = true;
            continue;
        }
        if (fromEnvironment) continue;  // from sfxcmd only the silent switch counts
        if (ApplyKeyword(token, setupMode, effects)) ++counted;
    }
    uninstallMode = !fromEnvironment && counted == 0;
}

}  // namespace tvx
