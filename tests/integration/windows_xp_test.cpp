// The paths for Windows versions before 6.0, run for real: Wine reports the version set in
// HKCU\Software\Wine when a process starts, so the parent test sets it to Windows XP, runs
// the OnWindowsXp tests in a child copy of this test program and restores it afterwards.
#include <gtest/gtest.h>

#include <shlobj.h>
#include <string>
#include <vector>

#include "common/paths.h"
#include "common/strings.h"
#include "integration/file_types.h"
#include "integration/shortcuts.h"
#include "integration_fixture.h"
#include "support/scratch.h"

namespace tvx {
namespace {

const wchar_t kChildVariable[] = L"TVX_INTEGRATION_XP_CHILD";
const wchar_t kWineKey[] = L"Software\\Wine";
constexpr DWORD kChildTimeoutMs = 180000;

bool InChild() { return GetEnvironmentVariableW(kChildVariable, nullptr, 0) > 0; }

bool Exists(const std::wstring& path) { return GetFileAttributesW(path.c_str()) != INVALID_FILE_ATTRIBUTES; }

// Sets the version Wine reports to new processes; the former setting comes back at the end.
class ReportedWindowsVersion {
public:
    explicit ReportedWindowsVersion(const wchar_t* version)
    {
        hadVersion_ = test::RegReadValue(HKEY_CURRENT_USER, kWineKey, L"Version", &former_) == REG_SZ;
        test::RegWriteString(HKEY_CURRENT_USER, kWineKey, L"Version", version);
    }
    ~ReportedWindowsVersion()
    {
        if (hadVersion_) {
            test::RegWriteString(HKEY_CURRENT_USER, kWineKey, L"Version", former_);
            return;
        }
        HKEY key = nullptr;
        if (RegOpenKeyExW(HKEY_CURRENT_USER, kWineKey, 0, KEY_SET_VALUE, &key) != ERROR_SUCCESS) return;
        RegDeleteValueW(key, L"Version");
        RegCloseKey(key);
    }

private:
    bool hadVersion_ = false;
    std::wstring former_;
};

DWORD RunChild(const std::wstring& arguments)
{
    wchar_t self[MAX_PATH];
    GetModuleFileNameW(nullptr, self, MAX_PATH);
    std::wstring command = L"\"" + std::wstring(self) + L"\" " + arguments;
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION process{};
    SetEnvironmentVariableW(kChildVariable, L"1");
    BOOL started = CreateProcessW(nullptr, command.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup,
                                  &process);
    SetEnvironmentVariableW(kChildVariable, nullptr);
    if (!started) return GetLastError() | 0x80000000u;
    DWORD exitCode = 0xDEAD;
    if (WaitForSingleObject(process.hProcess, kChildTimeoutMs) != WAIT_OBJECT_0)
        TerminateProcess(process.hProcess, 0xDEAD);
    else
        GetExitCodeProcess(process.hProcess, &exitCode);
    CloseHandle(process.hThread);
    CloseHandle(process.hProcess);
    return exitCode;
}

TEST(WindowsXp, ShortcutsAndCapabilitiesTakeTheOlderPathsInAChildProcess)
{
    if (InChild()) GTEST_SKIP() << "this is the child";
    test::ScratchFolder results{L"tvx-xp"};
    std::wstring report = results / L"report.xml";
    DWORD exitCode;
    {
        ReportedWindowsVersion xp(L"winxp");
        exitCode = RunChild(L"--gtest_filter=OnWindowsXp* --gtest_brief=1 --gtest_output=xml:\"" + report + L"\"");
    }
    ResetWindowsVersionCache();
    EXPECT_EQ(exitCode, 0u);
    std::string xml = test::ReadFileBytes(report);
    EXPECT_NE(xml.find("tests=\"3\" failures=\"0\" disabled=\"0\" errors=\"0\""), std::string::npos) << xml;
    EXPECT_EQ(xml.find("<skipped"), std::string::npos) << "every test ran as Windows XP";
    EXPECT_GE(WindowsVersion(), 0x0600u) << "the prefix reports its own version again";
}

class OnWindowsXp : public ::testing::Test {
protected:
    void SetUp() override
    {
        if (!InChild()) GTEST_SKIP() << "runs in the child of WindowsXp.ShortcutsAndCapabilitiesTakeTheOlderPathsInAChildProcess";
        ASSERT_EQ(WindowsVersion(), 0x0501u);
    }
};

class OnWindowsXpShortcuts : public OnWindowsXp {
protected:
    void SetUp() override
    {
        OnWindowsXp::SetUp();
        CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
        test::RemovePrefixShortcuts();
    }
    void TearDown() override
    {
        if (!InChild()) return;
        test::RemovePrefixShortcuts();
        CoUninitialize();
    }
    std::wstring Link(int csidl) const { return test::ShellFolder(csidl) + L"\\Talvex.lnk"; }

    test::ProgramFolder program_{L"tvx-xp-links", {L"Talvex.exe"}};
};

TEST_F(OnWindowsXpShortcuts, DesktopAndStartMenuShortcutsAreTheUsersOwn)
{
    IntegrationOptions options{};
    options.desktop = options.startMenu = options.programs = 1;
    wchar_t groupFolder[kPathCapacity] = L"";
    UpdateShortcuts(options, groupFolder, kPathCapacity, nullptr);
    EXPECT_TRUE(Exists(Link(CSIDL_DESKTOPDIRECTORY)));
    EXPECT_TRUE(Exists(Link(CSIDL_STARTMENU)));
    EXPECT_FALSE(Exists(Link(CSIDL_COMMON_DESKTOPDIRECTORY)));
    EXPECT_FALSE(Exists(Link(CSIDL_COMMON_STARTMENU)));
    EXPECT_EQ(std::wstring(groupFolder), test::ShellFolder(CSIDL_COMMON_PROGRAMS) + L"\\Talvex");

    test::WriteFileBytes(Link(CSIDL_COMMON_DESKTOPDIRECTORY), "another setup's");
    UpdateShortcuts(IntegrationOptions{}, nullptr, 0, nullptr);
    EXPECT_FALSE(Exists(Link(CSIDL_DESKTOPDIRECTORY)));
    EXPECT_FALSE(Exists(Link(CSIDL_STARTMENU)));
    EXPECT_FALSE(Exists(test::ShellFolder(CSIDL_PROGRAMS) + L"\\Talvex"));
    EXPECT_TRUE(Exists(Link(CSIDL_COMMON_DESKTOPDIRECTORY))) << "before 6.0 only the user's desktop is the program's";
}

TEST_F(OnWindowsXpShortcuts, SetupKeepsAnAllUsersDesktopShortcut)
{
    test::WriteFileBytes(Link(CSIDL_COMMON_DESKTOPDIRECTORY), "another setup's");
    IntegrationOptions options{};
    options.desktop = 1;
    UpdateShortcuts(options, nullptr, 0, nullptr);
    EXPECT_EQ(test::ReadFileBytes(Link(CSIDL_COMMON_DESKTOPDIRECTORY)), "another setup's");
    EXPECT_TRUE(Exists(Link(CSIDL_DESKTOPDIRECTORY)));
}

TEST_F(OnWindowsXp, NoCapabilitiesAreListed)
{
    test::ProgramFolder program{L"tvx-xp-caps", {}};
    test::RegistrySandbox sandbox;
    test::RegWriteString(HKEY_LOCAL_MACHINE, L"Software\\RegisteredApplications", L"Talvex", L"left by hand");
    RegisterCapabilities(IntegrationDirection::Setup);
    RegisterCapabilities(IntegrationDirection::Remove);
    std::vector<std::wstring> machine = test::DumpRegistry(HKEY_LOCAL_MACHINE, L"");
    EXPECT_EQ(machine, (std::vector<std::wstring>{L"Software", L"Software\\RegisteredApplications",
                                                  L"Software\\RegisteredApplications|Talvex=left by hand"}));
}

}  // namespace
}  // namespace tvx
