// Shortcuts are made for real in the test prefix's own shell folders (the shell link object
// cannot be pointed elsewhere), which are cleared of the program's shortcuts first and last.
#include <gtest/gtest.h>

#include <shlobj.h>
#include <string>
#include <vector>

#include "common/handles.h"
#include "common/paths.h"
#include "common/strings.h"
#include "integration/shortcuts.h"
#include "integration_fixture.h"
#include "language/localized_strings.h"
#include "settings/settings_store.h"
#include "support/scratch.h"

namespace tvx {
namespace {

struct LinkInfo {
    bool loaded = false;
    std::wstring target, description, workingDirectory, icon, arguments;
};

LinkInfo ReadLink(const std::wstring& path)
{
    LinkInfo info;
    ComPtr<IShellLinkW> link;
    ComPtr<IPersistFile> file;
    if (FAILED(CoCreateInstance(CLSID_ShellLink, nullptr, CLSCTX_INPROC_SERVER, IID_IShellLinkW, link.receive())) ||
        FAILED(link->QueryInterface(IID_IPersistFile, file.receive())) || FAILED(file->Load(path.c_str(), STGM_READ)))
        return info;
    wchar_t text[MAX_PATH] = L"";
    int index = 0;
    info.loaded = true;
    if (SUCCEEDED(link->GetPath(text, MAX_PATH, nullptr, SLGP_RAWPATH))) info.target = text;
    if (SUCCEEDED(link->GetDescription(text, MAX_PATH))) info.description = text;
    if (SUCCEEDED(link->GetWorkingDirectory(text, MAX_PATH))) info.workingDirectory = text;
    if (SUCCEEDED(link->GetIconLocation(text, MAX_PATH, &index))) info.icon = text;
    if (SUCCEEDED(link->GetArguments(text, MAX_PATH))) info.arguments = text;
    return info;
}

bool Exists(const std::wstring& path) { return GetFileAttributesW(path.c_str()) != INVALID_FILE_ATTRIBUTES; }

IntegrationOptions Links(bool desktop, bool startMenu, bool programs)
{
    IntegrationOptions options{};
    options.desktop = desktop;
    options.startMenu = startMenu;
    options.programs = programs;
    return options;
}

class ShortcutsTest : public ::testing::Test {
protected:
    ShortcutsTest()
    {
        CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
        test::RemovePrefixShortcuts();
    }
    ~ShortcutsTest() override
    {
        test::RemovePrefixShortcuts();
        CoUninitialize();
    }
    std::wstring Folder(int csidl) const { return test::ShellFolder(csidl); }
    std::wstring Group(int csidl) const { return Folder(csidl) + L"\\Talvex"; }

    test::ProgramFolder program_{L"tvx-links", {L"Talvex.exe", L"Talvex.chm", L"Tvx.txt", L"WhatsNew.txt", L"own.ico"}};
    const std::wstring description_ = GetLocalizedString(IDS_TALVEXDESC);
};

TEST_F(ShortcutsTest, SetupMakesEveryShortcutForAllUsers)
{
    ASSERT_GE(WindowsVersion(), 0x0600u);
    ASSERT_FALSE(description_.empty()) << "the program's string table is linked in";
    test::WriteFileBytes(Folder(CSIDL_DESKTOPDIRECTORY) + L"\\Talvex.lnk", "an older setup's own");
    wchar_t groupFolder[kPathCapacity] = L"";
    std::wstring icon = program_.File(L"own.ico");
    UpdateShortcuts(Links(true, true, true), groupFolder, kPathCapacity, icon.c_str());

    EXPECT_FALSE(Exists(Folder(CSIDL_DESKTOPDIRECTORY) + L"\\Talvex.lnk"));
    LinkInfo desktop = ReadLink(Folder(CSIDL_COMMON_DESKTOPDIRECTORY) + L"\\Talvex.lnk");
    ASSERT_TRUE(desktop.loaded);
    EXPECT_EQ(desktop.target, program_.File(L"Talvex.exe"));
    EXPECT_EQ(desktop.description, description_);
    EXPECT_EQ(desktop.workingDirectory, L"");
    EXPECT_EQ(desktop.icon, icon);

    LinkInfo startMenu = ReadLink(Folder(CSIDL_COMMON_STARTMENU) + L"\\Talvex.lnk");
    ASSERT_TRUE(startMenu.loaded);
    EXPECT_EQ(startMenu.target, program_.File(L"Talvex.exe"));
    EXPECT_EQ(startMenu.workingDirectory, Folder(CSIDL_DESKTOPDIRECTORY));
    EXPECT_FALSE(Exists(Folder(CSIDL_STARTMENU) + L"\\Talvex.lnk"));

    struct Row {
        std::wstring link, target, icon;
    };
    const Row rows[] = {{L"Talvex", L"Talvex.exe", icon},
                        {GetLocalizedString(IDS_TALVEXHELP), L"Talvex.chm", L""},
                        {GetLocalizedString(IDS_TVXHELP), L"Tvx.txt", L""},
                        {GetLocalizedString(IDS_WHATSNEW), GetLocalizedString(IDS_WHATSNEWNAME), L""}};
    for (int csidl : {CSIDL_PROGRAMS, CSIDL_COMMON_PROGRAMS}) {
        for (const Row& row : rows) {
            SCOPED_TRACE(Group(csidl) + L"\\" + row.link);
            LinkInfo link = ReadLink(Group(csidl) + L"\\" + row.link + L".lnk");
            ASSERT_TRUE(link.loaded);
            EXPECT_EQ(link.target, program_.File(row.target));
            EXPECT_EQ(link.description, description_);
            EXPECT_EQ(link.workingDirectory, Folder(CSIDL_DESKTOPDIRECTORY));
            EXPECT_EQ(link.icon, row.icon);
        }
    }
    EXPECT_EQ(std::wstring(groupFolder), Group(CSIDL_COMMON_PROGRAMS));
}

TEST_F(ShortcutsTest, GroupIsEmptiedOfTheUsersFilesButKeepsSubfolders)
{
    std::wstring group = Group(CSIDL_PROGRAMS);
    CreateDirectoryW(group.c_str(), nullptr);
    CreateDirectoryW((group + L"\\Mine").c_str(), nullptr);
    test::WriteFileBytes(group + L"\\notes.txt", "the user's");
    test::WriteFileBytes(group + L"\\Mine\\keep.txt", "the user's");
    DeleteFileW(program_.File(L"Tvx.txt").c_str());

    UpdateShortcuts(Links(false, false, true), nullptr, 0, nullptr);
    EXPECT_FALSE(Exists(group + L"\\notes.txt"));
    EXPECT_TRUE(Exists(group + L"\\Mine\\keep.txt"));
    EXPECT_TRUE(Exists(group + L"\\Talvex.lnk"));
    EXPECT_FALSE(Exists(group + L"\\" + GetLocalizedString(IDS_TVXHELP) + L".lnk")) << "its target is missing";
    EXPECT_TRUE(Exists(group + L"\\" + GetLocalizedString(IDS_TALVEXHELP) + L".lnk"));
}

TEST_F(ShortcutsTest, AnExistingShortcutKeepsWhatSetupDoesNotSet)
{
    std::wstring link = Folder(CSIDL_COMMON_STARTMENU) + L"\\Talvex.lnk";
    ASSERT_TRUE(CreateShellLink(false, L"C:\\elsewhere\\old.exe", link.c_str(), nullptr, nullptr, nullptr, L"/minimized"));
    UpdateShortcuts(Links(false, true, false), nullptr, 0, nullptr);
    LinkInfo info = ReadLink(link);
    EXPECT_EQ(info.target, program_.File(L"Talvex.exe"));
    EXPECT_EQ(info.arguments, L"/minimized");
    EXPECT_FALSE(CreateShellLink(false, L"C:\\x.exe", (program_.Path() + L"\\no\\such\\folder\\x.lnk").c_str(),
                                 nullptr, nullptr, nullptr, nullptr))
        << "a link that cannot be saved is reported";
}

TEST_F(ShortcutsTest, RemovingTakesAwayEverythingButAPerUserStartMenuShortcut)
{
    UpdateShortcuts(Links(true, true, true), nullptr, 0, nullptr);
    test::WriteFileBytes(Folder(CSIDL_DESKTOPDIRECTORY) + L"\\Talvex.lnk", "the user's");
    test::WriteFileBytes(Folder(CSIDL_STARTMENU) + L"\\Talvex.lnk", "the user's");
    test::WriteFileBytes(Group(CSIDL_COMMON_PROGRAMS) + L"\\added.txt", "the user's");

    UpdateShortcuts(IntegrationOptions{}, nullptr, 0, nullptr);
    EXPECT_FALSE(Exists(Folder(CSIDL_DESKTOPDIRECTORY) + L"\\Talvex.lnk"));
    EXPECT_FALSE(Exists(Folder(CSIDL_COMMON_DESKTOPDIRECTORY) + L"\\Talvex.lnk"));
    EXPECT_FALSE(Exists(Folder(CSIDL_COMMON_STARTMENU) + L"\\Talvex.lnk"));
    EXPECT_TRUE(Exists(Folder(CSIDL_STARTMENU) + L"\\Talvex.lnk"));
    EXPECT_FALSE(Exists(Group(CSIDL_PROGRAMS)));
    EXPECT_FALSE(Exists(Group(CSIDL_COMMON_PROGRAMS)));
}

TEST_F(ShortcutsTest, IniFileWithTheIntegrationOffKeepsEveryShortcut)
{
    std::wstring ini = L"Global\\Integration=0\r\n";
    std::string bytes = "\xFF\xFE";
    for (wchar_t c : ini) bytes += {static_cast<char>(c), '\0'};
    test::WriteFileBytes(program_.File(L"Talvex.ini"), bytes);
    ASSERT_EQ(Settings().ReadUserNumber(L"Setup", L"ShellExt", 7), 7u);  // loads the file
    ASSERT_FALSE(Settings().IsIntegrationEnabled());
    test::WriteFileBytes(Folder(CSIDL_COMMON_DESKTOPDIRECTORY) + L"\\Talvex.lnk", "kept");

    UpdateShortcuts(Links(false, true, true), nullptr, 0, nullptr);
    UpdateShortcuts(IntegrationOptions{}, nullptr, 0, nullptr);
    EXPECT_TRUE(Exists(Folder(CSIDL_COMMON_DESKTOPDIRECTORY) + L"\\Talvex.lnk"));
    EXPECT_FALSE(Exists(Folder(CSIDL_COMMON_STARTMENU) + L"\\Talvex.lnk"));
    EXPECT_FALSE(Exists(Group(CSIDL_PROGRAMS)));
}

TEST(GetSpecialFolder, NamesAnUnknownFolderWhenItCannotAsk)
{
    wchar_t small[100];
    EXPECT_FALSE(GetSpecialFolder(small, 100, CSIDL_DESKTOPDIRECTORY));
    EXPECT_STREQ(small, L"unknown_folder");
    wchar_t tiny[5];
    EXPECT_FALSE(GetSpecialFolder(tiny, 5, CSIDL_DESKTOPDIRECTORY));
    EXPECT_STREQ(tiny, L"unkn");
    wchar_t path[kPathCapacity];
    EXPECT_FALSE(GetSpecialFolder(path, kPathCapacity, 0x7F));
    EXPECT_TRUE(GetSpecialFolder(path, kPathCapacity, CSIDL_COMMON_PROGRAMS));
    EXPECT_EQ(std::wstring(path), test::ShellFolder(CSIDL_COMMON_PROGRAMS));
}

// Links made from the Linux side, which is how Wine shows reparse points.
class FolderLinkTest : public ShortcutsTest {
protected:
    ~FolderLinkTest() override
    {
        for (const std::wstring& link : links_) test::RemoveUnixFolderLink(link);
    }
    void Link(const std::wstring& target, const std::wstring& link)
    {
        links_.push_back(link);
        ASSERT_TRUE(test::MakeUnixFolderLink(target, link)) << "cannot make a Unix link at " << link;
        DWORD attributes = GetFileAttributesW(link.c_str());
        ASSERT_EQ(attributes & (FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_REPARSE_POINT),
                  DWORD{FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_REPARSE_POINT});
    }

    test::ScratchFolder elsewhere_{L"tvx-link-target"};
    std::vector<std::wstring> links_;
};

TEST_F(FolderLinkTest, GroupFolderThatIsALinkIsLeftAlone)
{
    test::WriteFileBytes(elsewhere_ / L"precious.txt", "the user's");
    Link(elsewhere_.Path(), Group(CSIDL_PROGRAMS));
    UpdateShortcuts(IntegrationOptions{}, nullptr, 0, nullptr);
    EXPECT_TRUE(Exists(Group(CSIDL_PROGRAMS)));
    EXPECT_TRUE(Exists(elsewhere_ / L"precious.txt"));
}

TEST_F(FolderLinkTest, TreeDeletionRemovesWhatItHoldsButNeverEntersALink)
{
    test::WriteFileBytes(elsewhere_ / L"precious.txt", "the user's");
    test::ScratchFolder tree{L"tvx-tree"};
    CreateDirectoryW((tree / L"a").c_str(), nullptr);
    CreateDirectoryW((tree / L"a\\b").c_str(), nullptr);
    test::WriteFileBytes(tree / L"a\\b\\deep.txt", "x");
    test::WriteFileBytes(tree / L"top.txt", "x");
    SetFileAttributesW((tree / L"top.txt").c_str(), FILE_ATTRIBUTE_READONLY);
    Link(elsewhere_.Path(), tree / L"a\\link");

    DeleteFolderTree(tree.Path().c_str());
    EXPECT_TRUE(Exists(elsewhere_ / L"precious.txt"));
    EXPECT_FALSE(Exists(tree / L"top.txt"));
    EXPECT_FALSE(Exists(tree / L"a\\b"));
    EXPECT_TRUE(Exists(tree / L"a\\link")) << "Wine cannot remove a Unix link, so its folder stays";

    ASSERT_TRUE(test::RemoveUnixFolderLink(tree / L"a\\link"));
    DeleteFolderTree(tree.Path().c_str());
    EXPECT_FALSE(Exists(tree.Path()));
}

}  // namespace
}  // namespace tvx
