// Setup by a user without rights on the machine's registry (its hive and its classes), the
// steps of the settings dialog's OK in their order. Nothing may be half-registered: the
// machine's keys, the classes and the shortcuts stay exactly as they were, and of the
// user's settings only the choices change.
#include <gtest/gtest.h>

#include <shlobj.h>
#include <string>
#include <vector>

#include "dialogs/completion_dialog.h"
#include "integration/apply_options.h"
#include "integration/associations.h"
#include "integration/integration_options.h"
#include "common/strings.h"
#include "integration_fixture.h"
#include "settings/settings_store.h"
#include "support/scratch.h"

namespace tvx {
namespace {

class DeniedSetup : public ::testing::Test {
protected:
    DeniedSetup()
    {
        CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
        test::RemovePrefixShortcuts();
        test::RegWriteString(HKEY_CLASSES_ROOT, L".zip", L"", L"CompressedFolder");
        test::RegWriteString(HKEY_CLASSES_ROOT, L".ace", L"", L"Talvex");  // left by an old version
        test::RegWriteString(HKEY_LOCAL_MACHINE, L"Software\\RegisteredApplications", L"Other", L"x");
        test::RegWriteString(HKEY_CURRENT_USER, L"Software\\Talvex\\Interface", L"Theme", L"dark");
    }
    ~DeniedSetup() override
    {
        DenyRegistryWritesForTesting(nullptr, nullptr);
        test::RemovePrefixShortcuts();
        CoUninitialize();
    }

    static bool AnyShortcut()
    {
        auto exists = [](int csidl, const wchar_t* name) {
            return GetFileAttributesW((test::ShellFolder(csidl) + name).c_str()) != INVALID_FILE_ATTRIBUTES;
        };
        for (int csidl : {CSIDL_DESKTOPDIRECTORY, CSIDL_COMMON_DESKTOPDIRECTORY, CSIDL_STARTMENU,
                          CSIDL_COMMON_STARTMENU})
            if (exists(csidl, L"\\Talvex.lnk")) return true;
        return exists(CSIDL_PROGRAMS, L"\\Talvex") || exists(CSIDL_COMMON_PROGRAMS, L"\\Talvex");
    }

    test::ProgramFolder program_{L"tvx-denied-setup", {L"Talvex.exe", L"tvxext.dll"}};
    test::RegistrySandbox sandbox_;
};

TEST_F(DeniedSetup, ChangesNothingButTheUsersChoices)
{
    const std::vector<std::wstring> classesBefore = test::DumpRegistry(HKEY_CLASSES_ROOT, L"");
    const std::vector<std::wstring> machineBefore = test::DumpRegistry(HKEY_LOCAL_MACHINE, L"");
    DenyRegistryWritesForTesting(HKEY_LOCAL_MACHINE, L"");
    DenyRegistryWritesForTesting(HKEY_CLASSES_ROOT, L"");

    IntegrationOptions options{};
    for (size_t row = 0; row < kArchiveTypeCount; ++row) options.associate[row] = 1;
    options.desktop = options.startMenu = options.programs = options.shellExt = 1;
    wchar_t groupFolder[kPathCapacity] = L"";
    SaveIntegrationOptions(options);
    EXPECT_FALSE(ApplyIntegrationOptions(options, groupFolder, kPathCapacity));
    WriteUninstallEntry();
    AssociateExtension(L".ace", false, false, false, false);

    const std::vector<std::wstring> classesAfter = test::DumpRegistry(HKEY_CLASSES_ROOT, L"");
    const std::vector<std::wstring> machineAfter = test::DumpRegistry(HKEY_LOCAL_MACHINE, L"");
    EXPECT_EQ(classesAfter, classesBefore) << test::DescribeChange(classesBefore, classesAfter).c_str();
    EXPECT_EQ(machineAfter, machineBefore) << test::DescribeChange(machineBefore, machineAfter).c_str();
    EXPECT_FALSE(AnyShortcut());
    EXPECT_STREQ(groupFolder, L"") << "no program group to open";
    EXPECT_EQ(test::RegReadValue(HKEY_CURRENT_USER, L"Software\\Talvex\\Setup\\.zip", L"Type", nullptr),
              static_cast<DWORD>(REG_NONE))
        << "no former handler saved for an extension that was not taken";
    std::wstring theme;
    test::RegReadValue(HKEY_CURRENT_USER, L"Software\\Talvex\\Interface", L"Theme", &theme);
    EXPECT_EQ(theme, L"dark");
    DWORD shellExt = 0;
    EXPECT_EQ(test::RegReadValue(HKEY_CURRENT_USER, L"Software\\Talvex\\Setup", L"ShellExt", nullptr,
                                 &shellExt),
              static_cast<DWORD>(REG_DWORD));
    EXPECT_EQ(shellExt, 1u) << "the choices are kept for the next setup";
}

}  // namespace
}  // namespace tvx
