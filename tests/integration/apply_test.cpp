#include <gtest/gtest.h>

#include <shlobj.h>
#include <algorithm>
#include <string>
#include <vector>

#include "common/handles.h"
#include "common/strings.h"
#include "integration/apply_options.h"
#include "integration/associations.h"
#include "integration/file_types.h"
#include "integration/shell_extension.h"
#include "integration/shortcuts.h"
#include "integration_fixture.h"
#include "language/localized_strings.h"
#include "settings/settings_store.h"
#include "support/scratch.h"

namespace tvx {
namespace {

const wchar_t kAppPaths[] = L"Software\\Microsoft\\Windows\\CurrentVersion\\App Paths";
const wchar_t kApproved[] = L"Software\\Microsoft\\Windows\\CurrentVersion\\Shell Extensions\\Approved";
const wchar_t kClsid32[] = L"{5A3C9E10-7B21-4D8F-A4C6-2E9B0D7F1C35}";

IntegrationOptions Everything()
{
    IntegrationOptions options{};
    for (size_t row = 0; row < kArchiveTypeCount; ++row) options.associate[row] = 1;
    options.desktop = options.startMenu = options.programs = options.shellExt = 1;
    options.cascadedMenu = options.menuIcons = 1;
    return options;
}

bool Exists(const std::wstring& path) { return GetFileAttributesW(path.c_str()) != INVALID_FILE_ATTRIBUTES; }

// RemoveIntegration's passes and deletions, as the uninstaller runs them with the all-off
// record (the uninstall entry left aside).
void RemoveAsTheUninstallerDoes()
{
    const IntegrationOptions allOff{};
    AssociateAllTypes(allOff);
    UpdateShellRegistration(IntegrationDirection::Remove, allOff);
    UpdateShortcuts(allOff, nullptr, 0, nullptr);
}

void DeleteWhatTheUninstallerDeletesByName()
{
    for (const wchar_t* type : {L"Talvex", L"Talvex.ZIP", L"Talvex.REV", L".rev"})
        Settings().DeleteKeyTree(HKEY_CLASSES_ROOT, type);
    Settings().DeleteKeyTree(HKEY_CURRENT_USER, L"");
    Settings().DeleteKey(HKEY_LOCAL_MACHINE, L"\\SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\App Paths\\Talvex.exe");
}

// A machine where other programs hold some archive types, in a registry sandbox; shortcuts
// land in the test prefix's own folders, cleared first and last.
class ApplySandboxTest : public ::testing::Test {
protected:
    ApplySandboxTest()
    {
        CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
        test::RemovePrefixShortcuts();
        for (const wchar_t* key : {L"CLSID", L"*\\shellex\\ContextMenuHandlers", L"Folder\\shellex\\ContextMenuHandlers",
                                   L"Folder\\shellex\\DragDropHandlers", L"Drive\\shellex\\DragDropHandlers",
                                   L"lnkfile\\shellex\\ContextMenuHandlers", L"exefile\\shellex\\PropertySheetHandlers"})
            test::RegWriteString(HKEY_CLASSES_ROOT, key, L"", L"");
        Hold(L".zip", L"", L"CompressedFolder");
        Hold(L".zip\\ShellNew", L"NullFile", L"");
        Hold(L".tvx", L"", L"OldTvx.File");
        Hold(L".tvx\\ShellNew", L"FileName", L"C:\\Old\\empty.tvx");
        Hold(L".iso", L"", L"DiscTool.iso");
        Hold(L".cab", L"", L"CABFolder");
        Hold(L".cab\\OpenWithProgids", L"CABFolder", L"");
        Hold(L".t50", L"", L"Other.Volume");
        test::RegWriteString(HKEY_LOCAL_MACHINE, kApproved, L"{0THER}", L"Other extension");
        test::RegWriteString(HKEY_LOCAL_MACHINE, L"Software\\RegisteredApplications", L"Other", L"Software\\Other");
        test::RegWriteString(HKEY_LOCAL_MACHINE, std::wstring(kAppPaths) + L"\\other.exe", L"", L"C:\\other.exe");
        classesBefore_ = test::DumpRegistry(HKEY_CLASSES_ROOT, L"");
        machineBefore_ = test::DumpRegistry(HKEY_LOCAL_MACHINE, L"");
    }
    ~ApplySandboxTest() override
    {
        DenyRegistryWritesForTesting(nullptr, nullptr);
        test::RemovePrefixShortcuts();
        CoUninitialize();
    }

    static void Hold(const wchar_t* key, const wchar_t* value, const wchar_t* text)
    {
        test::RegWriteString(HKEY_CLASSES_ROOT, key, value, text);
    }
    static std::wstring Read(HKEY hive, const std::wstring& key, const wchar_t* value = L"")
    {
        std::wstring text = L"<none>";
        DWORD number = 0;
        if (test::RegReadValue(hive, key, value, &text, &number) == REG_DWORD) return L"#" + std::to_wstring(number);
        return text;
    }
    static std::wstring Saved(const wchar_t* extension, const wchar_t* value)
    {
        return Read(HKEY_CURRENT_USER, std::wstring(L"Software\\Talvex\\Setup\\") + extension, value);
    }
    std::wstring Folder(int csidl) const { return test::ShellFolder(csidl); }
    bool AnyShortcut() const
    {
        for (int csidl : {CSIDL_DESKTOPDIRECTORY, CSIDL_COMMON_DESKTOPDIRECTORY, CSIDL_STARTMENU, CSIDL_COMMON_STARTMENU})
            if (Exists(Folder(csidl) + L"\\Talvex.lnk")) return true;
        return Exists(Folder(CSIDL_PROGRAMS) + L"\\Talvex") || Exists(Folder(CSIDL_COMMON_PROGRAMS) + L"\\Talvex");
    }
    void ExpectUnchanged(HKEY hive, const std::vector<std::wstring>& before)
    {
        std::vector<std::wstring> now = test::DumpRegistry(hive, L"");
        EXPECT_EQ(now, before) << test::DescribeChange(before, now).c_str();
    }

    test::ProgramFolder program_{L"tvx-apply",
                                 {L"Talvex.exe", L"Talvex.chm", L"Tvx.txt", L"WhatsNew.txt", L"tvxext.dll", L"own.ico"}};
    test::RegistrySandbox sandbox_;
    std::vector<std::wstring> classesBefore_;
    std::vector<std::wstring> machineBefore_;
};

TEST_F(ApplySandboxTest, SetupWritesTheWholeFootprint)
{
    test::RegWriteString(HKEY_CURRENT_USER, L"Software\\Talvex\\Interface\\Themes", L"ShellExtIcon",
                         program_.File(L"own.ico"));
    wchar_t groupFolder[kPathCapacity] = L"";
    ASSERT_TRUE(ApplyIntegrationOptions(Everything(), groupFolder, kPathCapacity));
    const std::wstring exe = program_.File(L"Talvex.exe");

    wchar_t extension[kExtensionCapacity];
    int extensions = 0;
    for (size_t row = 0; row < kArchiveTypeCount; ++row)
        for (const wchar_t* next = ArchiveTypeTable[row].extensionGroup;
             (next = NextExtension(next, extension, kExtensionCapacity)) != nullptr; ++extensions) {
            EXPECT_EQ(Read(HKEY_CLASSES_ROOT, extension), ArchiveTypeTable[row].fileType) << extension;
            EXPECT_NE(Saved(extension, L"Exist"), L"<none>") << extension;
        }
    EXPECT_EQ(extensions, 27);
    EXPECT_EQ(Saved(L".zip", L"Type") + L"|" + Saved(L".zip", L"ShellNew"), L"CompressedFolder|*");
    EXPECT_EQ(Saved(L".tvx", L"Type") + L"|" + Saved(L".tvx", L"ShellNew"), L"OldTvx.File|C:\\Old\\empty.tvx");
    EXPECT_EQ(Saved(L".lzh", L"Exist") + L"|" + Saved(L".lzh", L"Type"), L"#0|");
    EXPECT_EQ(Read(HKEY_CLASSES_ROOT, L".tvx\\ShellNew", L"FileName"), program_.File(L"tvxnew.dat"));
    EXPECT_EQ(Read(HKEY_CLASSES_ROOT, L".zip\\ShellNew", L"FileName"), program_.File(L"zipnew.dat"));
    EXPECT_EQ(Read(HKEY_CLASSES_ROOT, L".t29"), L"Talvex");
    EXPECT_EQ(Read(HKEY_CLASSES_ROOT, L".t30"), L"<none>");

    EXPECT_EQ(Read(HKEY_CLASSES_ROOT, L"Talvex"), GetLocalizedString(IDS_TALVEXARC));
    EXPECT_EQ(Read(HKEY_CLASSES_ROOT, L"Talvex.ZIP\\shell\\open\\command"), L"\"" + exe + L"\" \"%1\"");
    EXPECT_EQ(Read(HKEY_CLASSES_ROOT, L"Talvex.ZIP\\DefaultIcon"), exe + L",0");
    EXPECT_EQ(Read(HKEY_CLASSES_ROOT, L"Talvex.REV\\DefaultIcon"), exe + L",1");
    EXPECT_EQ(Read(HKEY_CLASSES_ROOT, L".rev"), L"Talvex.REV");
    EXPECT_EQ(Read(HKEY_CLASSES_ROOT, std::wstring(L"CLSID\\") + kClsid32 + L"\\InProcServer32"), program_.File(L"tvxext.dll"));
    EXPECT_EQ(Read(HKEY_LOCAL_MACHINE, kApproved, kClsid32), L"Talvex shell extension");
    EXPECT_EQ(Read(HKEY_LOCAL_MACHINE, L"Software\\RegisteredApplications", L"Talvex"), L"Software\\Talvex\\Capabilities");
    EXPECT_EQ(Read(HKEY_LOCAL_MACHINE, std::wstring(kAppPaths) + L"\\Talvex.exe"), exe);
    EXPECT_EQ(Read(HKEY_LOCAL_MACHINE, std::wstring(kAppPaths) + L"\\Talvex.exe", L"Path"), program_.Path());
    EXPECT_EQ(Read(HKEY_LOCAL_MACHINE, L"Software\\Talvex", L"exe32"), exe);

    EXPECT_EQ(std::wstring(groupFolder), Folder(CSIDL_COMMON_PROGRAMS) + L"\\Talvex");
    EXPECT_TRUE(Exists(Folder(CSIDL_COMMON_DESKTOPDIRECTORY) + L"\\Talvex.lnk"));
    EXPECT_TRUE(Exists(Folder(CSIDL_PROGRAMS) + L"\\Talvex\\Talvex.lnk"));
}

TEST_F(ApplySandboxTest, RemovalLeavesTheRegistryAsItWasBeforeSetup)
{
    wchar_t groupFolder[kPathCapacity] = L"";
    ASSERT_TRUE(ApplyIntegrationOptions(Everything(), groupFolder, kPathCapacity));
    ASSERT_TRUE(ApplyIntegrationOptions(Everything(), groupFolder, kPathCapacity)) << "setup run twice";

    // The volume keys that setup took go to the former handler of .tvx.
    std::vector<std::wstring> expected = classesBefore_;
    for (int n = 0; n < 30; ++n) {
        wchar_t volume[8];
        FormatText(volume, 8, L".t%02d", n);
        expected.push_back(volume);
        expected.push_back(std::wstring(volume) + L"|@=OldTvx.File");
    }
    std::sort(expected.begin(), expected.end());

    RemoveAsTheUninstallerDoes();
    // What the passes leave besides is the program's own file types, for the uninstaller.
    for (const std::wstring& line : test::DumpRegistry(HKEY_CLASSES_ROOT, L"")) {
        if (std::binary_search(expected.begin(), expected.end(), line)) continue;
        EXPECT_TRUE(line.starts_with(L"Talvex") || line.starts_with(L".rev")) << line;
    }
    EXPECT_FALSE(AnyShortcut());

    DeleteWhatTheUninstallerDeletesByName();
    ExpectUnchanged(HKEY_CLASSES_ROOT, expected);
    ExpectUnchanged(HKEY_LOCAL_MACHINE, machineBefore_);
    EXPECT_FALSE(test::RegKeyExists(HKEY_CURRENT_USER, L"Software\\Talvex"));
}

TEST_F(ApplySandboxTest, RefusedApplicationPathChangesNothingAtAll)
{
    std::vector<std::wstring> userBefore = test::DumpRegistry(HKEY_CURRENT_USER, L"");
    DenyRegistryWritesForTesting(HKEY_LOCAL_MACHINE, L"Software\\Microsoft\\Windows\\CurrentVersion\\App Paths");
    wchar_t groupFolder[kPathCapacity] = L"untouched";
    EXPECT_FALSE(ApplyIntegrationOptions(Everything(), groupFolder, kPathCapacity));
    EXPECT_STREQ(groupFolder, L"untouched");
    EXPECT_FALSE(AnyShortcut()) << "not even the per-user shortcuts";
    ExpectUnchanged(HKEY_CLASSES_ROOT, classesBefore_);
    ExpectUnchanged(HKEY_LOCAL_MACHINE, machineBefore_);
    ExpectUnchanged(HKEY_CURRENT_USER, userBefore);
    EXPECT_FALSE(Exists(program_.File(L"tvxnew.dat")));
}

TEST_F(ApplySandboxTest, RefusedFileTypesStopBeforeTheShortcuts)
{
    test::WriteFileBytes(Folder(CSIDL_DESKTOPDIRECTORY) + L"\\Talvex.lnk", "the user's");
    DenyRegistryWritesForTesting(HKEY_CLASSES_ROOT, L"Talvex");
    wchar_t groupFolder[kPathCapacity] = L"untouched";
    EXPECT_FALSE(ApplyIntegrationOptions(Everything(), groupFolder, kPathCapacity));
    EXPECT_EQ(Read(HKEY_CLASSES_ROOT, L".zip"), L"Talvex.ZIP") << "the associations come first";
    EXPECT_FALSE(test::RegKeyExists(HKEY_CLASSES_ROOT, L"Talvex"));
    EXPECT_TRUE(Exists(Folder(CSIDL_DESKTOPDIRECTORY) + L"\\Talvex.lnk"));
    EXPECT_FALSE(Exists(Folder(CSIDL_COMMON_DESKTOPDIRECTORY) + L"\\Talvex.lnk"));
    EXPECT_FALSE(Exists(Folder(CSIDL_PROGRAMS) + L"\\Talvex"));
    EXPECT_STREQ(groupFolder, L"untouched");
}

TEST_F(ApplySandboxTest, IconSettingNamingAMissingFileGivesNoIcon)
{
    test::RegWriteString(HKEY_CURRENT_USER, L"Software\\Talvex\\Interface\\Themes", L"ShellExtIcon",
                         program_.File(L"gone.ico"));
    IntegrationOptions options{};
    options.startMenu = 1;
    ASSERT_TRUE(ApplyIntegrationOptions(options, nullptr, 0));
    ComPtr<IShellLinkW> link;
    ComPtr<IPersistFile> file;
    ASSERT_HRESULT_SUCCEEDED(
        CoCreateInstance(CLSID_ShellLink, nullptr, CLSCTX_INPROC_SERVER, IID_IShellLinkW, link.receive()));
    ASSERT_HRESULT_SUCCEEDED(link->QueryInterface(IID_IPersistFile, file.receive()));
    ASSERT_HRESULT_SUCCEEDED(file->Load((Folder(CSIDL_COMMON_STARTMENU) + L"\\Talvex.lnk").c_str(), STGM_READ));
    wchar_t icon[MAX_PATH] = L"?";
    int index = 0;
    link->GetIconLocation(icon, MAX_PATH, &index);
    EXPECT_STREQ(icon, L"");
}

// The registry views cannot be sandboxed; this runs in the prefix's own registry, scrubbed
// of the program's entries first and last.
TEST(ApplicationPath, IsRegisteredInBothViewsAndExe32OnlyInTheProgramsOwn)
{
    test::ScrubPrefixRegistry();
    {
        test::ProgramFolder program{L"tvx-apppaths", {}};
        ASSERT_TRUE(RegisterAppPaths());
        const std::wstring key = std::wstring(kAppPaths) + L"\\Talvex.exe";
        for (REGSAM view : {KEY_WOW64_32KEY, KEY_WOW64_64KEY}) {
            std::wstring exe, folder;
            test::RegReadValue(HKEY_LOCAL_MACHINE, key, L"", &exe, nullptr, view);
            test::RegReadValue(HKEY_LOCAL_MACHINE, key, L"Path", &folder, nullptr, view);
            EXPECT_EQ(exe, program.File(L"Talvex.exe")) << view;
            EXPECT_EQ(folder, program.Path()) << view;
        }
        std::wstring exe32;
        test::RegReadValue(HKEY_LOCAL_MACHINE, L"Software\\Talvex", L"exe32", &exe32, nullptr, KEY_WOW64_32KEY);
        EXPECT_EQ(exe32, program.File(L"Talvex.exe"));
        EXPECT_FALSE(test::RegKeyExists(HKEY_LOCAL_MACHINE, L"Software\\Talvex", KEY_WOW64_64KEY));
    }
    test::ScrubPrefixRegistry();
}

}  // namespace
}  // namespace tvx
