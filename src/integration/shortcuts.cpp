#include "integration/shortcuts.h"

#include <shlobj.h>
#include "common/fileops.h"
#include "common/handles.h"
#include "common/paths.h"
#include "common/strings.h"
#include "language/localized_strings.h"
#include "settings/settings_store.h"

namespace tvx {

namespace {

constexpr unsigned kFirstModernVersion = 0x0600;  // the newer shell folders
constexpr size_t kGroupRowCount = 4;
const wchar_t kLinkFileName[] = L"Talvex.lnk";
const wchar_t kGroupName[] = L"Talvex";
const wchar_t kUnknownFolder[] = L"unknown_folder";
constexpr int kMaxTreeDepth = 32;

// Link name and target file of one program-group shortcut, copied out of the rotating
// buffers of the string lookup.
struct GroupRow {
    wchar_t linkName[kLineCapacity];
    wchar_t targetName[kLineCapacity];
};

// What every shortcut of one pass shares.
struct LinkContext {
    wchar_t archiver[kPathCapacity];          // Talvex.exe beside this program
    wchar_t workingDirectory[kPathCapacity];  // the user's desktop
    wchar_t description[kLineCapacity];
    const wchar_t* icon;
    GroupRow rows[kGroupRowCount];
};

bool IsModernWindows() { return WindowsVersion() >= kFirstModernVersion; }

void AppendName(wchar_t* folder, const wchar_t* name)
{
    AddTrailingSeparator(folder, kPathCapacity);
    AppendText(folder, name, kPathCapacity);
}

// The desktop shortcut's path: the all users' desktop on modern Windows, where a per-user
// one of an older setup is deleted first, else the user's own. False before Windows 6.0
// when the user has no desktop folder: then no shortcut is touched at all.
bool DesktopLinkPath(wchar_t* link)
{
    if (!IsModernWindows()) {
        if (!GetSpecialFolder(link, kPathCapacity, CSIDL_DESKTOPDIRECTORY)) return false;
    } else {
        if (GetSpecialFolder(link, kPathCapacity, CSIDL_DESKTOPDIRECTORY)) {
            AppendName(link, kLinkFileName);
            DeleteFileW(link);
        }
        GetSpecialFolder(link, kPathCapacity, CSIDL_COMMON_DESKTOPDIRECTORY);
    }
    AppendName(link, kLinkFileName);
    return true;
}

void StartMenuLinkPath(wchar_t* link)
{
    GetSpecialFolder(link, kPathCapacity, IsModernWindows() ? CSIDL_COMMON_STARTMENU : CSIDL_STARTMENU);
    AppendName(link, kLinkFileName);
}

void LookUpGroupRows(GroupRow* rows)
{
    CopyText(rows[0].linkName, kGroupName, kLineCapacity);
    CopyText(rows[0].targetName, kArchiverFileName, kLineCapacity);
    CopyText(rows[1].linkName, GetLocalizedString(IDS_TALVEXHELP), kLineCapacity);
    CopyText(rows[1].targetName, L"Talvex.chm", kLineCapacity);
    CopyText(rows[2].linkName, GetLocalizedString(IDS_TVXHELP), kLineCapacity);
    CopyText(rows[2].targetName, L"Tvx.txt", kLineCapacity);
    CopyText(rows[3].linkName, GetLocalizedString(IDS_WHATSNEW), kLineCapacity);
    CopyText(rows[3].targetName, GetLocalizedString(IDS_WHATSNEWNAME), kLineCapacity);
}

void UpdateArchiverLink(bool wanted, const wchar_t* link, const wchar_t* workingDirectory,
                        const LinkContext& context)
{
    if (wanted)
        CreateShellLink(true, context.archiver, link, workingDirectory, context.description,
                        context.icon, nullptr);
    else
        DeleteFileLong(link);
}

// The user's own files in the group go too; subfolders stay.
void EmptyGroupFolder(const wchar_t* folder)
{
    wchar_t mask[kPathCapacity];
    JoinPath(folder, L"*", mask, kPathCapacity);
    DirectoryScanner scanner;
    scanner.SetMask(mask);
    FoundEntry entry;
    while (scanner.Next(entry)) DeleteFileLong(entry.name);
}

void MakeGroup(const wchar_t* folder, const LinkContext& context)
{
    if (FileExists(folder)) EmptyGroupFolder(folder);
    CreateDirectoryW(folder, nullptr);
    wchar_t link[kPathCapacity];
    wchar_t target[kPathCapacity];
    for (size_t i = 0; i < kGroupRowCount; ++i) {
        JoinPath(folder, context.rows[i].linkName, link, kPathCapacity);
        AppendText(link, L".lnk", kPathCapacity);
        CopyText(target, context.archiver, kPathCapacity);
        ReplaceNamePart(target, context.rows[i].targetName, kPathCapacity);
        if (FileExists(target))
            CreateShellLink(true, target, link, context.workingDirectory, context.description,
                            i == 0 ? context.icon : nullptr, nullptr);
    }
}

void UpdateGroups(bool wanted, wchar_t* groupFolder, size_t capacity, const LinkContext& context)
{
    wchar_t folder[kPathCapacity];
    GetSpecialFolder(folder, kPathCapacity, CSIDL_PROGRAMS);
    AppendName(folder, kGroupName);
    if (wanted) {
        if (groupFolder != nullptr) CopyText(groupFolder, folder, capacity);
        MakeGroup(folder, context);
    } else {
        DeleteFolderTree(folder);
    }
    if (!GetSpecialFolder(folder, kPathCapacity, CSIDL_COMMON_PROGRAMS)) return;
    AppendName(folder, kGroupName);
    if (!wanted) {
        DeleteFolderTree(folder);
        return;
    }
    MakeGroup(folder, context);
    // The all users' group is the one to show when it could be made.
    if (groupFolder != nullptr && FileExists(folder)) CopyText(groupFolder, folder, capacity);
}

void ClearReadOnly(const wchar_t* path, DWORD attributes)
{
    if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_READONLY) != 0)
        SetFileAttributesLong(path, attributes & ~FILE_ATTRIBUTE_READONLY);
}

// Deletes what a folder holds. A link or junction is removed as a link, never entered; a
// subtree that cannot go stays without stopping its siblings. Each level costs some 12 KB of
// stack, so the depth is bounded; what lies deeper stays with the folders above it.
void DeleteFolderContents(const wchar_t* folder, int levelsLeft)
{
    wchar_t mask[kPathCapacity];
    JoinPath(folder, L"*", mask, kPathCapacity);
    DirectoryScanner scanner;
    scanner.SetMask(mask);
    FoundEntry entry;
    while (scanner.Next(entry)) {
        ClearReadOnly(entry.name, entry.attributes);
        if (!entry.isDirectory) {
            DeleteFileLong(entry.name);
            continue;
        }
        if (!entry.isReparsePoint && levelsLeft > 0) DeleteFolderContents(entry.name, levelsLeft - 1);
        RemoveDirectoryW(entry.name);
    }
}

}  // namespace

void UpdateShortcuts(const IntegrationOptions& options, wchar_t* groupFolder, size_t capacity,
                     const wchar_t* icon)
{
    if (!Settings().IsIntegrationEnabled()) return;
    LinkContext context;
    GetProgramSiblingPath(kArchiverFileName, context.archiver, kPathCapacity);
    wchar_t link[kPathCapacity];
    if (!DesktopLinkPath(link)) return;
    GetSpecialFolder(context.workingDirectory, kPathCapacity, CSIDL_DESKTOPDIRECTORY);
    CopyText(context.description, GetLocalizedString(IDS_TALVEXDESC), kLineCapacity);
    context.icon = icon;

    UpdateArchiverLink(options.desktop != 0, link, nullptr, context);
    StartMenuLinkPath(link);
    UpdateArchiverLink(options.startMenu != 0, link, context.workingDirectory, context);
    LookUpGroupRows(context.rows);
    UpdateGroups(options.programs != 0, groupFolder, capacity, context);
}

bool CreateShellLink(bool loadFirst, const wchar_t* target, const wchar_t* linkPath,
                     const wchar_t* workingDirectory, const wchar_t* description,
                     const wchar_t* icon, const wchar_t* arguments)
{
    ComPtr<IShellLinkW> link;
    if (FAILED(CoCreateInstance(CLSID_ShellLink, nullptr, CLSCTX_INPROC_SERVER, IID_IShellLinkW,
                                link.receive())))
        return false;
    ComPtr<IPersistFile> file;
    if (FAILED(link->QueryInterface(IID_IPersistFile, file.receive()))) return false;
    // A missing link fails to load; what an existing one holds stays unless set below.
    if (loadFirst) file->Load(linkPath, STGM_READWRITE);
    // A shortcut without its target is worse than none.
    if (FAILED(link->SetPath(target))) return false;
    if (description != nullptr) link->SetDescription(description);
    link->SetIconLocation(icon != nullptr ? icon : L"", 0);
    if (arguments != nullptr) link->SetArguments(arguments);
    if (workingDirectory != nullptr) link->SetWorkingDirectory(workingDirectory);
    return SUCCEEDED(file->Save(linkPath, TRUE));
}

bool GetSpecialFolder(wchar_t* buffer, size_t capacity, int csidl)
{
    if (capacity >= MAX_PATH &&
        SHGetFolderPathW(nullptr, csidl, nullptr, SHGFP_TYPE_CURRENT, buffer) == S_OK)
        return true;
    CopyText(buffer, kUnknownFolder, capacity);
    return false;
}

// The shell's own deletion would enter a link to a folder inside the tree and delete the
// folder it points at; this walk removes only the link.
void DeleteFolderTree(const wchar_t* path)
{
    DWORD attributes = GetFileAttributesW(path);
    if (attributes == INVALID_FILE_ATTRIBUTES || !IsDirectoryAttr(attributes) ||
        IsReparsePointAttr(attributes))
        return;
    ClearReadOnly(path, attributes);
    DeleteFolderContents(path, kMaxTreeDepth);
    RemoveDirectoryW(path);
}

}  // namespace tvx
