#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "integration/shell_extension.h"
#include "settings/settings_store.h"
#include "integration_fixture.h"
#include "support/scratch.h"
#include "uninstall/run_options.h"

namespace tvx {
namespace {

constexpr REGSAM kView32 = KEY_WOW64_32KEY;
constexpr REGSAM kView64 = KEY_WOW64_64KEY;
const std::wstring kClsid32 = L"{5A3C9E10-7B21-4D8F-A4C6-2E9B0D7F1C35}";
const std::wstring kClsid64 = L"{5A3C9E10-7B21-4D8F-A4C6-2E9B0D7F1C64}";
const wchar_t kApproved[] = L"Software\\Microsoft\\Windows\\CurrentVersion\\Shell Extensions\\Approved";

// The handler lists that exist on every Windows before the program comes.
const wchar_t* const kSystemHandlerKeys[] = {
    L"*\\shellex\\ContextMenuHandlers",      L"Folder\\shellex\\ContextMenuHandlers",
    L"Folder\\shellex\\DragDropHandlers",    L"Drive\\shellex\\DragDropHandlers",
    L"lnkfile\\shellex\\ContextMenuHandlers", L"exefile\\shellex\\PropertySheetHandlers",
    L"Directory\\shellex\\ContextMenuHandlers", L"Directory\\shellex\\DragDropHandlers"};

BOOL WINAPI ReportNative32Bit(HANDLE, PBOOL wow64)
{
    *wow64 = FALSE;
    return TRUE;
}

IntegrationOptions WithShellExtension(bool on)
{
    IntegrationOptions options{};
    options.shellExt = on;
    return options;
}

// Adds a key with its missing parents and one value to a dump.
void AddKey(std::vector<std::wstring>& lines, const std::wstring& key, const std::wstring& value)
{
    for (size_t end = key.find(L'\\'); ; end = key.find(L'\\', end + 1)) {
        std::wstring parent = key.substr(0, end);
        if (std::find(lines.begin(), lines.end(), parent) == lines.end()) lines.push_back(parent);
        if (end == std::wstring::npos) break;
    }
    lines.push_back(key + L"|" + value);
}

bool Contains(const std::vector<std::wstring>& lines, const std::wstring& line)
{
    return std::find(lines.begin(), lines.end(), line) != lines.end();
}

// The registry of a machine with another program's entries, in a sandbox.
class ShellExtensionSandboxTest : public ::testing::Test {
protected:
    ShellExtensionSandboxTest()
    {
        for (const wchar_t* key : kSystemHandlerKeys) test::RegWriteString(HKEY_CLASSES_ROOT, key, L"", L"");
        test::RegWriteString(HKEY_CLASSES_ROOT, L"CLSID", L"", L"");
        test::RegWriteString(HKEY_CLASSES_ROOT, L"*\\shellex\\ContextMenuHandlers\\Other", L"", L"{0THER}");
        test::RegWriteString(HKEY_LOCAL_MACHINE, kApproved, L"{0THER}", L"Other extension");
        test::RegWriteString(HKEY_LOCAL_MACHINE, L"Software\\RegisteredApplications", L"Other", L"Software\\Other");
        classesBefore_ = test::DumpRegistry(HKEY_CLASSES_ROOT, L"");
        machineBefore_ = test::DumpRegistry(HKEY_LOCAL_MACHINE, L"");
    }
    ~ShellExtensionSandboxTest() override { SetWow64QueryForTesting(nullptr); }

    void ExpectMachineAsBefore()
    {
        std::vector<std::wstring> classes = test::DumpRegistry(HKEY_CLASSES_ROOT, L"");
        std::vector<std::wstring> machine = test::DumpRegistry(HKEY_LOCAL_MACHINE, L"");
        EXPECT_EQ(classes, classesBefore_) << test::DescribeChange(classesBefore_, classes).c_str();
        EXPECT_EQ(machine, machineBefore_) << test::DescribeChange(machineBefore_, machine).c_str();
    }

    test::ProgramFolder program_{L"tvx-shellext", {L"tvxext.dll", L"tvxext64.dll"}};
    test::RegistrySandbox sandbox_;
    std::vector<std::wstring> classesBefore_;
    std::vector<std::wstring> machineBefore_;
};

TEST_F(ShellExtensionSandboxTest, On32BitWindowsOnlyTheOwnLibraryIsRegisteredAndTakenBack)
{
    SetWow64QueryForTesting(ReportNative32Bit);
    UpdateShellRegistration(IntegrationDirection::Setup, WithShellExtension(true));

    std::vector<std::wstring> classes = test::DumpRegistry(HKEY_CLASSES_ROOT, L"");
    std::vector<std::wstring> expected = classesBefore_;
    AddKey(expected, L"CLSID\\" + kClsid32, L"@=Talvex");
    AddKey(expected, L"CLSID\\" + kClsid32 + L"\\InProcServer32", L"@=" + program_.File(L"tvxext.dll"));
    AddKey(expected, L"CLSID\\" + kClsid32 + L"\\InProcServer32", L"ThreadingModel=Apartment");
    for (const wchar_t* list : {L"Talvex\\shellex\\ContextMenuHandlers\\", L"Talvex\\shellex\\PropertySheetHandlers\\",
                                L"Talvex.ZIP\\shellex\\ContextMenuHandlers\\", L"Talvex.ZIP\\shellex\\PropertySheetHandlers\\",
                                L"exefile\\shellex\\PropertySheetHandlers\\"})
        AddKey(expected, list + kClsid32, L"@=");
    for (const wchar_t* key : {L"Talvex\\shellex\\DropHandler", L"Talvex.ZIP\\shellex\\DropHandler",
                               L"*\\shellex\\ContextMenuHandlers\\Talvex", L"Folder\\shellex\\ContextMenuHandlers\\Talvex",
                               L"Folder\\shellex\\DragDropHandlers\\Talvex", L"Drive\\shellex\\DragDropHandlers\\Talvex",
                               L"lnkfile\\shellex\\ContextMenuHandlers\\Talvex"})
        AddKey(expected, key, L"@=" + kClsid32);
    std::sort(expected.begin(), expected.end());
    EXPECT_EQ(classes, expected) << test::DescribeChange(expected, classes).c_str();

    std::vector<std::wstring> machine = test::DumpRegistry(HKEY_LOCAL_MACHINE, L"");
    EXPECT_TRUE(Contains(machine, std::wstring(kApproved) + L"|" + kClsid32 + L"=Talvex shell extension"));
    EXPECT_FALSE(Contains(machine, std::wstring(kApproved) + L"|" + kClsid64 + L"=Talvex shell extension"));
    EXPECT_TRUE(Contains(machine, L"Software\\RegisteredApplications|Talvex=Software\\Talvex\\Capabilities"));
    EXPECT_TRUE(Contains(machine, L"Software\\Talvex\\Capabilities|ApplicationDescription=Talvex"));
    EXPECT_TRUE(Contains(machine, L"Software\\Talvex\\Capabilities\\FileAssociations|.tbz2=Talvex"));
    EXPECT_TRUE(Contains(machine, L"Software\\Talvex\\Capabilities\\FileAssociations|.zip=Talvex.ZIP"));
    size_t associations = std::count_if(machine.begin(), machine.end(), [](const std::wstring& line) {
        return line.rfind(L"Software\\Talvex\\Capabilities\\FileAssociations|", 0) == 0;
    });
    EXPECT_EQ(associations, 27u) << "every extension of all seventeen types";
    for (REGSAM view : {kView32, kView64}) {
        EXPECT_FALSE(test::RegKeyExists(HKEY_CLASSES_ROOT, L"CLSID\\" + kClsid32, view)) << "nothing outside the sandbox";
        EXPECT_FALSE(test::RegKeyExists(HKEY_CLASSES_ROOT, L"CLSID\\" + kClsid64, view));
    }

    UpdateShellRegistration(IntegrationDirection::Remove, IntegrationOptions{});
    // The file types themselves go with the uninstaller's deletion of the class keys.
    for (const wchar_t* type : {L"Talvex", L"Talvex.ZIP"}) test::RegDeleteTree(HKEY_CLASSES_ROOT, type);
    ExpectMachineAsBefore();
}

TEST_F(ShellExtensionSandboxTest, ExtensionSwitchedOffAtSetupLeavesNoEntryOfEitherLibrary)
{
    UpdateShellRegistration(IntegrationDirection::Setup, WithShellExtension(true));
    for (const wchar_t* key : {L"Directory\\shellex\\ContextMenuHandlers\\Talvex32", L"Directory\\shellex\\DragDropHandlers\\Talvex"})
        test::RegWriteString(HKEY_CLASSES_ROOT, key, L"", kClsid32);

    UpdateShellRegistration(IntegrationDirection::Setup, WithShellExtension(false));
    std::vector<std::wstring> classes = test::DumpRegistry(HKEY_CLASSES_ROOT, L"");
    for (const std::wstring& line : classes) {
        bool handlerEntry = line.ends_with(L"Handlers\\Talvex") || line.ends_with(L"Handlers\\Talvex32") ||
                            line.find(L"shellex\\DropHandler") != std::wstring::npos;
        EXPECT_FALSE(handlerEntry) << line;
        EXPECT_EQ(line.find(L"{5A3C9E10"), std::wstring::npos) << line;
    }
    std::vector<std::wstring> machine = test::DumpRegistry(HKEY_LOCAL_MACHINE, L"");
    EXPECT_FALSE(Contains(machine, std::wstring(kApproved) + L"|" + kClsid32 + L"=Talvex shell extension"));
    EXPECT_FALSE(Contains(machine, std::wstring(kApproved) + L"|" + kClsid64 + L"=Talvex shell extension"));
    EXPECT_TRUE(Contains(machine, L"Software\\RegisteredApplications|Talvex=Software\\Talvex\\Capabilities"))
        << "the capabilities stay registered";
    for (REGSAM view : {kView32, kView64}) EXPECT_FALSE(test::RegKeyExists(HKEY_CLASSES_ROOT, L"CLSID\\" + kClsid64, view));
}

TEST_F(ShellExtensionSandboxTest, MissingLibraryStillGetsItsHandlersButNoClassKey)
{
    SetWow64QueryForTesting(ReportNative32Bit);
    DeleteFileW(program_.File(L"tvxext.dll").c_str());
    UpdateShellRegistration(IntegrationDirection::Setup, WithShellExtension(true));
    EXPECT_FALSE(test::RegKeyExists(HKEY_CLASSES_ROOT, L"CLSID\\" + kClsid32));
    std::wstring handler;
    test::RegReadValue(HKEY_CLASSES_ROOT, L"Drive\\shellex\\DragDropHandlers\\Talvex", L"", &handler);
    EXPECT_EQ(handler, kClsid32);
    std::wstring approval;
    test::RegReadValue(HKEY_LOCAL_MACHINE, kApproved, kClsid32, &approval);
    EXPECT_EQ(approval, L"Talvex shell extension");
}

TEST(SelectRegistryView, ReachesThe64BitViewOnlyUnderWow64)
{
    test::ProgramFolder program{L"tvx-view", {}};
    const std::wstring key = L"\\Software\\TvxIntegrationViewTest";
    auto writeWith = [&](bool want64) {
        SelectRegistryView(want64);
        Settings().WriteString(HKEY_LOCAL_MACHINE, key.c_str(), L"", L"x");
        SelectRegistryView(false);
    };
    for (REGSAM view : {kView32, kView64}) test::RegDeleteTree(HKEY_LOCAL_MACHINE, key.substr(1), view);
    writeWith(true);
    EXPECT_TRUE(test::RegKeyExists(HKEY_LOCAL_MACHINE, key.substr(1), kView64));
    EXPECT_FALSE(test::RegKeyExists(HKEY_LOCAL_MACHINE, key.substr(1), kView32));
    test::RegDeleteTree(HKEY_LOCAL_MACHINE, key.substr(1), kView64);

    SetWow64QueryForTesting(ReportNative32Bit);
    writeWith(true);
    SetWow64QueryForTesting(nullptr);
    EXPECT_TRUE(test::RegKeyExists(HKEY_LOCAL_MACHINE, key.substr(1), kView32));
    EXPECT_FALSE(test::RegKeyExists(HKEY_LOCAL_MACHINE, key.substr(1), kView64));
    for (REGSAM view : {kView32, kView64}) test::RegDeleteTree(HKEY_LOCAL_MACHINE, key.substr(1), view);
}

// The registry views cannot be sandboxed: these run in the test prefix's own registry, which
// is scrubbed of every entry of the program first and last. Wine's prefix is 64-bit, so this
// 32-bit test program runs under WOW64 as on real 64-bit Windows.
class ShellExtensionPrefixTest : public ::testing::Test {
protected:
    ShellExtensionPrefixTest() { test::ScrubPrefixRegistry(); }
    ~ShellExtensionPrefixTest() override { test::ScrubPrefixRegistry(); }

    static std::wstring Read(const std::wstring& key, const wchar_t* value = L"", REGSAM view = 0)
    {
        std::wstring text = L"<none>";
        test::RegReadValue(HKEY_CLASSES_ROOT, key, value, &text, nullptr, view);
        return text;
    }

    test::ProgramFolder program_{L"tvx-shellext-prefix", {L"tvxext.dll", L"tvxext64.dll"}};
};

TEST_F(ShellExtensionPrefixTest, Under64BitWindowsBothLibrariesAreRegisteredEachInItsView)
{
    ASSERT_TRUE(RunningUnderWow64()) << "the test prefix is expected to be 64-bit";
    UpdateShellRegistration(IntegrationDirection::Setup, WithShellExtension(true));

    EXPECT_EQ(Read(L"CLSID\\" + kClsid32 + L"\\InProcServer32", L"", kView32), program_.File(L"tvxext.dll"));
    EXPECT_EQ(Read(L"CLSID\\" + kClsid64 + L"\\InProcServer32", L"", kView64), program_.File(L"tvxext64.dll"));
    EXPECT_EQ(Read(L"CLSID\\" + kClsid64 + L"\\InProcServer32", L"ThreadingModel", kView64), L"Apartment");
    EXPECT_FALSE(test::RegKeyExists(HKEY_CLASSES_ROOT, L"CLSID\\" + kClsid64, kView32));
    EXPECT_FALSE(test::RegKeyExists(HKEY_CLASSES_ROOT, L"CLSID\\" + kClsid32, kView64));
    EXPECT_EQ(Read(L"*\\shellex\\ContextMenuHandlers\\Talvex32"), kClsid32);
    EXPECT_EQ(Read(L"*\\shellex\\ContextMenuHandlers\\Talvex"), kClsid64);
    EXPECT_EQ(Read(L"Talvex\\shellex\\DropHandler"), kClsid64);
    EXPECT_EQ(Read(L"Talvex.ZIP\\shellex\\DropHandler"), kClsid64);
    EXPECT_EQ(Read(L"exefile\\shellex\\PropertySheetHandlers\\" + kClsid64), L"");
    for (const std::wstring& clsid : {kClsid32, kClsid64}) {
        std::wstring approval;
        test::RegReadValue(HKEY_LOCAL_MACHINE, kApproved, clsid, &approval);
        EXPECT_EQ(approval, L"Talvex shell extension") << clsid.c_str();
    }

    UpdateShellRegistration(IntegrationDirection::Remove, IntegrationOptions{});
    for (const std::wstring& clsid : {kClsid32, kClsid64})
        for (REGSAM view : {kView32, kView64})
            EXPECT_FALSE(test::RegKeyExists(HKEY_CLASSES_ROOT, L"CLSID\\" + clsid, view)) << clsid.c_str() << " " << view;
    EXPECT_EQ(Read(L"*\\shellex\\ContextMenuHandlers\\Talvex32"), L"<none>");
    EXPECT_EQ(Read(L"Folder\\shellex\\DragDropHandlers\\Talvex"), L"<none>");
    EXPECT_FALSE(test::RegKeyExists(HKEY_CLASSES_ROOT, L"Talvex\\shellex\\DropHandler"));
    EXPECT_FALSE(test::RegKeyExists(HKEY_LOCAL_MACHINE, L"Software\\Talvex", kView32));
    EXPECT_EQ(test::RegReadValue(HKEY_LOCAL_MACHINE, L"Software\\RegisteredApplications", L"Talvex", nullptr), REG_NONE);
}

}  // namespace
}  // namespace tvx
