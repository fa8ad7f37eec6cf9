// The self-removal script: how it spells paths for cmd, its lines, and real runs by Wine's
// cmd in scratch product folders with decoys where a mis-spelled script would strike.
#include <gtest/gtest.h>
#include <algorithm>
#include <string>
#include <vector>
#include "common/fileobject.h"
#include "common/handles.h"
#include "support/scratch.h"
#include "uninstall/removal_script.h"
#include "uninstall_fixtures.h"

namespace tvx::test {
namespace {

// Outside both the ANSI (1252) and the OEM (437) code page of the test prefix.
const wchar_t kCyrillicName[] = L"\u0416\u0443\u043a \u0431\u0443\u043a";

DWORD WINAPI NoShortName(LPCWSTR, LPWSTR, DWORD)
{
    return 0;
}

DWORD WINAPI ShortNameOutsideOem(LPCWSTR, LPWSTR output, DWORD capacity)
{
    lstrcpynW(output, L"C:\\\u0416~1", static_cast<int>(capacity));
    return 5;
}

struct ShortPathSeam {
    explicit ShortPathSeam(ShortPathFunction function) { SetShortPathFunctionForTesting(function); }
    ~ShortPathSeam() { SetShortPathFunctionForTesting(nullptr); }
};

std::wstring ScriptPath(const std::wstring& path)
{
    wchar_t output[2048];
    return MakeScriptPath(path.c_str(), output, 2048) ? std::wstring(output) : L"<none>";
}

bool IsPlainAscii(const std::wstring& text)
{
    return std::all_of(text.begin(), text.end(),
                       [](wchar_t c) { return c >= 0x20 && c < 0x7f && c != L'?'; });
}

TEST(ScriptPaths, SpelledSoThatCmdReadsThemBack)
{
    struct Case {
        const wchar_t* path;
        const wchar_t* spelled;
    };
    const Case cases[] = {
        {L"C:\\Program Files\\Talvex\\uninstall.exe", L"C:\\Program Files\\Talvex\\uninstall.exe"},
        {L"C:\\100% sure\\uninstall.exe", L"C:\\100%% sure\\uninstall.exe"},
        {L"C:\\%PATH%", L"C:\\%%PATH%%"},
        {L"C:\\a&b ^c", L"C:\\a&b ^c"},
        {L"C:\\Caf\u00e9", L"C:\\Caf\u00e9"},
        {L"C:\\missing\\\u0416\u0443\u043a", L"<none>"},
    };
    for (const Case& c : cases)
        EXPECT_EQ(ScriptPath(c.path), c.spelled)
            << "path: " << testing::PrintToString(std::wstring(c.path));
}

TEST(ScriptPaths, OutsideTheOemCodePageTheShortFormIsUsed)
{
    ScratchFolder base(L"tvx-script-paths");
    std::wstring folder = base / kCyrillicName;
    MakeFolder(folder);
    std::wstring spelled = ScriptPath(folder);
    EXPECT_NE(spelled, L"<none>");
    EXPECT_TRUE(IsPlainAscii(spelled)) << testing::PrintToString(spelled);
    wchar_t longForm[2048] = L"";
    GetLongPathNameW(spelled.c_str(), longForm, 2048);
    EXPECT_EQ(std::wstring(longForm), folder);
    {
        ShortPathSeam seam(NoShortName);
        EXPECT_EQ(ScriptPath(folder), L"<none>");
    }
    ShortPathSeam seam(ShortNameOutsideOem);
    EXPECT_EQ(ScriptPath(folder), L"<none>");
}

TEST(ScriptPaths, DoubledPercentSignsMustFit)
{
    wchar_t output[8];
    EXPECT_TRUE(MakeScriptPath(L"a%b%", output, 7));
    EXPECT_STREQ(output, L"a%%b%%");
    EXPECT_FALSE(MakeScriptPath(L"a%b%", output, 6));
}

class ScriptFile : public testing::Test {
protected:
    std::wstring File() const { return base_ / L"Uninstall_Tvx.Bat"; }
    ScratchFolder base_{L"tvx-script-file"};
};

TEST_F(ScriptFile, LinesAreWrittenInTheOemCodePageOrNotAtAll)
{
    if (GetOEMCP() != 437) GTEST_SKIP() << "the expected bytes are those of code page 437";
    FileObject file;
    ASSERT_TRUE(file.Create(File().c_str(), false));
    EXPECT_TRUE(WriteScriptLine(file, L"Caf\u00e9 100%\r\n"));
    EXPECT_FALSE(WriteScriptLine(file, kCyrillicName));
    EXPECT_FALSE(WriteScriptLine(file, std::wstring(1024, L'x').c_str()));
    EXPECT_TRUE(WriteScriptLine(file, std::wstring(1023, L'x').c_str()));
    ASSERT_TRUE(file.Close());
    EXPECT_EQ(ReadFileBytes(File()), "Caf\x82 100%\r\n" + std::string(1023, 'x'));
}

std::string ExpectedScript(const std::string& program, const std::string& folder,
                           const std::string& script, bool silent)
{
    std::string text = "\"" + program + "\" /wait\r\n";
    for (int i = 0; i < 5; ++i) {
        text += "del \"" + program + "\"\r\nrd \"" + folder + "\"\r\nif not exist \"" + program +
                "\" goto done\r\n";
    }
    text += ":done\r\n";
    if (!silent) text += "if exist \"" + program + "\" \"" + program + "\" /warning\r\n";
    return text + "del \"" + script + "\"\r\n";
}

std::string Narrow(const std::wstring& text)
{
    return std::string(text.begin(), text.end());
}

TEST_F(ScriptFile, TalvexFolderLineByLine)
{
    const std::wstring folder = L"C:\\Program Files\\Talvex";
    const std::wstring program = folder + L"\\uninstall.exe";
    for (bool silent : {false, true}) {
        ASSERT_TRUE(WriteRemovalScript(File().c_str(), program.c_str(), folder.c_str(), silent));
        EXPECT_EQ(ReadFileBytes(File()),
                  ExpectedScript(Narrow(program), Narrow(folder), Narrow(File()), silent))
            << "silent: " << silent;
    }
}

TEST_F(ScriptFile, LongProductPathsGiveWholeLinesOrNoScript)
{
    for (size_t length : {250u, 320u, 400u, 700u, 1100u}) {
        const std::wstring folder = L"C:\\" + std::wstring(length - 3, L'p');
        const std::wstring program = folder + L"\\uninstall.exe";
        bool written = WriteRemovalScript(File().c_str(), program.c_str(), folder.c_str(), false);
        if (written) {
            EXPECT_EQ(ReadFileBytes(File()),
                      ExpectedScript(Narrow(program), Narrow(folder), Narrow(File()), false));
        } else {
            EXPECT_FALSE(PathExists(File())) << "a script that was not written whole is removed";
        }
        if (length == 250) {
            EXPECT_TRUE(written);
        }
        if (length >= 700) {
            EXPECT_FALSE(written) << "length " << length;
        }
    }
}

// Real runs: a stand-in program that ends at once, decoys at the paths that an ANSI,
// unescaped or lossy script would reach.
struct RunCase {
    const wchar_t* folderName;
    std::vector<std::wstring> decoys;
};

class ScriptRun : public testing::TestWithParam<RunCase> {
protected:
    std::vector<std::wstring> Listing() const
    {
        std::vector<std::wstring> names;
        WIN32_FIND_DATAW data;
        FindHandle find(FindFirstFileW((base_ / L"*").c_str(), &data));
        if (!find.valid()) return names;
        do {
            if (data.cFileName[0] != L'.') names.push_back(data.cFileName);
        } while (FindNextFileW(find.get(), &data));
        std::sort(names.begin(), names.end());
        return names;
    }

    void StageProgram(const std::wstring& folder)
    {
        MakeFolder(folder);
        wchar_t standIn[MAX_PATH];
        GetSystemDirectoryW(standIn, MAX_PATH);
        lstrcatW(standIn, L"\\hostname.exe");
        ASSERT_TRUE(CopyFileW(standIn, (folder + L"\\uninstall.exe").c_str(), FALSE));
    }

    // Children started meanwhile write to NUL instead of the test's log.
    struct QuietChildren {
        QuietChildren()
        {
            SECURITY_ATTRIBUTES inheritable{sizeof(SECURITY_ATTRIBUTES), nullptr, TRUE};
            nul.reset(CreateFileW(L"NUL", GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE,
                                  &inheritable, OPEN_EXISTING, 0, nullptr));
            SetStdHandle(STD_OUTPUT_HANDLE, nul.get());
            SetStdHandle(STD_ERROR_HANDLE, nul.get());
        }
        ~QuietChildren()
        {
            SetStdHandle(STD_OUTPUT_HANDLE, output);
            SetStdHandle(STD_ERROR_HANDLE, error);
        }
        HANDLE output = GetStdHandle(STD_OUTPUT_HANDLE);
        HANDLE error = GetStdHandle(STD_ERROR_HANDLE);
        FileHandle nul;
    };

    bool WaitUntilGone(const std::wstring& path)
    {
        for (int i = 0; i < 300 && PathExists(path); ++i) Sleep(100);
        return !PathExists(path);
    }

    ScratchFolder base_{L"tvx-script-run"};
};

TEST_P(ScriptRun, DeletesExactlyTheProgramAndTheFolder)
{
    const RunCase& run = GetParam();
    for (const std::wstring& decoy : run.decoys) {
        if (!PathExists(base_ / decoy)) MakeFolder(base_ / decoy);
        MakeFile(base_ / decoy + L"\\uninstall.exe");
    }
    std::vector<std::wstring> before = Listing();
    const std::wstring folder = base_ / run.folderName;
    const std::wstring program = folder + L"\\uninstall.exe";
    const std::wstring script = base_ / L"Uninstall_Tvx.Bat";
    StageProgram(folder);

    ASSERT_TRUE(WriteRemovalScript(script.c_str(), program.c_str(), folder.c_str(), false));
    {
        QuietChildren quiet;
        ASSERT_TRUE(StartRemovalScript(script.c_str()));
    }
    EXPECT_TRUE(WaitUntilGone(script)) << "the script ends by deleting itself";
    EXPECT_FALSE(PathExists(program));
    EXPECT_FALSE(PathExists(folder));
    EXPECT_EQ(Listing(), before) << "nothing else is touched";
    for (const std::wstring& decoy : run.decoys)
        EXPECT_TRUE(PathExists(base_ / decoy + L"\\uninstall.exe"));
}

INSTANTIATE_TEST_SUITE_P(FolderNames, ScriptRun,
                         testing::Values(RunCase{L"Talvex", {L"Talvex2", L"other"}},
                                         RunCase{L"100% sure", {L"100 sure", L"100", L"100%"}},
                                         RunCase{L"a&b ^c", {L"a", L"b c", L"b ^c"}},
                                         RunCase{L"Caf\u00e9", {L"Caf\u0398", L"Caf"}},
                                         RunCase{kCyrillicName, {L"abc", L"\u0416"}}));

TEST(ScriptRunWithoutSpelling, NoScriptWhenAPathHasNoFormInTheOemCodePage)
{
    ScratchFolder base(L"tvx-script-none");
    const std::wstring folder = base / kCyrillicName;
    MakeFolder(folder);
    const std::wstring program = folder + L"\\uninstall.exe";
    MakeFile(program);
    const std::wstring script = base / L"Uninstall_Tvx.Bat";
    ShortPathSeam seam(NoShortName);
    EXPECT_FALSE(WriteRemovalScript(script.c_str(), program.c_str(), folder.c_str(), false));
    EXPECT_FALSE(PathExists(script));
    EXPECT_TRUE(PathExists(program));
}

}  // namespace
}  // namespace tvx::test
