#include <gtest/gtest.h>

#include <string>

#include "common/errors.h"
#include "common/fileobject.h"
#include "common/handles.h"
#include "settings/ini_settings.h"
#include "settings/settings_store.h"
#include "settings_fixture.h"
#include "support/scratch.h"

namespace tvx {
namespace {

using test::ReadIni;
using test::WriteIni;

const std::wstring kGlobalLines = L"Global\\AppData=1\r\nGlobal\\Integration=1\r\nGlobal\\SaveSettings=1\r\n";

struct LineCase {
    const wchar_t* line;
    bool isEntry;
    std::wstring name;
    std::wstring value;
    IniValueKind kind;
};

TEST(ParseIniLine, TakesEntriesApartAsTheProgramWritesThem)
{
    const LineCase cases[] = {
        {L"HKCU\\Setup\\Links\\Desktop=1", true, L"HKCU\\Setup\\Links\\Desktop", L"1", Plain},
        {L"A=\"x\"", true, L"A", L"x", Quoted},
        {L"A=\"", true, L"A", L"", Quoted},
        {L"A=\"\"", true, L"A", L"", Quoted},
        {L"A=\"x", true, L"A", L"x", Quoted},
        {L"A=\"say \"hi\"\"", true, L"A", L"say \"hi\"", Quoted},
        {L"A=bin:00ff10", true, L"A", L"00ff10", Binary},
        {L"A=bin:", true, L"A", L"", Binary},
        {L"A=bin", true, L"A", L"bin", Plain},
        {L"A=Bin:1", true, L"A", L"Bin:1", Plain},
        {L"A=12abc", true, L"A", L"12abc", Plain},
        {L"A=", true, L"A", L"", Plain},
        {L"A=b=c", true, L"A", L"b=c", Plain},
        {L"a b =1", true, L"a b ", L"1", Plain},
        {L"[Global]", false, L"", L"", Plain},
        {L";A=1", false, L"", L"", Plain},
        {L" A=1", false, L"", L"", Plain},
        {L"1=2", false, L"", L"", Plain},
        {L"NoEquals", false, L"", L"", Plain},
        {L"", false, L"", L"", Plain},
    };
    for (const LineCase& row : cases) {
        SCOPED_TRACE(testing::PrintToString(std::wstring(row.line)));
        IniLine parsed;
        ASSERT_EQ(ParseIniLine(row.line, parsed), row.isEntry);
        if (!row.isEntry) continue;
        EXPECT_EQ(std::wstring(parsed.name, parsed.nameLength), row.name);
        EXPECT_EQ(std::wstring(parsed.value, parsed.valueLength), row.value);
        EXPECT_EQ(parsed.kind, row.kind);
    }
}

class IniSettingsTest : public ::testing::Test {
protected:
    ~IniSettingsTest() override { Errors().Reset(); }

    std::wstring ReadUserText(const wchar_t* key, const wchar_t* value)
    {
        wchar_t buffer[256];
        EXPECT_TRUE(store_.ReadUserString(key, value, buffer, L"<default>", 256));
        return buffer;
    }

    test::IniFolders folders_{L"tvx-ini"};
    test::RegistrySandbox sandbox_;
    SettingsStore& store_ = Settings();
};

TEST_F(IniSettingsTest, TheFileBesideTheProgramWinsOverTheUsersOne)
{
    WriteIni(folders_.UserIni(), L"HKCU\\Where=\"user\"\r\n");
    EXPECT_EQ(ReadUserText(L"", L"Where"), L"user");

    WriteIni(folders_.ProgramIni(), L"HKCU\\Where=\"program\"\r\n");
    folders_.Reload();
    EXPECT_EQ(ReadUserText(L"", L"Where"), L"program");
    EXPECT_EQ(std::wstring(Ini().Path()), folders_.ProgramIni());
    EXPECT_TRUE(store_.SaveSettingsFile());
    EXPECT_EQ(ReadIni(folders_.UserIni()), L"HKCU\\Where=\"user\"\r\n");
}

TEST_F(IniSettingsTest, WithoutAFileTheRegistryTakesEverythingAndNoFileIsWritten)
{
    EXPECT_EQ(store_.WriteUserNumber(L"Setup", L"Flag", 1), 0);
    EXPECT_FALSE(Ini().IsInUse());
    EXPECT_FALSE(store_.SaveSettingsFile());
    EXPECT_TRUE(store_.IsIntegrationEnabled());
    DWORD number = 0;
    EXPECT_EQ(test::RegReadValue(HKEY_CURRENT_USER, L"Software\\Talvex\\Setup", L"Flag", nullptr, &number),
              static_cast<DWORD>(REG_DWORD));
    EXPECT_EQ(ReadIni(folders_.ProgramIni()), L"<no file>");
    EXPECT_EQ(ReadIni(folders_.UserIni()), L"<no file>");
    EXPECT_EQ(ReadIni(folders_.ProgramIni() + L".tmp"), L"<no file>");
}

TEST_F(IniSettingsTest, AnEmptyFileIsInUseAndComesBackWithTheGlobalFlags)
{
    test::WriteFileBytes(folders_.ProgramIni(), "");
    EXPECT_EQ(store_.WriteUserNumber(L"Setup\\Links", L"Desktop", 1), 0);
    EXPECT_EQ(store_.WriteUserNumber(L"", L"Big", 0xFFFFFFFFu), 0);
    EXPECT_EQ(store_.WriteString(HKEY_LOCAL_MACHINE, L"", L"exe32", L"C:\\T\\Talvex.exe"), 0);
    EXPECT_EQ(store_.ReadUserNumber(L"", L"Big", 0), 0xFFFFFFFFu);
    EXPECT_TRUE(store_.SaveSettingsFile());
    EXPECT_EQ(ReadIni(folders_.ProgramIni()), kGlobalLines + L"HKCU\\Big=4294967295\r\nHKCU\\Setup\\Links\\Desktop=1\r\n"
                                                             L"HKLM\\exe32=\"C:\\T\\Talvex.exe\"\r\n");
    EXPECT_FALSE(test::RegKeyExists(HKEY_CURRENT_USER, L"Software\\Talvex"));
    EXPECT_FALSE(test::RegKeyExists(HKEY_LOCAL_MACHINE, L"Software\\Talvex"));
    EXPECT_EQ(ReadIni(folders_.ProgramIni() + L".tmp"), L"<no file>");
}

TEST_F(IniSettingsTest, GlobalFlagsAreReadAndWrittenBackAsZeroOrOne)
{
    WriteIni(folders_.ProgramIni(), L"Global\\AppData=0\r\nGlobal\\Integration=7\r\n");
    store_.KeyExists(HKEY_CURRENT_USER, L"");
    EXPECT_TRUE(store_.IsIntegrationEnabled());
    EXPECT_TRUE(store_.SaveSettingsFile());
    EXPECT_EQ(ReadIni(folders_.ProgramIni()), L"Global\\AppData=0\r\nGlobal\\Integration=1\r\nGlobal\\SaveSettings=1\r\n");
}

TEST_F(IniSettingsTest, SaveSettingsZeroKeepsTheFileAsItWas)
{
    const std::wstring text = L"Global\\SaveSettings=0\r\nHKCU\\A=1\r\n";
    WriteIni(folders_.ProgramIni(), text);
    store_.WriteUserNumber(L"", L"A", 2);
    EXPECT_EQ(store_.ReadUserNumber(L"", L"A", 0), 2u);
    EXPECT_FALSE(store_.SaveSettingsFile());
    EXPECT_EQ(ReadIni(folders_.ProgramIni()), text);
}

TEST_F(IniSettingsTest, IntegrationOffLeavesTheRegistryAlone)
{
    WriteIni(folders_.ProgramIni(), L"Global\\Integration=0\r\n");
    test::RegWriteString(HKEY_CLASSES_ROOT, L".zip", L"", L"OtherZip");
    const wchar_t* appPaths = L"\\Software\\Microsoft\\Windows\\CurrentVersion\\App Paths\\Talvex.exe";

    EXPECT_EQ(store_.WriteString(HKEY_CLASSES_ROOT, L".tvx", L"", L"Talvex.tvx"), 0);
    EXPECT_EQ(store_.WriteNumber(HKEY_LOCAL_MACHINE, appPaths, L"n", 1), 0);
    EXPECT_FALSE(store_.IsIntegrationEnabled());
    EXPECT_FALSE(test::RegKeyExists(HKEY_CLASSES_ROOT, L".tvx"));
    EXPECT_FALSE(test::RegKeyExists(HKEY_LOCAL_MACHINE, appPaths + 1));
    EXPECT_FALSE(store_.KeyExists(HKEY_CLASSES_ROOT, L".zip"));

    wchar_t buffer[16];
    EXPECT_TRUE(store_.ReadString(HKEY_CLASSES_ROOT, L".zip", L"", buffer, L"default", 16));
    EXPECT_STREQ(buffer, L"default");
    EXPECT_EQ(store_.ReadNumber(HKEY_CLASSES_ROOT, L".zip", L"", 3), 3u);
    store_.DeleteKeyTree(HKEY_CLASSES_ROOT, L".zip");
    store_.DeleteKey(HKEY_CLASSES_ROOT, L".zip");
    store_.DeleteValue(HKEY_CLASSES_ROOT, L".zip", L"");
    std::wstring text;
    EXPECT_EQ(test::RegReadValue(HKEY_CLASSES_ROOT, L".zip", L"", &text), static_cast<DWORD>(REG_SZ));
    EXPECT_EQ(text, L"OtherZip");

    EXPECT_TRUE(store_.SaveSettingsFile());
    EXPECT_EQ(ReadIni(folders_.ProgramIni()), L"Global\\AppData=1\r\nGlobal\\Integration=0\r\nGlobal\\SaveSettings=1\r\n");
}

TEST_F(IniSettingsTest, AbsoluteAndClassesKeysGoToTheRegistryWhileTheFileIsInUse)
{
    WriteIni(folders_.ProgramIni(), kGlobalLines);
    const wchar_t* appPaths = L"\\Software\\Microsoft\\Windows\\CurrentVersion\\App Paths\\Talvex.exe";
    EXPECT_EQ(store_.WriteString(HKEY_LOCAL_MACHINE, appPaths, L"", L"C:\\T\\Talvex.exe"), 0);
    EXPECT_EQ(store_.WriteString(HKEY_CLASSES_ROOT, L".tvx", L"", L"Talvex.tvx"), 0);
    EXPECT_TRUE(test::RegKeyExists(HKEY_LOCAL_MACHINE, appPaths + 1));
    EXPECT_TRUE(test::RegKeyExists(HKEY_CLASSES_ROOT, L".tvx"));
    EXPECT_TRUE(store_.SaveSettingsFile());
    EXPECT_EQ(ReadIni(folders_.ProgramIni()), kGlobalLines);
}

TEST_F(IniSettingsTest, ValuesInTheProgramsOwnFormSurviveARoundTripByteForByte)
{
    const std::wstring text = kGlobalLines +
                              L"HKCU\\=\"root default\"\r\n"
                              L"HKCU\\Setup\\Bin=bin:00ff10\r\n"
                              L"HKCU\\Setup\\Empty=\"\"\r\n"
                              L"HKCU\\Setup\\Links\\Desktop=1\r\n"
                              L"HKCU\\Setup\\Name=\"C:\\Program Files\\Talvex \u00e9\u4e2d\"\r\n"
                              L"HKCU\\Setup\\Spaces=\"  a = b  \"\r\n"
                              L"HKLM\\exe32=\"C:\\T\\Talvex.exe\"\r\n"
                              L"Other\\Plain=12abc\r\n";
    const std::string bytes = test::Utf16File(text);
    test::WriteFileBytes(folders_.ProgramIni(), bytes);

    EXPECT_EQ(store_.ReadUserNumber(L"Setup\\Links", L"Desktop", 0), 1u);
    EXPECT_EQ(ReadUserText(L"Setup", L"Name"), L"C:\\Program Files\\Talvex \u00e9\u4e2d");
    EXPECT_EQ(ReadUserText(L"Setup", L"Spaces"), L"  a = b  ");
    EXPECT_EQ(ReadUserText(L"Setup", L"Bin"), L"00ff10");
    EXPECT_EQ(ReadUserText(L"Setup", L"Empty"), L"");
    EXPECT_EQ(ReadUserText(L"", L""), L"root default");
    EXPECT_EQ(store_.ReadNumber(nullptr, L"Other", L"Plain", 0), 12u);
    EXPECT_TRUE(store_.SaveSettingsFile());
    EXPECT_EQ(test::ReadFileBytes(folders_.ProgramIni()), bytes);
}

TEST_F(IniSettingsTest, LinesThatAreNoEntriesAreDropped)
{
    WriteIni(folders_.ProgramIni(), L"[Global]\r\n; comment\r\n  HKCU\\Indented=1\r\n9=x\r\nHKCU\\NoValue\r\n"
                                    L"HKCU\\Kept=1\r\n");
    EXPECT_EQ(store_.ReadUserNumber(L"", L"Kept", 0), 1u);
    EXPECT_TRUE(store_.SaveSettingsFile());
    EXPECT_EQ(ReadIni(folders_.ProgramIni()), kGlobalLines + L"HKCU\\Kept=1\r\n");
}

TEST_F(IniSettingsTest, DuplicateNamesReadAndWriteTheFirstAndAreBothKept)
{
    WriteIni(folders_.ProgramIni(), L"HKCU\\Dup\\V=\"first\"\r\nHKCU\\Dup\\A=1\r\nHKCU\\Dup\\V=\"second\"\r\n");
    EXPECT_EQ(ReadUserText(L"Dup", L"V"), L"first");
    store_.WriteUserString(L"Dup", L"V", L"changed");
    EXPECT_EQ(ReadUserText(L"Dup", L"V"), L"changed");
    EXPECT_TRUE(store_.SaveSettingsFile());
    EXPECT_EQ(ReadIni(folders_.ProgramIni()),
              kGlobalLines + L"HKCU\\Dup\\A=1\r\nHKCU\\Dup\\V=\"changed\"\r\nHKCU\\Dup\\V=\"second\"\r\n");
    folders_.Reload();
    EXPECT_EQ(ReadUserText(L"Dup", L"V"), L"changed");
}

TEST_F(IniSettingsTest, KeyDeletionsTakeTheKeyAndItsSubkeysOnly)
{
    WriteIni(folders_.ProgramIni(), kGlobalLines +
                                        L"HKCU\\Setup=1\r\nHKCU\\Setup\\A=1\r\nHKCU\\Setup\\Sub\\B=1\r\n"
                                        L"HKCU\\SetupX\\C=1\r\nHKCU\\Top=1\r\nHKLM\\Setup\\D=1\r\n");
    EXPECT_TRUE(store_.KeyExists(HKEY_CURRENT_USER, L"Setup"));
    store_.DeleteKey(HKEY_CURRENT_USER, L"Setup");
    EXPECT_FALSE(store_.KeyExists(HKEY_CURRENT_USER, L"Setup"));
    EXPECT_TRUE(store_.KeyExists(HKEY_CURRENT_USER, L"SetupX"));
    EXPECT_EQ(store_.ReadUserNumber(L"", L"Setup", 0), 1u);
    EXPECT_EQ(store_.ReadNumber(HKEY_LOCAL_MACHINE, L"Setup", L"D", 0), 1u);

    store_.DeleteKeyTree(HKEY_CURRENT_USER, L"");
    EXPECT_FALSE(store_.KeyExists(HKEY_CURRENT_USER, L""));
    EXPECT_TRUE(store_.SaveSettingsFile());
    EXPECT_EQ(ReadIni(folders_.ProgramIni()), kGlobalLines + L"HKLM\\Setup\\D=1\r\n");
}

TEST_F(IniSettingsTest, DeleteValueTakesOneValueOrWithAnEmptyNameTheWholeKey)
{
    WriteIni(folders_.ProgramIni(), kGlobalLines + L"HKCU\\K=1\r\nHKCU\\K\\=\"default\"\r\nHKCU\\K\\A=1\r\n"
                                                   L"HKCU\\K\\B=1\r\nHKCU\\K\\Sub\\C=1\r\nHKCU\\KX\\D=1\r\n");
    EXPECT_EQ(ReadUserText(L"K", L""), L"default");
    store_.DeleteUserValue(L"K", L"A");
    EXPECT_EQ(store_.ReadUserNumber(L"K", L"A", 0), 0u);
    EXPECT_EQ(store_.ReadUserNumber(L"K", L"B", 0), 1u);
    store_.DeleteUserValue(L"K", L"");
    EXPECT_TRUE(store_.SaveSettingsFile());
    EXPECT_EQ(ReadIni(folders_.ProgramIni()), kGlobalLines + L"HKCU\\K=1\r\nHKCU\\KX\\D=1\r\n");
}

// Fails the system write with the given number (1 is the signature) like a full disk would.
class FailingFile : public FileObject {
public:
    explicit FailingFile(int failingWrite) : failingWrite_(failingWrite) {}

protected:
    BOOL SystemWrite(const void* data, DWORD count, DWORD* written) override
    {
        if (++writes_ != failingWrite_) return FileObject::SystemWrite(data, count, written);
        *written = 0;
        SetLastError(ERROR_DISK_FULL);
        return FALSE;
    }

private:
    int failingWrite_;
    int writes_ = 0;
};

TEST_F(IniSettingsTest, AFailedSaveLeavesThePreviousFileAndNoTemporaryFile)
{
    const std::string before = test::Utf16File(kGlobalLines + L"HKCU\\Setup\\Name=\"old\"\r\n");
    for (int failingWrite : {1, 2, 9}) {
        SCOPED_TRACE(failingWrite);
        test::WriteFileBytes(folders_.ProgramIni(), before);
        folders_.Reload();
        store_.WriteUserString(L"Setup", L"Name", L"new");
        FailingFile file(failingWrite);
        EXPECT_FALSE(Ini().SaveWith(file));
        EXPECT_EQ(test::ReadFileBytes(folders_.ProgramIni()), before);
        EXPECT_EQ(ReadIni(folders_.ProgramIni() + L".tmp"), L"<no file>");
    }
    FailingFile healthy(0);
    EXPECT_TRUE(Ini().SaveWith(healthy));
    EXPECT_EQ(ReadIni(folders_.ProgramIni()), kGlobalLines + L"HKCU\\Setup\\Name=\"new\"\r\n");
    EXPECT_EQ(ReadIni(folders_.ProgramIni() + L".tmp"), L"<no file>");
}

TEST_F(IniSettingsTest, ASaveThatCannotCreateItsTemporaryFileChangesNothing)
{
    const std::string before = test::Utf16File(kGlobalLines);
    test::WriteFileBytes(folders_.ProgramIni(), before);
    CreateDirectoryW((folders_.ProgramIni() + L".tmp").c_str(), nullptr);
    store_.WriteUserNumber(L"", L"A", 1);
    EXPECT_FALSE(store_.SaveSettingsFile());
    EXPECT_EQ(test::ReadFileBytes(folders_.ProgramIni()), before);
    RemoveDirectoryW((folders_.ProgramIni() + L".tmp").c_str());
}

// Run only as a child process from a copy of this program (see below): with Talvex.ini
// beside that copy, the file must be found there and written back when the program ends.
TEST(IniProbe, DISABLED_UsesTheFileBesideTheProgramAndSavesItAtExit)
{
    wchar_t buffer[64];
    Settings().ReadUserString(L"Probe", L"In", buffer, L"<default>", 64);
    ASSERT_TRUE(Ini().IsInUse());
    EXPECT_STREQ(buffer, L"beside the program");
    Settings().WriteUserString(L"Probe", L"Out", L"written at exit");
}

DWORD RunProbe(const std::wstring& program)
{
    std::wstring commandLine = L"\"" + program + L"\" --gtest_filter=IniProbe.* --gtest_also_run_disabled_tests";
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    startup.dwFlags = STARTF_USESTDHANDLES;
    PROCESS_INFORMATION process{};
    if (!CreateProcessW(program.c_str(), commandLine.data(), nullptr, nullptr, FALSE, CREATE_NO_WINDOW, nullptr,
                        nullptr, &startup, &process)) return 0xDEAD;
    KernelHandle processHandle(process.hProcess);
    KernelHandle threadHandle(process.hThread);
    if (WaitForSingleObject(processHandle.get(), 120000) != WAIT_OBJECT_0) {
        TerminateProcess(processHandle.get(), 0xBAD);
        return 0xBAD;
    }
    DWORD exitCode = 0xDEAD;
    GetExitCodeProcess(processHandle.get(), &exitCode);
    return exitCode;
}

TEST(IniSettingsProcess, TheFileBesideTheRunningProgramIsFoundAndWrittenBackAtExit)
{
    test::ScratchFolder folder(L"tvx-ini-probe");
    wchar_t self[MAX_PATH];
    ASSERT_GT(GetModuleFileNameW(nullptr, self, MAX_PATH), 0u);
    const std::wstring copy = folder / L"probe.exe";
    ASSERT_TRUE(CopyFileW(self, copy.c_str(), FALSE));
    WriteIni(folder / L"Talvex.ini", L"HKCU\\Probe\\In=\"beside the program\"\r\n");

    EXPECT_EQ(RunProbe(copy), 0u);
    EXPECT_EQ(ReadIni(folder / L"Talvex.ini"),
              kGlobalLines + L"HKCU\\Probe\\In=\"beside the program\"\r\nHKCU\\Probe\\Out=\"written at exit\"\r\n");
}

}  // namespace
}  // namespace tvx
