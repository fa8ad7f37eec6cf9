// holdfile: keeps files in use while an end-to-end run of the uninstaller goes on beside it,
// the way a running archiver or an open document keeps them on a user's machine.
//   holdfile <ready marker> <release marker> <seconds> [--open FILE | --load LIBRARY]...
// --open holds FILE open for reading and lets others only read it (so it can be neither
// deleted nor renamed); --load loads LIBRARY as an image (renamed, but not deleted). Once
// everything is held the ready marker is created; the files are let go when the release
// marker appears or the seconds have passed. Exit status: 0 held and released, 1 something
// could not be held, 2 wrong usage.
#include <windows.h>
#include <cwchar>
#include <cstdlib>
#include <vector>
#include "common/handles.h"

namespace {

using tvx::FileHandle;
using tvx::ModuleHandle;

constexpr DWORD kPollMilliseconds = 50;

bool Exists(const wchar_t* path)
{
    return GetFileAttributesW(path) != INVALID_FILE_ATTRIBUTES;
}

bool CreateMarker(const wchar_t* path)
{
    FileHandle marker(CreateFileW(path, GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                                  FILE_ATTRIBUTE_NORMAL, nullptr));
    return marker.valid();
}

bool HoldAll(int count, wchar_t** values, std::vector<FileHandle>& files,
             std::vector<ModuleHandle>& libraries)
{
    for (int i = 4; i + 1 < count; i += 2) {
        const wchar_t* path = values[i + 1];
        if (std::wcscmp(values[i], L"--open") == 0) {
            files.emplace_back(CreateFileW(path, GENERIC_READ, FILE_SHARE_READ, nullptr,
                                           OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
            if (!files.back().valid()) return false;
        } else if (std::wcscmp(values[i], L"--load") == 0) {
            libraries.emplace_back(LoadLibraryW(path));
            if (!libraries.back().valid()) return false;
        } else {
            return false;
        }
    }
    return true;
}

}  // namespace

int wmain(int count, wchar_t** values)
{
    if (count < 4 || count % 2 != 0) return 2;
    std::vector<FileHandle> files;
    std::vector<ModuleHandle> libraries;
    if (!HoldAll(count, values, files, libraries) || !CreateMarker(values[1])) return 1;
    ULONGLONG end = GetTickCount64() + std::wcstoul(values[3], nullptr, 10) * 1000ull;
    while (!Exists(values[2]) && GetTickCount64() < end) Sleep(kPollMilliseconds);
    return 0;
}
