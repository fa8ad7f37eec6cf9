#include <gtest/gtest.h>
#include <set>
#include <string>
#include "common/fileobject.h"
#include "common/fileops.h"
#include "support/scratch.h"

namespace tvx {
namespace {

std::wstring LongForm(const std::wstring& path)
{
    wchar_t output[kPathCapacity];
    EXPECT_TRUE(MakeLongPath(path.c_str(), output, kPathCapacity));
    return output;
}

// Folders nested under the scratch folder until the path passes 300 characters.
std::wstring MakeDeepFolder(const test::ScratchFolder& scratch)
{
    std::wstring path = scratch.Path();
    while (path.size() < 300) {
        path += L"\\" + std::wstring(60, L'd');
        EXPECT_EQ(CreateDirectoryLong(path.c_str(), false, 0), DirectoryCreated) << path.size();
    }
    return path;
}

// Long paths are removed through their long form: the plain one is past the limit on Windows.
void RemoveDeepFolder(const test::ScratchFolder& scratch, std::wstring path)
{
    while (path.size() > scratch.Path().size()) {
        RemoveDirectoryW(LongForm(path).c_str());
        path.resize(path.rfind(L'\\'));
    }
}

TEST(FileOps, PathsBeyond300CharactersWorkThroughTheLongForm)
{
    test::ScratchFolder scratch(L"tvx-fileops");
    std::wstring folder = MakeDeepFolder(scratch);
    std::wstring file = folder + L"\\" + std::wstring(40, L'f') + L".txt";
    ASSERT_GT(file.size(), 300u);
    {
        FileObject writer;
        ASSERT_TRUE(writer.Create(file.c_str(), false));
        ASSERT_TRUE(writer.Write("12345", 5));
        ASSERT_TRUE(writer.Close());
    }
    {
        FileObject reader;
        ASSERT_TRUE(reader.Open(file.c_str(), false));
        char buffer[8];
        EXPECT_EQ(reader.Read(buffer, sizeof buffer), 5u);
    }
    EXPECT_TRUE(FileExists(file.c_str()));
    EXPECT_TRUE(IsDirectoryAttr(GetFileAttributesLong(folder.c_str())));
    EXPECT_TRUE(SetFileAttributesLong(file.c_str(), FILE_ATTRIBUTE_HIDDEN));
    EXPECT_TRUE(GetFileAttributesLong(file.c_str()) & FILE_ATTRIBUTE_HIDDEN);

    DirectoryScanner scanner;
    scanner.SetMask((folder + L"\\*").c_str());
    FoundEntry entry;
    ASSERT_TRUE(scanner.Next(entry));
    EXPECT_EQ(std::wstring(entry.name), file);
    EXPECT_EQ(entry.size, 5u);
    EXPECT_FALSE(scanner.Next(entry));
    EXPECT_FALSE(entry.error);
    scanner.Close();

    FoundEntry single;
    EXPECT_TRUE(FindSingle(file.c_str(), single));
    EXPECT_TRUE(SetFileAttributesLong(file.c_str(), FILE_ATTRIBUTE_NORMAL));
    EXPECT_TRUE(DeleteFileLong(file.c_str()));
    EXPECT_FALSE(FileExists(file.c_str()));
    EXPECT_FALSE(DeleteFileLong(file.c_str()));
    RemoveDeepFolder(scratch, folder);
}

TEST(FileOps, AFolderNameEndingInADotKeepsItsDot)
{
    test::ScratchFolder scratch(L"tvx-fileops");
    // A folder named without the dot already exists: the dotted one must be another folder.
    std::wstring plain = scratch / L"name";
    ASSERT_EQ(CreateDirectoryLong(plain.c_str(), false, 0), DirectoryCreated);
    std::wstring dotted = plain + L".";
    EXPECT_EQ(CreateDirectoryLong(dotted.c_str(), true, FILE_ATTRIBUTE_HIDDEN), DirectoryCreated);

    std::set<std::wstring> names;
    DirectoryScanner scanner;
    scanner.SetMask((scratch / L"*").c_str());
    for (FoundEntry entry; scanner.Next(entry);) names.insert(NamePart(entry.name));
    EXPECT_EQ(names, (std::set<std::wstring>{L"name", L"name."}));

    DWORD dottedAttributes = GetFileAttributesW(LongForm(dotted).c_str());
    EXPECT_TRUE(IsDirectoryAttr(dottedAttributes));
    EXPECT_TRUE(dottedAttributes & FILE_ATTRIBUTE_HIDDEN);
    EXPECT_FALSE(GetFileAttributesW(plain.c_str()) & FILE_ATTRIBUTE_HIDDEN);
    EXPECT_EQ(CreateDirectoryLong(dotted.c_str(), false, 0), DirectoryFailed);
    RemoveDirectoryW(LongForm(dotted).c_str());
}

// Wine accepts plain paths beyond 260 characters, but it drops a trailing dot like Windows:
// a file named "file." is reached only through the extended-length retry.
TEST(FileOps, ANameOnlyTheLongFormReachesIsTestedOpenedAndDeleted)
{
    test::ScratchFolder scratch(L"tvx-fileops");
    std::wstring path = scratch / L"file.";
    test::WriteFileBytes(LongForm(path), "dot");
    ASSERT_FALSE(FileExists((scratch / L"file").c_str()));

    EXPECT_TRUE(FileExists(path.c_str()));
    FoundEntry entry;
    ASSERT_TRUE(FindSingle(path.c_str(), entry));
    EXPECT_EQ(std::wstring(entry.name), path);
    EXPECT_EQ(entry.size, 3u);
    EXPECT_TRUE(SetFileAttributesLong(path.c_str(), FILE_ATTRIBUTE_ARCHIVE | FILE_ATTRIBUTE_HIDDEN));
    EXPECT_TRUE(GetFileAttributesLong(path.c_str()) & FILE_ATTRIBUTE_HIDDEN);
    {
        FileObject reader;
        ASSERT_TRUE(reader.Open(path.c_str(), false));
        char buffer[8];
        EXPECT_EQ(reader.Read(buffer, sizeof buffer), 3u);
    }
    EXPECT_TRUE(DeleteFileLong(path.c_str()));
    EXPECT_FALSE(FileExists(path.c_str()));
}

TEST(FileOps, CreateDirectoryTellsAnExistingFolderFromAMissingParent)
{
    test::ScratchFolder scratch(L"tvx-fileops");
    EXPECT_EQ(CreateDirectoryLong(scratch.Path().c_str(), false, 0), DirectoryFailed);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_ALREADY_EXISTS));
    EXPECT_EQ(CreateDirectoryLong((scratch / L"missing\\child").c_str(), false, 0), ParentMissing);
    EXPECT_FALSE(FileExists((scratch / L"missing").c_str()));
}

TEST(FileOps, ScanListsEntriesWithFullNamesSizesAndTimes)
{
    test::ScratchFolder scratch(L"tvx-fileops");
    test::WriteFileBytes(scratch / L"a.txt", "hello");
    ASSERT_EQ(CreateDirectoryLong((scratch / L"sub").c_str(), false, 0), DirectoryCreated);

    DirectoryScanner scanner;
    scanner.SetMask((scratch / L"*").c_str());
    int seen = 0;
    for (FoundEntry entry; scanner.Next(entry); ++seen) {
        std::wstring name = NamePart(entry.name);
        EXPECT_EQ(std::wstring(entry.name), scratch / name);
        EXPECT_EQ(entry.isDirectory, name == L"sub") << name;
        if (name == L"a.txt") {
            EXPECT_EQ(entry.size, 5u);
        }
        ULARGE_INTEGER raw{{entry.rawModified.dwLowDateTime, entry.rawModified.dwHighDateTime}};
        EXPECT_GT(raw.QuadPart, 0u);
        EXPECT_EQ(static_cast<uint64_t>(entry.modified), raw.QuadPart * 100);
    }
    EXPECT_EQ(seen, 2);
}

TEST(FileOps, EmptyAndMissingFoldersEndTheScanWithoutAnError)
{
    test::ScratchFolder scratch(L"tvx-fileops");
    for (const std::wstring& mask : {scratch / L"*", scratch / L"missing\\*", std::wstring()}) {
        DirectoryScanner scanner;
        scanner.SetMask(mask.c_str());
        FoundEntry entry;
        entry.error = true;
        EXPECT_FALSE(scanner.Next(entry)) << mask;
        EXPECT_FALSE(entry.error) << mask;
    }
}

HANDLE WINAPI RefuseToList(LPCWSTR, LPWIN32_FIND_DATAW)
{
    SetLastError(ERROR_ACCESS_DENIED);
    return INVALID_HANDLE_VALUE;
}

TEST(FileOps, AFolderThatCannotBeListedSetsTheErrorFlag)
{
    test::ScratchFolder scratch(L"tvx-fileops");
    test::WriteFileBytes(scratch / L"a.txt", "x");
    SetFindFirstFileForTesting(&RefuseToList);
    DirectoryScanner scanner;
    scanner.SetMask((scratch / L"*").c_str());
    FoundEntry entry;
    bool found = scanner.Next(entry);
    FoundEntry single;
    bool foundSingle = FindSingle((scratch / L"a.txt").c_str(), single);
    SetFindFirstFileForTesting(nullptr);
    EXPECT_FALSE(found);
    EXPECT_TRUE(entry.error);
    EXPECT_FALSE(foundSingle);
    EXPECT_TRUE(single.error);

    scanner.SetMask((scratch / L"*").c_str());
    EXPECT_TRUE(scanner.Next(entry));
    EXPECT_FALSE(entry.error);
}

TEST(FileOps, FindSingleRefusesWildcards)
{
    test::ScratchFolder scratch(L"tvx-fileops");
    test::WriteFileBytes(scratch / L"a.txt", "x");
    FoundEntry entry;
    EXPECT_FALSE(FindSingle((scratch / L"a*.txt").c_str(), entry));
    EXPECT_FALSE(FindSingle((scratch / L"?.txt").c_str(), entry));
    EXPECT_FALSE(entry.error);
    EXPECT_FALSE(FindSingle((scratch / L"b.txt").c_str(), entry));
    EXPECT_FALSE(entry.error);
    ASSERT_TRUE(FindSingle((scratch / L"a.txt").c_str(), entry));
    EXPECT_EQ(std::wstring(entry.name), scratch / L"a.txt");
    EXPECT_EQ(entry.size, 1u);
    EXPECT_FALSE(entry.isDirectory);
}

TEST(FileOps, FreeSpaceOfTheFoldersVolume)
{
    test::ScratchFolder scratch(L"tvx-fileops");
    EXPECT_GT(GetFreeSpace((scratch / L"a.txt").c_str()), 0u);
    EXPECT_GT(GetFreeSpace(L"a.txt"), 0u);  // no folder: the current drive
    EXPECT_EQ(GetFreeSpace(L"Q:\\no\\such\\drive.txt"), 0u);
}

}  // namespace
}  // namespace tvx
