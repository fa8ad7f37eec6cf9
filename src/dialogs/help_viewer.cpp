#include "dialogs/help_viewer.h"
#include "common/charset.h"
#include "common/handles.h"
#include "common/paths.h"
#include "common/strings.h"
#include "language/language_module.h"
#include "uninstall/run_options.h"
#include <cwchar>

namespace tvx {
namespace {

constexpr UINT kDisplayTopic = 0;  // HH_DISPLAY_TOPIC
constexpr UINT kDisplayToc = 1;    // HH_DISPLAY_TOC
constexpr size_t kTargetCapacity = kPathCapacity + 50;
constexpr wchar_t kHelpFileName[] = L"talvex.chm";

// The one owner of the help control for the whole process.
struct HelpViewer {
    ModuleHandle library;
    HtmlHelpFunction entry = nullptr;
    wchar_t helpFile[kPathCapacity] = L"";
    bool shortPathRetryDone = false;
};

HelpViewer& Viewer()
{
    static HelpViewer viewer;
    return viewer;
}

HtmlHelpFunction testHtmlHelp = nullptr;

// programPath's file name replaced by the help file's, then the language folder's copy if any.
void SetHelpFile(const wchar_t* programPath)
{
    wchar_t* helpFile = Viewer().helpFile;
    CopyText(helpFile, programPath, kPathCapacity);
    ReplaceNamePart(helpFile, kHelpFileName, kPathCapacity);
    ApplyLanguageFolder(helpFile, helpFile, kPathCapacity);
}

bool LoadHelpControl()
{
    HelpViewer& viewer = Viewer();
    if (!viewer.library.valid()) viewer.library.reset(LoadSystemDll(L"hhctrl.ocx"));
    if (!viewer.library.valid()) return false;
    if (viewer.entry != nullptr) return true;
    viewer.entry = reinterpret_cast<HtmlHelpFunction>(
        reinterpret_cast<void*>(GetProcAddress(viewer.library.get(), "HtmlHelpW")));
    wchar_t programPath[kPathCapacity];
    GetProgramPath(programPath, kPathCapacity);
    SetHelpFile(programPath);
    return viewer.entry != nullptr;
}

HWND CallHelp(const wchar_t* topic)
{
    HelpViewer& viewer = Viewer();
    wchar_t target[kTargetCapacity];
    UINT command = kDisplayToc;
    if (topic != nullptr) {
        FormatText(target, kTargetCapacity, L"%s::/html/%s.htm", viewer.helpFile, topic);
        command = kDisplayTopic;
    } else {
        CopyText(target, viewer.helpFile, kTargetCapacity);
    }
    // The desktop owns the help window: it must outlive the dialog that asked for it.
    HtmlHelpFunction call = testHtmlHelp != nullptr ? testHtmlHelp : viewer.entry;
    return call(GetDesktopWindow(), target, command, 0);
}

// The help control takes an ANSI path internally, so a path the code page cannot spell
// fails; the 8.3 form of the program's path can always be spelt.
bool NeedsShortPath(const wchar_t* path)
{
    char ansi[kPathCapacity];
    wchar_t back[kPathCapacity];
    WideToAnsi(path, ansi, kPathCapacity);
    AnsiToWide(ansi, back, kPathCapacity);
    return std::wcscmp(back, path) != 0;
}

void UseShortProgramPath()
{
    wchar_t longPath[kPathCapacity];
    wchar_t shortPath[kPathCapacity] = L"";
    GetProgramPath(longPath, kPathCapacity);
    DWORD length = GetShortPathNameW(longPath, shortPath, kPathCapacity);
    if (length == 0 || length >= kPathCapacity) CopyText(shortPath, longPath, kPathCapacity);
    SetHelpFile(shortPath);
}

}  // namespace

HWND ShowHelp(const wchar_t* topic)
{
    if (!LoadHelpControl()) return nullptr;
    HWND window = CallHelp(topic);
    HelpViewer& viewer = Viewer();
    if (window != nullptr || viewer.shortPathRetryDone) return window;
    viewer.shortPathRetryDone = true;
    if (!NeedsShortPath(viewer.helpFile)) return nullptr;
    UseShortProgramPath();
    return CallHelp(topic);
}

void SetHtmlHelpForTesting(HtmlHelpFunction function)
{
    testHtmlHelp = function;
}

void ResetHelpViewerForTesting()
{
    HelpViewer& viewer = Viewer();
    viewer.entry = nullptr;
    viewer.helpFile[0] = L'\0';
    viewer.shortPathRetryDone = false;
}

}  // namespace tvx
