#include <gtest/gtest.h>
#include <windows.h>
#include <psapi.h>
#include <string>
#include "common/handles.h"
#include "common/strings.h"
#include "language/language_module.h"
#include "language/language_table.h"
#include "resources/resource.h"
#include "language_test_support.h"
#include "support/scratch.h"

namespace tvx::test {
namespace {

const wchar_t kGeneralKey[] = L"Software\\Talvex\\General";

std::wstring LibraryString(uint32_t number)
{
    wchar_t text[256] = L"";
    LoadStringW(ResourceModule(), number, text, 256);
    return text;
}

// Whether a module handle still has a view of the file whose path ends with ending. The
// handle of a data-file load carries flags in its low bits.
bool MapsFile(HMODULE module, const std::wstring& ending)
{
    void* base = reinterpret_cast<void*>(reinterpret_cast<ULONG_PTR>(module) & ~ULONG_PTR{3});
    wchar_t name[MAX_PATH] = L"";
    if (GetMappedFileNameW(GetCurrentProcess(), base, name, MAX_PATH) == 0) return false;
    std::wstring mapped = name;
    return mapped.size() >= ending.size() &&
           mapped.compare(mapped.size() - ending.size(), ending.size(), ending) == 0;
}

class LanguageModuleTest : public ::testing::Test {
protected:
    // A copy of a test library as tvxlng.dll beside the test program, removed at the end.
    void PlaceBesideProgram(const wchar_t* variant)
    {
        ASSERT_TRUE(CopyFileW(FixtureLibrary(variant).c_str(), besideProgram_.c_str(), FALSE));
    }
    void PlaceInFolder(const std::wstring& folder, const wchar_t* variant)
    {
        CreateDirectoryW(folder.c_str(), nullptr);
        ASSERT_TRUE(CopyFileW(FixtureLibrary(variant).c_str(), (folder + L"\\tvxlng.dll").c_str(),
                              FALSE));
    }
    void SetLanguageFolder(const std::wstring& folder)
    {
        RegWriteString(HKEY_CURRENT_USER, kGeneralKey, L"LanguageFolder", folder);
    }
    void TearDown() override
    {
        ReleaseLanguageModule();
        DeleteFileW(besideProgram_.c_str());
    }

    RegistrySandbox sandbox_;
    ScratchFolder scratch_{L"tvx-language-module"};
    LanguageStateGuard guard_;
    std::wstring besideProgram_ = ProgramFolder() + L"tvxlng.dll";
};

TEST_F(LanguageModuleTest, LibraryBesideTheProgramIsLoadedAsDataAndReleasedForDeletion)
{
    PlaceBesideProgram(L"ltr");
    HMODULE own = GetModuleHandleW(nullptr);
    LoadLanguageModule(own, nullptr);
    HMODULE library = ResourceModule();
    EXPECT_NE(library, own);
    EXPECT_TRUE(MapsFile(library, L"\\tvxlng.dll"));
    EXPECT_EQ(OwnModule(), own);
    EXPECT_EQ(LibraryString(5140), L"left-to-right library");
    // Mapped as data, the library is not among the process's loaded modules.
    EXPECT_EQ(GetModuleHandleW(besideProgram_.c_str()), nullptr);
    ReleaseLanguageModule();
    EXPECT_EQ(ResourceModule(), own);
    EXPECT_FALSE(MapsFile(library, L"\\tvxlng.dll"));
    EXPECT_TRUE(DeleteFileW(besideProgram_.c_str()));
}

TEST_F(LanguageModuleTest, LanguageFolderWithEnvironmentReferenceWinsOverTheProgramFolder)
{
    PlaceBesideProgram(L"ltr");
    PlaceInFolder(scratch_ / L"Lang", L"rtl");
    SetEnvironmentVariableW(L"TVX_LANGUAGE_TEST", scratch_.Path().c_str());
    SetLanguageFolder(L"%TVX_LANGUAGE_TEST%\\Lang");
    LoadLanguageModule(GetModuleHandleW(nullptr), nullptr);
    SetEnvironmentVariableW(L"TVX_LANGUAGE_TEST", nullptr);
    EXPECT_EQ(LibraryString(5140), L"right-to-left library");
}

TEST_F(LanguageModuleTest, LanguageFolderWithoutTheLibraryLeavesTheOneBesideTheProgram)
{
    PlaceBesideProgram(L"ltr");
    CreateDirectoryW((scratch_ / L"Empty").c_str(), nullptr);
    SetLanguageFolder(scratch_ / L"Empty");
    LoadLanguageModule(GetModuleHandleW(nullptr), nullptr);
    EXPECT_EQ(LibraryString(5140), L"left-to-right library");
}

TEST_F(LanguageModuleTest, NoLibraryMeansTheOwnModule)
{
    LoadLanguageModule(GetModuleHandleW(nullptr), (scratch_ / L"tvxlng.dll").c_str());
    EXPECT_EQ(ResourceModule(), GetModuleHandleW(nullptr));
    EXPECT_EQ(LibraryString(IDS_UNINSTALLTVX), L"Uninstall Talvex");
}

TEST_F(LanguageModuleTest, SecondLoadFreesTheFirstLibrary)
{
    PlaceInFolder(scratch_ / L"A", L"ltr");
    PlaceInFolder(scratch_ / L"B", L"rtl");
    LoadLanguageModule(GetModuleHandleW(nullptr), (scratch_ / L"A\\tvxlng.dll").c_str());
    HMODULE first = ResourceModule();
    EXPECT_TRUE(MapsFile(first, L"\\A\\tvxlng.dll"));
    LoadLanguageModule(GetModuleHandleW(nullptr), (scratch_ / L"B\\tvxlng.dll").c_str());
    EXPECT_EQ(LibraryString(5140), L"right-to-left library");
    EXPECT_FALSE(MapsFile(first, L"\\A\\tvxlng.dll"));
}

TEST_F(LanguageModuleTest, RtlDialogMarkerInTheLibraryMakesTheLanguageRightToLeft)
{
    for (const wchar_t* variant : {L"ltr", L"rtl"}) {
        SetProcessDefaultLayout(0);
        LoadLanguageModule(GetModuleHandleW(nullptr), FixtureLibrary(variant).c_str());
        LanguageTable table;
        table.Load((scratch_ / L"absent.lng").c_str());
        bool rtl = std::wstring(variant) == L"rtl";
        EXPECT_EQ(table.IsRightToLeft(), rtl) << variant;
        DWORD layout = 0;
        GetProcessDefaultLayout(&layout);
        EXPECT_EQ(layout == LAYOUT_RTL, rtl) << variant;
    }
}

TEST_F(LanguageModuleTest, LanguageFileIsLookedForInTheLanguageFolder)
{
    CreateDirectoryW((scratch_ / L"Lang").c_str(), nullptr);
    WriteFileBytes(scratch_ / L"Lang\\uninstall.lng", "***messages***\r\nIDS_WHERE folder\r\n");
    WriteFileBytes(scratch_ / L"uninstall.lng", "***messages***\r\nIDS_WHERE beside\r\n");
    SetLanguageFolder(scratch_ / L"Lang");
    LanguageTable table;
    table.Load((scratch_ / L"uninstall.lng").c_str());
    EXPECT_EQ(TextOf(table, "s:IDS_WHERE"), L"folder");
}

// Each row: the LanguageFolder value (nullptr: none), whether Lang\uninstall.lng exists,
// the name asked for, and whether the language-folder path is expected back.
struct FolderCase {
    const wchar_t* folderValue;
    bool fileThere;
    const wchar_t* name;
    bool expectFolder;
};

const FolderCase kFolderCases[] = {
    {nullptr, true, L"uninstall.lng", false},
    {L"<scratch>\\Lang", true, L"uninstall.lng", true},
    {L"<scratch>\\Lang\\", true, L"C:\\elsewhere\\uninstall.lng", true},
    {L"<scratch>\\Lang", false, L"uninstall.lng", false},
    {L"<scratch>\\Missing", true, L"uninstall.lng", false},
};

TEST_F(LanguageModuleTest, ApplyLanguageFolderGivesTheFolderPathOnlyWhenTheFileIsThere)
{
    for (const FolderCase& row : kFolderCases) {
        RegDeleteTree(HKEY_CURRENT_USER, kGeneralKey);
        DeleteTree(scratch_ / L"Lang");
        CreateDirectoryW((scratch_ / L"Lang").c_str(), nullptr);
        if (row.fileThere) WriteFileBytes(scratch_ / L"Lang\\uninstall.lng", "x");
        if (row.folderValue != nullptr) {
            std::wstring value = row.folderValue;
            SetLanguageFolder(scratch_.Path() + value.substr(wcslen(L"<scratch>")));
        }
        wchar_t out[kPathCapacity];
        ApplyLanguageFolder(row.name, out, kPathCapacity);
        std::wstring expected = row.expectFolder ? scratch_ / L"Lang\\uninstall.lng" : row.name;
        EXPECT_EQ(std::wstring(out), expected) << row.name;
    }
}

TEST_F(LanguageModuleTest, ApplyLanguageFolderWorksInPlaceAndKeepsTheNameWhenThePathDoesNotFit)
{
    CreateDirectoryW((scratch_ / L"Lang").c_str(), nullptr);
    WriteFileBytes(scratch_ / L"Lang\\uninstall.lng", "x");
    SetLanguageFolder(scratch_ / L"Lang");
    wchar_t inPlace[kPathCapacity] = L"uninstall.lng";
    ApplyLanguageFolder(inPlace, inPlace, kPathCapacity);
    EXPECT_EQ(std::wstring(inPlace), scratch_ / L"Lang\\uninstall.lng");
    wchar_t small[20];
    ApplyLanguageFolder(L"uninstall.lng", small, 20);
    EXPECT_STREQ(small, L"uninstall.lng");
}

// The stored value may lack its terminator, fill the whole buffer, or be no text at all.
TEST_F(LanguageModuleTest, ApplyLanguageFolderCopesWithOddRegistryValues)
{
    CreateDirectoryW((scratch_ / L"Lang").c_str(), nullptr);
    WriteFileBytes(scratch_ / L"Lang\\uninstall.lng", "x");
    RegKey key;
    ASSERT_EQ(RegCreateKeyExW(HKEY_CURRENT_USER, kGeneralKey, 0, nullptr, 0, KEY_SET_VALUE,
                              nullptr, key.receive(), nullptr),
              ERROR_SUCCESS);
    auto setRaw = [&](DWORD type, const std::wstring& data) {
        RegSetValueExW(key.get(), L"LanguageFolder", 0, type,
                       reinterpret_cast<const BYTE*>(data.data()),
                       static_cast<DWORD>(data.size() * sizeof(wchar_t)));
    };
    wchar_t out[kPathCapacity];
    setRaw(REG_SZ, scratch_ / L"Lang");  // no terminator stored
    ApplyLanguageFolder(L"uninstall.lng", out, kPathCapacity);
    EXPECT_EQ(std::wstring(out), scratch_ / L"Lang\\uninstall.lng");
    for (size_t length : {2047 - wcslen(L"uninstall.lng"), size_t{4000}}) {
        setRaw(REG_SZ, std::wstring(length, L'a'));
        ApplyLanguageFolder(L"uninstall.lng", out, kPathCapacity);
        EXPECT_STREQ(out, L"uninstall.lng");
    }
    setRaw(REG_BINARY, scratch_ / L"Lang");
    ApplyLanguageFolder(L"uninstall.lng", out, kPathCapacity);
    EXPECT_STREQ(out, L"uninstall.lng");
}

// An empty folder value must not make a full path fall back on the current folder.
TEST_F(LanguageModuleTest, EmptyLanguageFolderIsNoFolder)
{
    WriteFileBytes(scratch_ / L"tvxlng.dll", "x");
    wchar_t current[MAX_PATH];
    GetCurrentDirectoryW(MAX_PATH, current);
    SetCurrentDirectoryW(scratch_.Path().c_str());
    SetLanguageFolder(L"");
    wchar_t out[kPathCapacity];
    ApplyLanguageFolder(L"C:\\elsewhere\\tvxlng.dll", out, kPathCapacity);
    SetCurrentDirectoryW(current);
    EXPECT_STREQ(out, L"C:\\elsewhere\\tvxlng.dll");
}

}  // namespace
}  // namespace tvx::test
