// Uninstall.lst and the deletion passes over it: every file and folder that the list names
// inside the product folder is deleted; a file in use is renamed and left to the next
// restart. The uninstall run opens the list before it changes anything and hands it here.
#pragma once
#include <windows.h>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <memory>
#include "common/growable_array.h"

namespace tvx {

constexpr wchar_t kFileListName[] = L"Uninstall.lst";
constexpr size_t kListLineCapacity = 2048;  // bytes; a longer line is read as several entries

struct StdioCloser {
    void operator()(FILE* file) const { std::fclose(file); }
};
using StdioFile = std::unique_ptr<FILE, StdioCloser>;

// Removes trailing CR, LF, blanks and tabs in place; leading blanks belong to the name.
void TrimListLine(char* line);

// True for an entry that names something inside the product folder: relative, without a
// drive, UNC, root or stream prefix, without ':' and without a component of dots that could
// lead to a parent folder ("..", or dots and blanks that the system trims to it), and
// without a component named after a device ("CON", "nul.txt").
bool StaysInsideFolder(const wchar_t* entry);

// The first "<path>.<n>.tmp" that does not exist, n from 0 to 999; 999 when all exist.
void FindFreeTempName(const wchar_t* path, wchar_t* tempName, size_t capacity);

// FolderKept: a folder not empty yet, for a later pass. Every other outcome is final.
enum class EntryOutcome { Deleted, Scheduled, Left, FolderKept };

// Deletes one listed file or (empty) folder given by its full path. A file that exists but
// cannot be deleted is renamed to a free temporary name and scheduled for deletion at
// restart, unless it is the program itself or the list (Left: they go later by other means).
EntryOutcome DeleteListedEntry(const wchar_t* entryPath, const wchar_t* programPath);

struct PassResult {
    unsigned deleted = 0;
    bool scheduledAtReboot = false;
};

// One pass over the list from its current position to its end. programFolder ends with a
// separator; entries that leave it or do not fit beside it are skipped. settled holds a flag
// per line by its place in the list, kept from pass to pass: a line whose outcome was final
// is read but not acted on again, so a later pass costs only the folders still waiting and
// a file in use is scheduled once.
PassResult RunDeletionPass(FILE* list, const wchar_t* programFolder, const wchar_t* programPath,
                           GrowableArray<uint8_t>& settled);

// Passes until one deletes nothing (a folder listed before its files goes in a later pass).
// True when any entry had to be scheduled for deletion at restart.
bool DeleteListedEntries(FILE* list, const wchar_t* programFolder, const wchar_t* programPath);

}  // namespace tvx
