#include <gtest/gtest.h>
#include <string>
#include "common/fileops.h"
#include "common/paths.h"
#include "support/scratch.h"

namespace tvx {
namespace {

struct PathCase {
    const wchar_t* path;
    const wchar_t* expected;
};

TEST(Paths, NamePartFollowsTheLastSeparatorOrADriveColon)
{
    const PathCase cases[] = {
        {L"C:\\dir\\file.txt", L"file.txt"}, {L"C:name", L"name"},   {L"dir/sub/name", L"name"},
        {L"", L""},                          {L"file", L"file"},     {L"C:\\dir\\", L""},
        {L"\\\\srv\\share\\f", L"f"},        {L"C:", L""},           {L"a/b\\c", L"c"},
    };
    for (const PathCase& c : cases) EXPECT_STREQ(NamePart(c.path), c.expected) << c.path;
}

TEST(Paths, CutToFolderKeepsTheSeparatorOfARoot)
{
    const PathCase cases[] = {
        {L"C:\\dir\\file", L"C:\\dir"}, {L"C:\\file", L"C:\\"}, {L"dir\\file", L"dir"},
        {L"\\file", L"\\"},             {L"file", L""},         {L"C:file", L"C:"},
        {L"a/b", L"a"},                 {L"", L""},             {L"C:\\d\\", L"C:\\d"},
    };
    for (const PathCase& c : cases) {
        wchar_t path[64];
        CopyText(path, c.path, 64);
        wchar_t* cut = CutToFolder(path);
        EXPECT_STREQ(path, c.expected) << c.path;
        EXPECT_EQ(*cut, L'\0') << c.path;
    }
}

TEST(Paths, AddTrailingSeparatorOnlyWhenMissingAndRoomy)
{
    struct Case {
        const wchar_t* path;
        size_t capacity;
        const wchar_t* expected;
    };
    const Case cases[] = {
        {L"C:\\dir\\", 64, L"C:\\dir\\"}, {L"", 64, L""},  {L"C:\\dir/", 64, L"C:\\dir/\\"},
        {L"ab", 3, L"ab"},                {L"ab", 4, L"ab\\"},
    };
    for (const Case& c : cases) {
        wchar_t path[64];
        CopyText(path, c.path, 64);
        EXPECT_EQ(AddTrailingSeparator(path, c.capacity), wcslen(c.path)) << c.path;
        EXPECT_STREQ(path, c.expected) << c.path;
    }
}

TEST(Paths, JoinPathAddsASeparatorExceptAfterABareDrive)
{
    struct Case {
        const wchar_t* folder;
        const wchar_t* name;
        size_t capacity;
        const wchar_t* expected;
    };
    const Case cases[] = {
        {L"C:", L"x.txt", 64, L"C:x.txt"},          {L"C:\\", L"x.txt", 64, L"C:\\x.txt"},
        {L"C:\\d", L"x.txt", 64, L"C:\\d\\x.txt"},  {L"C:\\d", L"x.txt", 6, L"C:\\d\\"},
        {L"", L"x.txt", 64, L"x.txt"},
    };
    for (const Case& c : cases) {
        wchar_t output[64];
        JoinPath(c.folder, c.name, output, c.capacity);
        EXPECT_STREQ(output, c.expected) << c.folder << L" + " << c.name;
    }
}

TEST(Paths, FolderAndNamePartsAreBoundedByTheCapacity)
{
    wchar_t folder[16];
    GetFolderPart(L"C:\\dir\\file", folder, 16);
    EXPECT_STREQ(folder, L"C:\\dir\\");
    GetFolderPart(L"C:\\dir\\file", folder, 4);
    EXPECT_STREQ(folder, L"C:\\");
    GetFolderPart(L"file", folder, 16);
    EXPECT_STREQ(folder, L"");

    wchar_t path[16] = L"C:\\dir\\*.txt";
    ReplaceNamePart(path, L"a.txt", 16);
    EXPECT_STREQ(path, L"C:\\dir\\a.txt");
    ReplaceNamePart(path, L"abcdefgh", 10);
    EXPECT_STREQ(path, L"C:\\dir\\ab");
}

TEST(Paths, FormsAreRecognised)
{
    EXPECT_TRUE(IsDrivePrefix(L"c:"));
    EXPECT_TRUE(IsDrivePrefix(L"i:\\"));
    EXPECT_FALSE(IsDrivePrefix(L"1:"));
    EXPECT_FALSE(IsDrivePrefix(L""));
    EXPECT_TRUE(IsAbsolutePath(L"\\\\srv\\sh"));
    EXPECT_TRUE(IsAbsolutePath(L"C:/x"));
    EXPECT_FALSE(IsAbsolutePath(L"C:x"));
    EXPECT_FALSE(IsAbsolutePath(L"\\x"));
    EXPECT_TRUE(IsSeparator(L'/'));
    EXPECT_FALSE(IsSeparator(L':'));

    EXPECT_TRUE(HasWildcards(L"\\\\?\\C:\\a?"));
    EXPECT_FALSE(HasWildcards(L"\\\\?\\C:\\a"));
    EXPECT_TRUE(HasWildcards(L"C:\\*.txt"));
    EXPECT_FALSE(HasWildcards(nullptr));

    wchar_t empty[] = L"";
    EXPECT_EQ(LastChar(empty), empty);
    EXPECT_EQ(*LastChar(L"abc"), L'c');
}

// Runs with a known current folder, given back afterwards.
class MakeLongPathTest : public testing::Test {
protected:
    void SetUp() override
    {
        GetCurrentDirectoryW(kPathCapacity, saved_);
        ASSERT_TRUE(SetCurrentDirectoryW(L"C:\\windows"));
    }
    void TearDown() override { SetCurrentDirectoryW(saved_); }

private:
    wchar_t saved_[kPathCapacity];
};

TEST_F(MakeLongPathTest, EveryFormGetsItsPrefix)
{
    const PathCase cases[] = {
        {L"C:\\dir\\a.txt", L"\\\\?\\C:\\dir\\a.txt"},
        {L"c:/dir", L"\\\\?\\c:/dir"},
        {L"\\\\srv\\sh\\a", L"\\\\?\\UNC\\srv\\sh\\a"},
        {L".\\a.txt", L"\\\\?\\C:\\windows\\a.txt"},
        {L"\\a.txt", L"\\\\?\\C:\\a.txt"},
        {L"sub\\a.txt", L"\\\\?\\C:\\windows\\sub\\a.txt"},
        {L"..\\a", L"\\\\?\\C:\\windows\\..\\a"},
    };
    for (const PathCase& c : cases) {
        wchar_t output[kPathCapacity];
        EXPECT_TRUE(MakeLongPath(c.path, output, kPathCapacity)) << c.path;
        EXPECT_STREQ(output, c.expected) << c.path;
    }
}

TEST_F(MakeLongPathTest, RefusesRatherThanCuts)
{
    struct Case {
        const wchar_t* path;
        size_t capacity;
        bool fits;
    };
    // Each path needs its length plus the prefix plus a terminator.
    const Case cases[] = {
        {L"C:\\x", 8, false},        {L"C:\\x", 9, true},         {L"\\\\s\\x", 11, false},
        {L"\\\\s\\x", 12, true},     {L"\\x", 8, false},          {L"\\x", 9, true},
        {L"ab", 17, false},          {L"ab", 18, true},           {L"", kPathCapacity, false},
        {L"\\\\?\\C:\\x", kPathCapacity, false},
    };
    for (const Case& c : cases) {
        wchar_t output[kPathCapacity + 1];
        output[c.capacity] = L'#';
        EXPECT_EQ(MakeLongPath(c.path, output, c.capacity), c.fits) << c.path << L" " << c.capacity;
        EXPECT_EQ(output[c.capacity], L'#') << c.path;
        if (c.fits) {
            EXPECT_EQ(wcslen(output), c.capacity - 1) << c.path;
        }
    }
}

// The AppData value is written raw, so a test can store it without a terminator.
void WriteAppDataValue(const std::wstring& text, bool terminated)
{
    HKEY key = nullptr;
    ASSERT_EQ(RegCreateKeyExW(HKEY_CURRENT_USER, L"Software\\Talvex\\Paths", 0, nullptr, 0, KEY_SET_VALUE,
                              nullptr, &key, nullptr),
              ERROR_SUCCESS);
    DWORD bytes = static_cast<DWORD>((text.size() + (terminated ? 1 : 0)) * sizeof(wchar_t));
    RegSetValueExW(key, L"AppData", 0, REG_SZ, reinterpret_cast<const BYTE*>(text.c_str()), bytes);
    RegCloseKey(key);
}

std::wstring ProgramFolder()
{
    wchar_t path[kPathCapacity];
    GetProgramPath(path, kPathCapacity);
    CutToFolder(path);
    return path;
}

TEST(AppDataFolder, AnExistingFolderInTheRegistryWins)
{
    test::RegistrySandbox sandbox;
    test::ScratchFolder scratch(L"tvx-appdata");
    for (bool terminated : {true, false}) {
        WriteAppDataValue(scratch.Path(), terminated);
        wchar_t output[kPathCapacity];
        wmemset(output, L'X', kPathCapacity);
        GetAppDataFolder(output, kPathCapacity, false);
        EXPECT_EQ(std::wstring(output), scratch.Path()) << "terminated: " << terminated;
    }
}

TEST(AppDataFolder, AValueThatFillsTheBufferIsNotCutToAnotherFolder)
{
    test::RegistrySandbox sandbox;
    test::ScratchFolder scratch(L"tvx-appdata");
    // Cut by one character the value would name the existing scratch folder.
    std::wstring value = scratch.Path() + L"2";
    const size_t capacity = value.size();
    WriteAppDataValue(value, false);
    wchar_t output[kPathCapacity];
    wmemset(output, L'#', kPathCapacity);
    GetAppDataFolder(output, capacity, false);
    EXPECT_EQ(output[capacity], L'#');
    EXPECT_LT(wcsnlen(output, capacity), capacity);
    EXPECT_NE(std::wstring(output), scratch.Path());
}

TEST(AppDataFolder, FallsBackToTheShellFolderAndThenToTheProgramFolder)
{
    test::RegistrySandbox sandbox;
    WriteAppDataValue(L"C:\\no\\such\\folder", true);
    wchar_t output[kPathCapacity];
    GetAppDataFolder(output, kPathCapacity, true);
    std::wstring shellFolder = output;
    ASSERT_GT(shellFolder.size(), 7u);
    EXPECT_EQ(shellFolder.substr(shellFolder.size() - 7), L"\\Talvex");
    EXPECT_TRUE(IsDirectoryAttr(GetFileAttributesW(output)));

    ASSERT_TRUE(RemoveDirectoryW(shellFolder.c_str()));
    GetAppDataFolder(output, kPathCapacity, false);
    EXPECT_EQ(std::wstring(output), ProgramFolder());
}

}  // namespace
}  // namespace tvx
