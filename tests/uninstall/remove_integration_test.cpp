// RemoveIntegration in a registry sandbox: what setup left is taken back, former handlers
// return, and an installer package keeps its uninstall entry and application path.
#include <gtest/gtest.h>
#include <objbase.h>
#include <string>
#include "support/scratch.h"
#include "uninstall/remove_integration.h"
#include "uninstall/run_options.h"

namespace tvx::test {
namespace {

const wchar_t kUninstallEntry[] =
    L"Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\Talvex archiver";
const wchar_t kOtherEntry[] = L"Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\Other";
const wchar_t kAppPaths[] = L"Software\\Microsoft\\Windows\\CurrentVersion\\App Paths\\Talvex.exe";

class SetupLeftovers : public testing::Test {
protected:
    SetupLeftovers()
    {
        CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
        for (const wchar_t* type : {L"Talvex", L"Talvex.ZIP", L"Talvex.REV"}) {
            RegWriteString(HKEY_CLASSES_ROOT, std::wstring(type) + L"\\shell\\open\\command", L"",
                           L"x");
        }
        RegWriteString(HKEY_CLASSES_ROOT, L".rev", L"", L"Talvex.REV");
        RegWriteString(HKEY_CLASSES_ROOT, L".zip", L"", L"Talvex.ZIP");
        RegWriteNumber(HKEY_CURRENT_USER, L"Software\\Talvex\\Setup\\.zip", L"Exist", 1);
        RegWriteString(HKEY_CURRENT_USER, L"Software\\Talvex\\Setup\\.zip", L"Type", L"OtherZip");
        RegWriteString(HKEY_LOCAL_MACHINE, L"Software\\Talvex", L"exe32", L"C:\\T\\Talvex.exe");
        RegWriteString(HKEY_LOCAL_MACHINE, kUninstallEntry, L"DisplayName", L"Talvex");
        RegWriteString(HKEY_LOCAL_MACHINE, kAppPaths, L"", L"C:\\T\\Talvex.exe");
        RegWriteString(HKEY_CLASSES_ROOT, L".txt", L"", L"txtfile");
        RegWriteString(HKEY_CURRENT_USER, L"Software\\Other", L"", L"kept");
        RegWriteString(HKEY_LOCAL_MACHINE, kOtherEntry, L"DisplayName", L"Other");
    }
    ~SetupLeftovers() override
    {
        Options().msi = false;
        CoUninitialize();
    }

    void ExpectCommonStepsDone()
    {
        for (const wchar_t* key : {L"Talvex", L"Talvex.ZIP", L"Talvex.REV", L".rev"}) {
            EXPECT_FALSE(RegKeyExists(HKEY_CLASSES_ROOT, key))
                << testing::PrintToString(std::wstring(key));
        }
        std::wstring zip;
        RegReadValue(HKEY_CLASSES_ROOT, L".zip", L"", &zip);
        EXPECT_EQ(zip, L"OtherZip") << "the former handler is back";
        EXPECT_FALSE(RegKeyExists(HKEY_CURRENT_USER, L"Software\\Talvex"));
        EXPECT_FALSE(RegKeyExists(HKEY_LOCAL_MACHINE, L"Software\\Talvex"));
        EXPECT_TRUE(RegKeyExists(HKEY_CLASSES_ROOT, L".txt"));
        EXPECT_TRUE(RegKeyExists(HKEY_CURRENT_USER, L"Software\\Other"));
        EXPECT_TRUE(RegKeyExists(HKEY_LOCAL_MACHINE, kOtherEntry));
    }

    RegistrySandbox sandbox_;
};

TEST_F(SetupLeftovers, EverythingGoes)
{
    RemoveIntegration();
    ExpectCommonStepsDone();
    EXPECT_FALSE(RegKeyExists(HKEY_LOCAL_MACHINE, kUninstallEntry));
    EXPECT_FALSE(RegKeyExists(HKEY_LOCAL_MACHINE, kAppPaths));
}

TEST_F(SetupLeftovers, InstallerPackageKeepsItsEntryAndApplicationPath)
{
    Options().msi = true;
    RemoveIntegration();
    ExpectCommonStepsDone();
    EXPECT_TRUE(RegKeyExists(HKEY_LOCAL_MACHINE, kUninstallEntry));
    EXPECT_TRUE(RegKeyExists(HKEY_LOCAL_MACHINE, kAppPaths));
}

TEST_F(SetupLeftovers, UninstallEntryWithSubkeysStays)
{
    RegWriteString(HKEY_LOCAL_MACHINE, std::wstring(kUninstallEntry) + L"\\Extra", L"", L"x");
    RemoveIntegration();
    EXPECT_TRUE(RegKeyExists(HKEY_LOCAL_MACHINE, kUninstallEntry)) << "a single key deletion";
    EXPECT_FALSE(RegKeyExists(HKEY_LOCAL_MACHINE, kAppPaths));
}

}  // namespace
}  // namespace tvx::test
