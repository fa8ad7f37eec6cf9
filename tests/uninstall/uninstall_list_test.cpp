// The deletion passes over Uninstall.lst, run in-process against a scratch product folder.
#include <gtest/gtest.h>
#include <cstdio>
#include <initializer_list>
#include <string>
#include "common/handles.h"
#include "support/scratch.h"
#include "uninstall/uninstall_list.h"
#include "uninstall_fixtures.h"

namespace tvx::test {
namespace {

TEST(ListLineTrimming, TrailingBlanksGoLeadingBlanksStay)
{
    struct Case {
        const char* line;
        const char* expected;
    };
    const Case cases[] = {
        {"a.txt   \t\r\n", "a.txt"},
        {"sub\\a.txt\n", "sub\\a.txt"},
        {"  lead.txt\r\n", "  lead.txt"},
        {"a b.txt \r", "a b.txt"},
        {" \t \r\n", ""},
        {"", ""},
    };
    for (const Case& c : cases) {
        char line[64];
        std::snprintf(line, sizeof line, "%s", c.line);
        TrimListLine(line);
        EXPECT_STREQ(line, c.expected) << "line: " << c.line;
    }
}

TEST(ListEntryContainment, OnlyEntriesInsideTheProductFolderPass)
{
    struct Case {
        const wchar_t* entry;
        bool inside;
    };
    const Case cases[] = {
        {L"a.txt", true},
        {L"sub\\deeper\\a.txt", true},
        {L" lead.txt", true},
        {L".hidden", true},
        {L"a..b.txt", true},
        {L"..a", true},
        {L"sub\\.\\a.txt", true},
        {L"..\\outside.txt", false},
        {L"sub\\..\\..\\outside.txt", false},
        {L"sub/../../outside.txt", false},
        {L"sub\\..", false},
        {L"..", false},
        {L"...\\x", false},
        {L".. \\x", false},
        {L"sub\\. .", false},
        {L"C:\\windows\\win.ini", false},
        {L"C:outside.txt", false},
        {L"\\outside.txt", false},
        {L"/outside.txt", false},
        {L"\\\\server\\share\\a.txt", false},
        {L"\\\\?\\C:\\a.txt", false},
        {L"a.txt:stream", false},
        // The system takes these for devices wherever they stand (\\.\NUL, \\.\CON, ...).
        {L"CON", false},
        {L"nul.txt", false},
        {L"sub\\Aux .log", false},
        {L"com1", false},
        {L"LPT9.dat", false},
        {L"conout$", false},
        {L"console.txt", true},
        {L"com10.txt", true},
        {L"nul_x.txt", true},
        {L"sub\\prn2\\a.txt", true},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(StaysInsideFolder(c.entry), c.inside)
            << "entry: " << testing::PrintToString(std::wstring(c.entry));
    }
}

// A product folder "Talvex" in a scratch folder, with its list.
class ListedProduct : public testing::Test {
protected:
    ListedProduct() : folder_(base_ / L"Talvex"), program_(folder_ + L"\\uninstall.exe")
    {
        MakeFolder(folder_);
    }

    std::wstring In(const std::wstring& name) const { return folder_ + L"\\" + name; }

    // Names ending in a backslash are folders, the others files, made in this order.
    void Make(std::initializer_list<std::wstring> names)
    {
        for (const std::wstring& name : names) {
            if (name.back() == L'\\')
                MakeFolder(In(name.substr(0, name.size() - 1)));
            else
                MakeFile(In(name));
        }
    }

    StdioFile OpenList(const std::string& lines)
    {
        std::wstring path = In(L"Uninstall.lst");
        WriteFileBytes(path, lines);
        return StdioFile(_wfopen(path.c_str(), L"rb"));
    }

    bool DeleteAll(const std::string& lines)
    {
        StdioFile list = OpenList(lines);
        EXPECT_TRUE(list);
        return DeleteListedEntries(list.get(), (folder_ + L"\\").c_str(), program_.c_str());
    }

    ScratchFolder base_{L"tvx-list"};
    std::wstring folder_;
    std::wstring program_;
};

TEST_F(ListedProduct, FolderListedBeforeItsFileGoesInTheSecondPass)
{
    Make({L"sub\\", L"sub\\a.txt"});
    StdioFile list = OpenList("sub\r\nsub\\a.txt\r\n");
    std::wstring folder = folder_ + L"\\";
    GrowableArray<uint8_t> settled;
    unsigned deleted[3];
    for (unsigned& count : deleted) {
        count = RunDeletionPass(list.get(), folder.c_str(), program_.c_str(), settled).deleted;
        std::fseek(list.get(), 0, SEEK_SET);
    }
    EXPECT_EQ(deleted[0], 1u);
    EXPECT_EQ(deleted[1], 1u);
    EXPECT_EQ(deleted[2], 0u);
    EXPECT_FALSE(PathExists(In(L"sub")));
}

TEST_F(ListedProduct, NestedFoldersListedFirstGoAndUnlistedFilesStay)
{
    Make({L"a\\", L"a\\b\\", L"a\\b\\c\\", L"kept\\", L"a\\b\\c\\deep.txt", L"a\\top.txt",
          L"kept\\listed.txt", L"kept\\unlisted.txt", L"unlisted.txt"});
    EXPECT_FALSE(
        DeleteAll("a\r\na\\b\r\na\\b\\c\r\nkept\r\na\\b\\c\\deep.txt\r\na\\top.txt\r\n"
                  "kept\\listed.txt\r\nmissing.txt\r\n"));
    EXPECT_FALSE(PathExists(In(L"a")));
    EXPECT_FALSE(PathExists(In(L"kept\\listed.txt")));
    EXPECT_TRUE(PathExists(In(L"kept\\unlisted.txt")));
    EXPECT_TRUE(PathExists(In(L"unlisted.txt")));
}

TEST_F(ListedProduct, BlanksAroundNamesAndAnsiNames)
{
    Make({L"a.txt", L" lead.txt", L"lead.txt", L"caf\u00e9.txt", L"read-only.txt"});
    SetFileAttributesW(In(L"read-only.txt").c_str(), FILE_ATTRIBUTE_READONLY);
    EXPECT_FALSE(DeleteAll("a.txt   \t\r\n   \r\n\r\n lead.txt\ncaf\xe9.txt\nread-only.txt"));
    EXPECT_FALSE(PathExists(In(L"a.txt")));
    EXPECT_FALSE(PathExists(In(L" lead.txt")));
    EXPECT_TRUE(PathExists(In(L"lead.txt")));
    EXPECT_FALSE(PathExists(In(L"caf\u00e9.txt"))) << "the list is read in the ANSI code page";
    EXPECT_FALSE(PathExists(In(L"read-only.txt")));
}

TEST_F(ListedProduct, EntriesLeavingTheProductFolderAreLeftAlone)
{
    std::wstring outside = base_ / L"outside.txt";
    MakeFile(outside);
    MakeFile(In(L"inside.txt"));
    char absolute[MAX_PATH * 2];
    WideCharToMultiByte(CP_ACP, 0, outside.c_str(), -1, absolute, sizeof absolute, nullptr,
                        nullptr);
    std::string lines = std::string("..\\outside.txt\r\nsub\\..\\..\\outside.txt\r\n") + absolute +
                        "\r\ninside.txt:stream\r\n..\\Talvex\\inside.txt\r\n";
    EXPECT_FALSE(DeleteAll(lines));
    EXPECT_TRUE(PathExists(outside));
    EXPECT_TRUE(PathExists(In(L"inside.txt")));
}

TEST_F(ListedProduct, TempNamesSkipThoseTaken)
{
    wchar_t name[MAX_PATH * 2];
    FindFreeTempName(In(L"x.dll").c_str(), name, MAX_PATH * 2);
    EXPECT_EQ(std::wstring(name), In(L"x.dll.0.tmp"));
    MakeFile(In(L"x.dll.0.tmp"));
    MakeFile(In(L"x.dll.1.tmp"));
    FindFreeTempName(In(L"x.dll").c_str(), name, MAX_PATH * 2);
    EXPECT_EQ(std::wstring(name), In(L"x.dll.2.tmp"));
}

// Files in use: the rename and the entry at restart reach the prefix's real registry.
class InUseEntries : public ListedProduct {
protected:
    PendingRenamesGuard pending_;
};

TEST_F(InUseEntries, LoadedLibraryIsRenamedToTheNextFreeNameAndScheduled)
{
    MakeFile(In(L"x.dll.0.tmp"));
    ModuleHandle library = LoadCopyOfThisProgram(In(L"x.dll"));
    ASSERT_TRUE(library.valid());
    ASSERT_FALSE(DeleteFileW(In(L"x.dll").c_str())) << "an image in use cannot be deleted";

    EXPECT_TRUE(DeleteAll("x.dll\r\n"));
    EXPECT_FALSE(PathExists(In(L"x.dll")));
    EXPECT_TRUE(PathExists(In(L"x.dll.1.tmp")));
    EXPECT_TRUE(IsPendingDeletion(In(L"x.dll.1.tmp")));
}

TEST_F(InUseEntries, FileHeldWithoutShareDeleteIsScheduledUnderItsOwnName)
{
    FileHandle held = MakeHeldFile(In(L"held.txt"));
    ASSERT_TRUE(held.valid());
    Make({L"sub\\", L"sub\\a.txt"});
    size_t before = PendingRenames().size();
    EXPECT_TRUE(DeleteAll("sub\r\nheld.txt\r\nsub\\a.txt\r\n"));
    EXPECT_FALSE(PathExists(In(L"sub")));
    EXPECT_TRUE(PathExists(In(L"held.txt")));
    EXPECT_FALSE(PathExists(In(L"held.txt.0.tmp")));
    EXPECT_TRUE(IsPendingDeletion(In(L"held.txt")));
    EXPECT_EQ(PendingRenames().size(), before + 1) << "scheduled once, not once a pass";
}

TEST_F(InUseEntries, DeviceNamesAreNeitherDeletedNorScheduled)
{
    size_t before = PendingRenames().size();
    EXPECT_FALSE(DeleteAll("nul.txt\r\nCON\r\ncom1.log\r\n")) << "no reboot message for a device";
    EXPECT_EQ(PendingRenames().size(), before);
}

TEST_F(InUseEntries, ProgramAndListAreNeverRenamedWhateverTheirCase)
{
    FileHandle program = MakeHeldFile(In(L"UNINSTALL.EXE"));
    size_t before = PendingRenames().size();
    // The list itself is open while the passes read it.
    EXPECT_FALSE(DeleteAll("Uninstall.EXE\r\nuninstall.LST\r\n"));
    EXPECT_TRUE(PathExists(In(L"UNINSTALL.EXE")));
    EXPECT_TRUE(PathExists(In(L"Uninstall.lst")));
    EXPECT_FALSE(PathExists(In(L"UNINSTALL.EXE.0.tmp")));
    EXPECT_EQ(PendingRenames().size(), before);
}

}  // namespace
}  // namespace tvx::test
