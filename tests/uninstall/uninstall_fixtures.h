// Helpers shared by the uninstall run's tests: staging files in a scratch product folder and
// watching (then restoring) the system's list of deletions pending at restart, which the run
// writes into the prefix's real registry whatever sandbox the test has set up.
#pragma once
#include <windows.h>
#include <string>
#include <vector>
#include "common/handles.h"

namespace tvx::test {

bool PathExists(const std::wstring& path);
void MakeFolder(const std::wstring& path);
void MakeFile(const std::wstring& path);  // a few bytes of content

// Files in use as the uninstall run meets them: a copy of this test program loaded as an
// image (it can be renamed, not deleted), and a file made and held open without
// share-delete (neither renamed nor deleted).
ModuleHandle LoadCopyOfThisProgram(const std::wstring& path);
FileHandle MakeHeldFile(const std::wstring& path);

// The pairs of PendingFileRenameOperations, source names without the "\??\" prefix.
struct PendingRename {
    std::wstring source;
    std::wstring target;  // empty: delete at restart
};
std::vector<PendingRename> PendingRenames();
bool IsPendingDeletion(const std::wstring& path);

// Keeps PendingFileRenameOperations as it was when the guard was made.
class PendingRenamesGuard {
public:
    PendingRenamesGuard();
    ~PendingRenamesGuard();
    PendingRenamesGuard(const PendingRenamesGuard&) = delete;
    PendingRenamesGuard& operator=(const PendingRenamesGuard&) = delete;

private:
    std::vector<BYTE> saved_;
    bool existed_ = false;
};

// Runs a command line to its end; false when it did not end within the timeout.
bool RunAndWait(const std::wstring& commandLine, DWORD timeoutMs, DWORD* exitCode = nullptr);

}  // namespace tvx::test
