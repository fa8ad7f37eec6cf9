// The record of integration choices, the fixed table of archive types it indexes, and their
// persistence under Software\Talvex\Setup. Setup and removal both run the engine with such a
// record; an all-zero one (value-initialised) takes back everything the engine does.
#pragma once
#include <windows.h>
#include <cstddef>
#include <cstdint>

namespace tvx {

constexpr size_t kAssociateSlots = 20;
constexpr size_t kArchiveTypeCount = 17;
constexpr size_t kExtensionCapacity = 50;  // one dot-led extension with its terminator

// One byte a choice, 0 = off, 1 = on. Slots 17 to 19 of associate belong to no type.
struct IntegrationOptions {
    uint8_t associate[kAssociateSlots];
    uint8_t desktop;
    uint8_t startMenu;
    uint8_t programs;
    uint8_t shellExt;
    uint8_t cascadedMenu;
    uint8_t menuIcons;
};
static_assert(sizeof(IntegrationOptions) == 26, "the record is 26 one-byte choices");

struct ArchiveType {
    const wchar_t* primary;         // names the type's settings key Setup\<primary>
    const wchar_t* extensionGroup;  // dot-led extensions associated together, ".gz.tgz"
    const wchar_t* fileType;        // the class the extensions point at
};

constexpr size_t kTvxRow = 0;
constexpr size_t kZipRow = 1;
constexpr size_t kJarRow = 11;
constexpr size_t kIsoRow = 12;
extern const ArchiveType ArchiveTypeTable[kArchiveTypeCount];

// The program's file types (class names); Talvex.REV is the recovery-volume type.
extern const wchar_t kFileTypeTvx[];     // "Talvex"
extern const wchar_t kFileTypeZip[];     // "Talvex.ZIP"
extern const wchar_t kFileTypeRev[];     // "Talvex.REV"
extern const wchar_t kArchiverFileName[];  // "Talvex.exe", beside this program

// Which way an integration pass goes.
enum class IntegrationDirection { Setup, Remove };

// Splits an extension group: copies the extension starting at group (its leading dot and
// every character up to the next dot) into extension, cut to capacity. Returns the start of
// the next extension, or nullptr when the group is used up (extension then untouched).
const wchar_t* NextExtension(const wchar_t* group, wchar_t* extension, size_t capacity);

void LoadIntegrationOptions(IntegrationOptions& options);
void SaveIntegrationOptions(const IntegrationOptions& options);
// True while HKEY_CLASSES_ROOT\<extension> names Talvex or Talvex.ZIP (any case).
bool IsOwnAssociation(const wchar_t* extension);
// True for "Talvex" and "Talvex.ZIP" in any case; Talvex.REV does not count.
bool IsOwnFileType(const wchar_t* fileType);

// The full path of a file beside this program (its module path with the name replaced).
void GetProgramSiblingPath(const wchar_t* name, wchar_t* output, size_t capacity);
// Seam for tests: the program path the engine takes its folder from; nullptr restores the
// module path.
void SetProgramPathForTesting(const wchar_t* path);

}  // namespace tvx
