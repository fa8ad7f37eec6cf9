#include "language/language_table.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <cwchar>
#include <memory>
#include "common/charset.h"
#include "common/errors.h"
#include "common/fileobject.h"
#include "common/paths.h"
#include "common/strings.h"
#include "language/language_module.h"

namespace tvx {

namespace {

constexpr uint32_t kBlockBytes = 8192;
// Consecutive marker-search blocks share this many bytes, enough for the whole 16-bit
// marker (26 bytes), so a marker that straddles two blocks is still seen in one piece.
constexpr uint32_t kBlockOverlap = 32;
constexpr uint32_t kMaxBlocks = 256;
constexpr uint32_t kMaxDataBytes = 2097152;
constexpr uint32_t kMaxDataChars = 1048576;
constexpr uint32_t kMaxValueChars = 65536;
constexpr size_t kMaxNameChars = 99;  // a section name, or a key name with its delimiter
constexpr size_t kPrefixCapacity = 100;
constexpr size_t kKeyCapacity = 50;

// Only the first thirteen characters are looked for.
constexpr char kMarker[] = "***messages**";
constexpr uint32_t kMarkerChars = sizeof(kMarker) - 1;

struct FreeMemory {
    void operator()(void* memory) const { std::free(memory); }
};
template <typename T>
using MallocPtr = std::unique_ptr<T, FreeMemory>;

template <typename T>
T* AllocateOrFail(size_t count)
{
    void* memory = ReallocateMemory(nullptr, count * sizeof(T));
    if (memory == nullptr) Errors().FailNoMemory();
    return static_cast<T*>(memory);
}

bool IsLineEnd(wchar_t c) { return c == L'\r' || c == L'\n'; }
bool IsSpaceOrTab(wchar_t c) { return c == L' ' || c == L'\t'; }

bool MarkerAt(const uint8_t* data, uint32_t size, uint32_t offset, uint32_t unitBytes)
{
    if (size - offset < kMarkerChars * unitBytes) return false;
    for (uint32_t i = 0; i < kMarkerChars; ++i) {
        const uint8_t* unit = data + offset + i * unitBytes;
        if (unit[0] != static_cast<uint8_t>(kMarker[i])) return false;
        if (unitBytes == 2 && unit[1] != 0) return false;
    }
    return true;
}

// Offset of the first marker that starts before limit, or -1.
int32_t FindMarkerInBlock(const uint8_t* block, uint32_t size, uint32_t limit, bool* wide)
{
    for (uint32_t k = 0; k < limit; ++k) {
        if (block[k] != '*') continue;
        *wide = false;
        if (MarkerAt(block, size, k, 1)) return static_cast<int32_t>(k);
        *wide = true;
        if (MarkerAt(block, size, k, 2)) return static_cast<int32_t>(k);
    }
    return -1;
}

uint32_t ReadFully(FileObject& file, void* buffer, uint32_t count)
{
    uint32_t total = 0;
    while (total < count) {
        uint32_t read = file.Read(static_cast<uint8_t*>(buffer) + total, count - total);
        if (read == 0) break;
        total += read;
    }
    return total;
}

bool FindMarker(FileObject& file, int64_t* dataStart, bool* wide)
{
    uint8_t block[kBlockBytes];
    int64_t blockStart = 0;
    for (uint32_t n = 0; n < kMaxBlocks; ++n) {
        file.Seek(blockStart, FILE_BEGIN);
        uint32_t size = ReadFully(file, block, kBlockBytes);
        bool last = size < kBlockBytes;
        uint32_t limit = last ? size : size - kBlockOverlap;
        int32_t offset = FindMarkerInBlock(block, size, limit, wide);
        if (offset >= 0) {
            *dataStart = blockStart + offset;
            return true;
        }
        if (last) break;
        blockStart += limit;
    }
    return false;
}

// The data from the marker on as UTF-16, terminated; nullptr when memory is short.
// The bytes the file holds from the marker on, up to the limit: a buffer of the whole limit
// for every translation made each start-up pay for 2 MiB of fresh pages.
uint32_t DataBytes(FileObject& file, int64_t dataStart)
{
    file.Seek(0, FILE_END);
    int64_t end = file.Tell();
    if (end < dataStart) return kMaxDataBytes;
    return static_cast<uint32_t>(std::min<int64_t>(end - dataStart, kMaxDataBytes));
}

MallocPtr<wchar_t> ReadLanguageText(FileObject& file, int64_t dataStart, bool wide)
{
    const uint32_t limit = DataBytes(file, dataStart);
    MallocPtr<uint8_t> bytes(static_cast<uint8_t*>(ReallocateMemory(nullptr, limit + 2)));
    if (!bytes) return nullptr;
    file.Seek(dataStart, FILE_BEGIN);
    uint32_t count = ReadFully(file, bytes.get(), limit);
    if (wide) {
        MallocPtr<wchar_t> text(reinterpret_cast<wchar_t*>(bytes.release()));
        text.get()[count / 2] = L'\0';
        return text;
    }
    // In a single-byte code page each byte is one character: bytes past the character
    // limit would only be converted to be cut off again.
    CPINFO codePage;
    if (GetCPInfo(CP_ACP, &codePage) && codePage.MaxCharSize == 1)
        count = std::min(count, kMaxDataChars);
    bytes.get()[count] = 0;
    MallocPtr<wchar_t> text(
        static_cast<wchar_t*>(ReallocateMemory(nullptr, (count + 1) * sizeof(wchar_t))));
    if (!text) return nullptr;
    AnsiToWide(reinterpret_cast<const char*>(bytes.get()), text.get(), count + 1);
    if (count >= kMaxDataChars) text.get()[kMaxDataChars] = L'\0';
    return text;
}

// A read that failed part-way cut the last line short: it goes, so that its key falls back to
// the program's own text instead of showing the start of a translation.
void DropCutLine(wchar_t* text)
{
    wchar_t* lastLineEnd = nullptr;
    for (wchar_t* c = text; *c != L'\0'; ++c)
        if (IsLineEnd(*c)) lastLineEnd = c;
    if (lastLineEnd != nullptr) lastLineEnd[1] = L'\0';
    else text[0] = L'\0';
}

// Wide name of at most kMaxNameChars characters to the ANSI code page.
void NameToAnsi(const wchar_t* name, size_t length, char* out, size_t capacity)
{
    length = std::min(length, kMaxNameChars);
    // Keys are ASCII in practice, the same in every code page: no system call for them.
    if (std::all_of(name, name + length, [](wchar_t c) { return c < 0x80; })) {
        size_t count = std::min(length, capacity - 1);
        std::copy(name, name + count, out);
        out[count] = '\0';
        return;
    }
    wchar_t wideName[kMaxNameChars + 1];
    wmemcpy(wideName, name, length);
    wideName[length] = L'\0';
    WideToAnsi(wideName, out, capacity);
}

// Turns the language text into entries, line by line.
class LanguageParser {
public:
    LanguageParser(GrowableArray<LanguageEntry>& entries, bool& rightToLeft, wchar_t* value)
        : entries_(entries), rightToLeft_(rightToLeft), value_(value)
    {
    }
    void Parse(const wchar_t* text);

private:
    const wchar_t* SectionLine(const wchar_t* position);
    void ApplySection(size_t keyword, const wchar_t* name, size_t length);
    const wchar_t* KeyLine(const wchar_t* position);
    const wchar_t* ValueEscape(const wchar_t* position);
    const wchar_t* ValueRun(const wchar_t* position);
    void AppendValue(wchar_t c);
    void EndLine();

    GrowableArray<LanguageEntry>& entries_;
    bool& rightToLeft_;
    wchar_t* value_;
    uint32_t valueLength_ = 0;
    char prefix_[kPrefixCapacity] = "s:";
    char key_[kKeyCapacity] = "";
};

void LanguageParser::Parse(const wchar_t* text)
{
    const wchar_t* position = text;
    for (;;) {
        // The data starts with the marker, so its first line is never a key or section.
        if (position != text && IsLineEnd(position[-1])) {
            if (*position == L':') position = SectionLine(position);
            else if (IsAsciiLetter(*position)) position = KeyLine(position);
        }
        wchar_t c = *position;
        if (c == L'\0') break;
        if (IsLineEnd(c)) {
            EndLine();
            ++position;
        } else if (c == L'\\') {
            position = ValueEscape(position);
        } else {
            position = ValueRun(position);
        }
    }
    EndLine();
}

enum SectionKeyword : size_t { Strings, Dialog, Menu, Direction, kSectionKeywords };
constexpr const wchar_t* kSectionWords[kSectionKeywords] = {L"STRINGS", L"DIALOG", L"MENU",
                                                            L"DIRECTION"};

// Returns the position after the keyword and its name, or position itself when the line
// holds no keyword (it is then ignored like any other line without a key).
const wchar_t* LanguageParser::SectionLine(const wchar_t* position)
{
    for (size_t keyword = 0; keyword < kSectionKeywords; ++keyword) {
        size_t wordLength = wcslen(kSectionWords[keyword]);
        const wchar_t* after = position + 1 + wordLength;
        if (wcsncmp(position + 1, kSectionWords[keyword], wordLength) != 0) continue;
        if (*after > L' ') continue;
        while (IsSpaceOrTab(*after)) ++after;
        const wchar_t* name = after;
        while (*after > L' ' && static_cast<size_t>(after - name) < kMaxNameChars) ++after;
        ApplySection(keyword, name, after - name);
        return after;
    }
    return position;
}

void LanguageParser::ApplySection(size_t keyword, const wchar_t* name, size_t length)
{
    if (keyword == Direction) {
        rightToLeft_ = length == 3 && wcsncmp(name, L"RTL", 3) == 0;
        return;
    }
    if (keyword == Strings) {
        CopyNarrowBounded(prefix_, "s:", kPrefixCapacity);
        return;
    }
    char ansiName[kMaxNameChars * 2 + 1];
    NameToAnsi(name, length, ansiName, sizeof(ansiName));
    CopyNarrowBounded(prefix_, keyword == Dialog ? "$" : "@", kPrefixCapacity);
    AppendNarrowBounded(prefix_, ansiName, kPrefixCapacity);
    AppendNarrowBounded(prefix_, ":", kPrefixCapacity);
}

// A key name ends at a space, tab or comma, or at the line end (a line that is nothing but
// a key then has an empty text, instead of swallowing the next line into the key).
const wchar_t* LanguageParser::KeyLine(const wchar_t* position)
{
    size_t length = 0;
    while (length < kMaxNameChars) {
        wchar_t c = position[length];
        if (c == L' ' || c == L'\t' || c == L',' || c == L'\0' || IsLineEnd(c)) break;
        ++length;
    }
    if (length == kMaxNameChars) return position;
    char ansiName[kMaxNameChars * 2 + 1];
    NameToAnsi(position, length, ansiName, sizeof(ansiName));
    CopyNarrowBounded(key_, prefix_, kKeyCapacity);
    AppendNarrowBounded(key_, ansiName, kKeyCapacity);
    const wchar_t* after = position + length;
    if (*after == L'\0' || IsLineEnd(*after)) return after;
    ++after;
    while (IsSpaceOrTab(*after)) ++after;
    return after;
}

const wchar_t* LanguageParser::ValueEscape(const wchar_t* position)
{
    static constexpr wchar_t kEscaped[] = L"\"\\nrt";
    static constexpr wchar_t kMeaning[] = L"\"\\\n\r\t";
    const wchar_t* found = position[1] != L'\0' ? wcschr(kEscaped, position[1]) : nullptr;
    if (found == nullptr) {
        AppendValue(L'\\');
        return position + 1;
    }
    AppendValue(kMeaning[found - kEscaped]);
    return position + 2;
}

// Plain characters up to the next line end, escape or end of data, taken in one piece; a
// line without a key (a comment) keeps none of them.
const wchar_t* LanguageParser::ValueRun(const wchar_t* position)
{
    const wchar_t* end = position;
    while (*end != L'\0' && *end != L'\\' && !IsLineEnd(*end)) ++end;
    if (key_[0] == '\0') return end;
    uint32_t count = std::min(static_cast<uint32_t>(end - position),
                              kMaxValueChars - valueLength_);
    wmemcpy(value_ + valueLength_, position, count);
    valueLength_ += count;
    return end;
}

void LanguageParser::AppendValue(wchar_t c)
{
    if (valueLength_ < kMaxValueChars) value_[valueLength_++] = c;
}

// Trailing blanks go first, so a closing quote after them is still found; the quotes then
// protect blanks that belong to the text.
void LanguageParser::EndLine()
{
    if (key_[0] != '\0') {
        uint32_t end = valueLength_;
        while (end > 0 && IsSpaceOrTab(value_[end - 1])) --end;
        if (end > 0 && value_[end - 1] == L'"') --end;
        uint32_t start = end > 0 && value_[0] == L'"' ? 1 : 0;
        LanguageEntry entry;
        entry.key = AllocateOrFail<char>(strlen(key_) + 1);
        strcpy(entry.key, key_);
        entry.text = AllocateOrFail<wchar_t>(end - start + 1);
        wmemcpy(entry.text, value_ + start, end - start);
        entry.text[end - start] = L'\0';
        entries_.Add(entry);
    }
    key_[0] = '\0';
    valueLength_ = 0;
}

// The part of a key before its first ':' against a section name, byte-wise.
int CompareSections(const char* a, const char* b)
{
    for (;; ++a, ++b) {
        unsigned char x = *a == ':' ? 0 : static_cast<unsigned char>(*a);
        unsigned char y = *b == ':' ? 0 : static_cast<unsigned char>(*b);
        if (x != y) return x < y ? -1 : 1;
        if (x == 0) return 0;
    }
}

int CompareSectionAndId(const LanguageKey& row, const char* section, uint32_t id)
{
    int bySection = CompareSections(row.key, section);
    if (bySection != 0) return bySection;
    return row.id < id ? -1 : row.id > id ? 1 : 0;
}

void FillIndexes(GrowableArray<uint32_t>& indexes, uint32_t count)
{
    indexes.Resize(count);
    for (uint32_t i = 0; i < count; ++i) indexes[i] = i;
}

// The language file's path: the language folder's copy, else beside the program when the
// name is bare.
void LanguageFilePath(const wchar_t* fileName, wchar_t* path)
{
    ApplyLanguageFolder(fileName, path, kPathCapacity);
    if (wcschr(path, L'\\') != nullptr) return;
    wchar_t besideProgram[kPathCapacity];
    GetProgramPath(besideProgram, kPathCapacity);
    *NamePart(besideProgram) = L'\0';
    AppendText(besideProgram, path, kPathCapacity);
    CopyText(path, besideProgram, kPathCapacity);
}

}  // namespace

void LanguageTable::Load(const wchar_t* fileName)
{
    FileObject file;
    LoadWith(file, fileName);
}

void LanguageTable::LoadWith(FileObject& file, const wchar_t* fileName)
{
    Release();
    wchar_t path[kPathCapacity];
    LanguageFilePath(fileName, path);
    if (file.Open(path, true)) {
        SortKeyIndexes();
        LoadFromFile(file);
        file.Close();
    }
    if (FindResourceW(ResourceModule(), L"RTL", RT_DIALOG) != nullptr) rightToLeft_ = true;
    // Every window created from now on is mirrored, message boxes and dialogs alike.
    if (rightToLeft_) SetProcessDefaultLayout(LAYOUT_RTL);
}

void LanguageTable::LoadFromFile(FileObject& file)
{
    int64_t dataStart = 0;
    bool wide = false;
    if (!FindMarker(file, &dataStart, &wide)) return;
    MallocPtr<wchar_t> text = ReadLanguageText(file, dataStart, wide);
    MallocPtr<wchar_t> value(
        static_cast<wchar_t*>(ReallocateMemory(nullptr, (kMaxValueChars + 1) * sizeof(wchar_t))));
    if (!text || !value) return;
    if (file.ReadFailed()) DropCutLine(text.get());
    LanguageParser(entries_, rightToLeft_, value.get()).Parse(text.get());
    SortEntries();
}

void LanguageTable::SortKeyIndexes()
{
    FillIndexes(keysBySection_, kLanguageKeyCount);
    std::sort(keysBySection_.Data(), keysBySection_.Data() + kLanguageKeyCount,
              [](uint32_t a, uint32_t b) {
                  const LanguageKey& right = LanguageKeyTable[b];
                  return CompareSectionAndId(LanguageKeyTable[a], right.key, right.id) < 0;
              });
}

void LanguageTable::SortEntries()
{
    FillIndexes(entriesByKey_, entries_.Count());
    std::sort(entriesByKey_.Data(), entriesByKey_.Data() + entriesByKey_.Count(),
              [this](uint32_t a, uint32_t b) {
                  return strcmp(entries_[a].key, entries_[b].key) < 0;
              });
}

void LanguageTable::Release()
{
    for (uint32_t i = 0; i < entries_.Count(); ++i) {
        std::free(entries_[i].key);
        std::free(entries_[i].text);
    }
    entries_.Clear();
    entriesByKey_.Clear();
    keysBySection_.Clear();
    rightToLeft_ = false;
}

bool LanguageTable::FindText(const char* key, wchar_t* out, size_t capacity) const
{
    const uint32_t* first = entriesByKey_.Data();
    const uint32_t* last = first + entriesByKey_.Count();
    const uint32_t* found =
        std::lower_bound(first, last, key, [this](uint32_t index, const char* wanted) {
            return strcmp(entries_[index].key, wanted) < 0;
        });
    if (found == last || strcmp(entries_[*found].key, key) != 0) return false;
    CopyText(out, entries_[*found].text, capacity);
    return true;
}

bool LanguageTable::FindKeyForId(const char* section, uint32_t id, char* out, size_t capacity) const
{
    if (entries_.Count() == 0) return false;
    const uint32_t* first = keysBySection_.Data();
    const uint32_t* last = first + keysBySection_.Count();
    const uint32_t* found = std::lower_bound(first, last, 0u, [&](uint32_t index, uint32_t) {
        return CompareSectionAndId(LanguageKeyTable[index], section, id) < 0;
    });
    if (found == last || CompareSectionAndId(LanguageKeyTable[*found], section, id) != 0)
        return false;
    CopyNarrowBounded(out, LanguageKeyTable[*found].key, capacity);
    return true;
}

LanguageTable& Languages()
{
    static LanguageTable table;
    return table;
}

}  // namespace tvx
