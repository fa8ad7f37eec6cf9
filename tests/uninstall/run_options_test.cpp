#include <gtest/gtest.h>

#include <string>

#include "common/handles.h"
#include "language/language_table.h"
#include "support/scratch.h"
#include "uninstall/run_options.h"

namespace tvx {
namespace {

TEST(ScaleByDpiY, ScalesByTheScreensVerticalResolution)
{
    const struct {
        int dpi;
        int value;
        int scaled;
    } cases[] = {
        {96, -12, -12}, {120, -12, -15}, {144, -12, -18},
        {120, 7, 8},    {120, -7, -8},    // truncated toward zero: 8.75 and -8.75
        {144, 0, 0},    {72, 100, 75},
    };
    for (const auto& c : cases) {
        SetScreenDpiForTesting(c.dpi);
        EXPECT_EQ(ScaleByDpiY(c.value), c.scaled) << c.value << " at " << c.dpi;
    }
    SetScreenDpiForTesting(0);
}

TEST(ScaleByDpiY, ReadsTheScreenWhenNotYetKnown)
{
    HDC screen = GetDC(nullptr);
    int dpi = GetDeviceCaps(screen, LOGPIXELSY);
    ReleaseDC(nullptr, screen);
    SetScreenDpiForTesting(0);
    EXPECT_EQ(ScaleByDpiY(96), dpi);
    EXPECT_EQ(ScaleByDpiY(-12), -12 * dpi / 96);
}

int queries = 0;
BOOL WINAPI FailingQuery(HANDLE, PBOOL)
{
    ++queries;
    return FALSE;
}
BOOL WINAPI Wow64Answer(HANDLE, PBOOL wow64)
{
    ++queries;
    *wow64 = TRUE;
    return TRUE;
}
BOOL WINAPI NativeAnswer(HANDLE, PBOOL wow64)
{
    ++queries;
    *wow64 = FALSE;
    return TRUE;
}

TEST(RunningUnderWow64, KeepsAnAnswerButAsksAgainAfterAFailure)
{
    const struct {
        Wow64Query query;
        bool result;
        int queriesForThreeCalls;
    } cases[] = {
        {&FailingQuery, false, 3},
        {&Wow64Answer, true, 1},
        {&NativeAnswer, false, 1},
    };
    for (const auto& c : cases) {
        SetWow64QueryForTesting(c.query);
        queries = 0;
        for (int call = 0; call < 3; ++call) EXPECT_EQ(RunningUnderWow64(), c.result);
        EXPECT_EQ(queries, c.queriesForThreeCalls);
    }
    SetWow64QueryForTesting(nullptr);
}

TEST(RunningUnderWow64, AgreesWithTheSystem)
{
    SetWow64QueryForTesting(nullptr);
    BOOL wow64 = FALSE;
    ASSERT_TRUE(IsWow64Process(GetCurrentProcess(), &wow64));
    EXPECT_EQ(RunningUnderWow64(), wow64 != FALSE);
}

TEST(LoadSystemDll, LoadsFromTheSystemFolderOnly)
{
    ModuleHandle richEdit(LoadSystemDll(L"riched20.dll"));
    ASSERT_TRUE(richEdit.valid());
    wchar_t loaded[MAX_PATH];
    GetModuleFileNameW(richEdit.get(), loaded, MAX_PATH);
    wchar_t system[MAX_PATH];
    GetSystemDirectoryW(system, MAX_PATH);
    EXPECT_EQ(_wcsnicmp(loaded, system, wcslen(system)), 0) << loaded;
    ModuleHandle missing(LoadSystemDll(L"tvx-no-such-library.dll"));
    EXPECT_FALSE(missing.valid());
}

TEST(HardenDllSearchPath, TakesTheCurrentFolderOutAndPutsItBack)
{
    wchar_t folder[MAX_PATH] = L"x";
    SetDllDirectoryW(L"C:\\windows");
    HardenDllSearchPath(true);
    EXPECT_EQ(GetDllDirectoryW(MAX_PATH, folder), 0u);
    EXPECT_STREQ(folder, L"");
    SetDllDirectoryW(L"C:\\windows");
    HardenDllSearchPath(false);
    EXPECT_EQ(GetDllDirectoryW(MAX_PATH, folder), 0u);
}

UINT shownFlags = 0;
int WINAPI RecordBox(HWND, LPCWSTR, LPCWSTR, UINT flags)
{
    shownFlags = flags;
    return IDOK;
}

UINT FlagsOfBox(UINT flags)
{
    shownFlags = 0;
    EXPECT_EQ(ShowMessageBox(nullptr, L"text", L"caption", flags), IDOK);
    return shownFlags;
}

TEST(ShowMessageBox, ReadsRightToLeftForARightToLeftLanguage)
{
    SetMessageBoxForTesting(&RecordBox);
    test::ScratchFolder scratch(L"tvx-rtl");
    std::wstring file = scratch / L"uninstall.lng";
    test::WriteFileBytes(file, "***messages***\r\n:DIRECTION RTL\r\n");
    Languages().Load(file.c_str());
    ASSERT_TRUE(Languages().IsRightToLeft());
    EXPECT_EQ(FlagsOfBox(MB_SETFOREGROUND | MB_ICONINFORMATION),
              UINT(MB_SETFOREGROUND | MB_ICONINFORMATION | MB_RIGHT | MB_RTLREADING));
    Languages().Release();
    SetProcessDefaultLayout(0);
    EXPECT_EQ(FlagsOfBox(MB_YESNO | MB_ICONQUESTION), UINT(MB_YESNO | MB_ICONQUESTION));
    SetMessageBoxForTesting(nullptr);
}

}  // namespace
}  // namespace tvx
