// The language file loader fed with the shipped translations, cut, mutated and extended: in
// memory through a file object that serves bytes (and reads them back in uneven pieces), and
// through real files. Every lookup stays inside its buffer, the table never keeps anything
// of a load into the next one, and what the format promises (keys cut to 49 bytes, texts to
// 65,536 characters, :DIRECTION anywhere in the data) holds wherever the read blocks end.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <map>
#include <string>
#include <vector>

#include "common/fileobject.h"
#include "language/language_table.h"
#include "language_test_support.h"
#include "support/fuzz.h"
#include "support/scratch.h"

namespace tvx::test {
namespace {

// A load costs about a millisecond in the emulated test build (the key table sorted, the
// text parsed unoptimized), two through a real file: CI runs 10,000 of each, and
// TVX_FUZZ_SCALE=10 gives 100,000.
constexpr uint32_t kMemoryRounds = 10000;
constexpr uint32_t kFileRounds = 10000;
constexpr size_t kSliceBytes = 600;
constexpr uint32_t kIdRowsChecked = 8;
constexpr uint32_t kEveryKeyOneIn = 16;
constexpr uint32_t kKeySampleOneIn = 4;
constexpr size_t kKeyBytes = 49;
constexpr size_t kMaxKeyNameChars = 98;  // with its delimiter within the first 99 characters
constexpr size_t kMaxTextChars = 65536;
// The marker search reads 8,192-byte blocks that overlap by 32 bytes, so they end at these
// multiples; the data read after the marker runs in pieces of its own.
constexpr size_t kSearchBlockEnd = 8192;
constexpr size_t kSearchBlockStep = 8160;

struct Translation {
    std::string bytes;     // the whole shipped file
    bool wide;             // UTF-16 LE
    std::map<std::string, std::wstring> texts;  // every key-table key the file has
    bool rightToLeft;
};

std::string Encode(const std::string& ascii, bool wide)
{
    return wide ? Utf16Le(std::wstring(ascii.begin(), ascii.end())) : ascii;
}

// The shipped file as the program loads it from disk, with the texts it yields.
Translation Shipped(const wchar_t* language, bool wide)
{
    Translation t{ReadSourceFile(SourceDir() + L"\\src\\resources\\lang\\" + language + L"\\uninstall.lng"), wide, {}, false};
    LanguageTable table;
    table.Load((SourceDir() + L"\\src\\resources\\lang\\" + language + L"\\uninstall.lng").c_str());
    for (const LanguageKey& row : LanguageKeyTable) {
        std::wstring text = TextOf(table, row.key);
        if (text != L"<missing>") t.texts[row.key] = text;
    }
    t.rightToLeft = table.IsRightToLeft();
    return t;
}

const std::vector<Translation>& Translations()
{
    static const std::vector<Translation> all = {Shipped(L"english", false), Shipped(L"hebrew", true)};
    return all;
}

// A file object over bytes in memory; with a chunk, every read returns at most that many.
class MemoryFile : public FileObject {
public:
    MemoryFile(const std::string& bytes, uint32_t chunk) : bytes_(bytes), chunk_(chunk) {}
    bool Open(const wchar_t*, bool) override { return open_ = true; }
    bool Close() override { return !(open_ = false); }
    bool IsOpen() const override { return open_; }
    int64_t Tell() override { return position_; }
    void Seek(int64_t offset, DWORD method) override
    {
        int64_t base = method == FILE_BEGIN ? 0 : method == FILE_CURRENT ? position_ : bytes_.size();
        position_ = std::min<int64_t>(std::max<int64_t>(base + offset, 0), bytes_.size());
    }
    uint32_t Read(void* buffer, uint32_t count) override
    {
        if (chunk_ != 0) count = std::min(count, chunk_);
        count = static_cast<uint32_t>(std::min<int64_t>(count, bytes_.size() - position_));
        std::memcpy(buffer, bytes_.data() + position_, count);
        position_ += count;
        return count;
    }

private:
    const std::string& bytes_;
    uint32_t chunk_;
    int64_t position_ = 0;
    bool open_ = false;
};

// A piece so placed that it straddles a read-block end, or as near as the data allows.
void InsertAcrossBlockEnd(Random& random, std::string& data, const std::string& piece)
{
    size_t blockEnd = random.OneIn(2) ? kSearchBlockEnd : kSearchBlockStep;
    size_t at = blockEnd - std::min(blockEnd, size_t{random.Below(piece.size() + 1)});
    data.insert(std::min(at, data.size()), piece);
}

std::vector<std::string> Markers(bool wide)
{
    std::vector<std::string> markers;
    for (const char* marker : {"***messages***\r\n", "\r\n:DIRECTION RTL\r\n", "\n:DIRECTION LTR ", "\r:DIALOG SETUPDLG\r",
                               "\n:STRINGS\n", "\n:MENU M\n", "\n:DIALOG ", "\nIDS_UNINSTTITLE ", "\nIDOK,\"", "\\",
                               "\\\"", "\"", "\r\n", "\t", "\nIDS_X\n",
                               "\nIDS_ABCDEFGHIJKLMNOPQRSTUVWXYZABCDEFGHIJKLMNOPQRSTUVWXYZ x\n"})
        markers.push_back(Encode(marker, wide));
    return markers;
}

// A mutated piece of a shipped file, mostly led by the marker; now and then the whole file,
// at times behind a header that moves its marker onto the end of the first search block.
std::string MutatedInput(FuzzRound& round, const Translation& source)
{
    Random& random = round.random;
    std::string input;
    if (random.OneIn(64)) {
        input = source.bytes;
        size_t marker = input.find(Encode("***messages**", source.wide));
        if (random.OneIn(2)) input.insert(0, kSearchBlockEnd - marker - random.Below(48), ';');
    } else {
        input = Slice(random, source.bytes, kSliceBytes, source.wide);
        if (!random.OneIn(8)) input.insert(0, Encode("***messages***\r\n", source.wide));
    }
    static const std::vector<std::string> markers[2] = {Markers(false), Markers(true)};
    Mutate(random, input, markers[source.wide]);
    if (random.OneIn(8)) InsertAcrossBlockEnd(random, input, random.Pick(markers[source.wide]));
    return input;
}

std::string RandomName(Random& random, size_t length)
{
    std::string name = "IDS_";
    while (name.size() < length) name += static_cast<char>(random.OneIn(4) ? '0' + random.Below(10) : 'A' + random.Below(26));
    return name;
}

// What a generated round must read back besides the shipped texts.
struct Expected {
    std::string key;
    std::wstring text;
};

// The whole shipped file with a key of 49 bytes or more and a text that may pass 65,536
// characters, and a :DIRECTION RTL line that straddles a read-block end.
std::string GeneratedInput(FuzzRound& round, const Translation& source, Expected& expected)
{
    Random& random = round.random;
    std::string name = RandomName(random, kKeyBytes - 2 + random.Below(kMaxKeyNameChars + 3 - kKeyBytes));
    size_t length = random.OneIn(16) ? kMaxTextChars - 8 + random.Below(5000) : random.Below(300);
    std::string value = RandomName(random, length).substr(0, length);
    expected = {("s:" + name).substr(0, kKeyBytes), std::wstring(value.begin(), value.end()).substr(0, kMaxTextChars)};

    // Unquoted: a quote would count against the 65,536 characters of a long value.
    std::string input = source.bytes + Encode("\r\n:STRINGS\r\n" + name + " " + value + "\r\n", source.wide);
    std::string direction = Encode("\r\n:DIRECTION RTL\r\n", source.wide);
    size_t blockEnd = kSearchBlockEnd;
    while (blockEnd < input.size() + direction.size()) blockEnd += kSearchBlockEnd;
    const size_t unit = source.wide ? 2 : 1;
    size_t filler = (blockEnd - input.size() - direction.size() + random.Below(direction.size())) / unit;
    input += Encode(filler >= 3 ? "\r\n;" + std::string(filler - 3, '-') : std::string(filler, '\n'), source.wide);
    return input + direction;
}

std::string Escaped(const std::string& text) { return testing::PrintToString(text); }

// The table's text for key in a buffer kept for the whole run, or "<missing>".
std::wstring FoundText(const LanguageTable& table, const char* key)
{
    static std::wstring text(kMaxTextChars + 1, L'\0');
    return table.FindText(key, text.data(), text.size()) ? text.c_str() : L"<missing>";
}

// The key lookup by id for one row: terminated within any capacity, the row's own key (or,
// for the id 0 rows, a key of the same section), and the same answer for every row.
std::string CheckKeyForId(FuzzRound& round, const LanguageTable& table, const LanguageKey& row, int& answer)
{
    static GuardedBuffer<char> key(1);
    key.SetCapacity(round.random.Below(60) + 1);
    std::string section(row.key, strcspn(row.key, ":"));
    bool known = table.FindKeyForId(section.c_str(), row.id, key.Data(), key.Capacity());
    std::string problem = known ? key.Check() : key.CheckUntouched();
    if (problem.empty() && known &&
        (SectionOf(key.Data()) != section.substr(0, strlen(key.Data())) ||
         (row.id != 0 && strncmp(key.Data(), row.key, key.Capacity() - 1) != 0)))
        problem = "gave another row's key " + Escaped(key.Data());
    if (problem.empty() && answer != -1 && answer != known) problem = "answers differ between rows";
    answer = known;
    return problem.empty() ? "" : "FindKeyForId " + Escaped(row.key) + ": " + problem;
}

// Keys of the key table against the loaded table: a found text is terminated inside a
// buffer of any capacity and no longer than a value may be; a missing one leaves the buffer
// as it was. Every key now and then, otherwise some (a lookup costs microseconds unoptimized
// and emulated); the lookup by id, the same whatever was loaded, for some rows of each round.
std::string CheckLookups(FuzzRound& round, const LanguageTable& table)
{
    const bool everyKey = round.random.OneIn(kEveryKeyOneIn);
    for (const LanguageKey& row : LanguageKeyTable) {
        if (!everyKey && !round.random.OneIn(kKeySampleOneIn)) continue;
        static GuardedBuffer<wchar_t> text(kMaxTextChars + 2);
        text.SetCapacity(round.random.OneIn(256) ? kMaxTextChars + 2 : round.random.Below(80) + 1);
        bool found = table.FindText(row.key, text.Data(), text.Capacity());
        std::string problem = found ? text.Check() : text.CheckUntouched();
        if (found && problem.empty() && wcslen(text.Data()) > kMaxTextChars) problem = "text longer than a value may be";
        if (!problem.empty()) return "FindText " + Escaped(row.key) + ": " + problem;
    }
    int answer = -1;
    for (uint32_t n = 0; n < kIdRowsChecked; ++n) {
        std::string problem = CheckKeyForId(round, table, LanguageKeyTable[round.random.Below(kLanguageKeyCount)], answer);
        if (!problem.empty()) return problem;
    }
    return "";
}

// The table holds exactly the texts of a shipped file, whatever was loaded before.
std::string CheckShipped(const LanguageTable& table, const Translation& source)
{
    for (const LanguageKey& row : LanguageKeyTable) {
        auto wanted = source.texts.find(row.key);
        if (FoundText(table, row.key) != (wanted != source.texts.end() ? wanted->second : L"<missing>"))
            return "after a mutated load the shipped file reads differently at " + Escaped(row.key);
    }
    if (table.IsRightToLeft() != source.rightToLeft) return std::string("the direction stayed from the last load");
    return "";
}

std::string CheckGenerated(const LanguageTable& table, const Translation& source, const Expected& expected)
{
    if (!table.IsRightToLeft()) return "a :DIRECTION RTL across a block end was missed";
    std::wstring text = FoundText(table, expected.key.c_str());
    if (text != expected.text)
        return "key " + Escaped(expected.key) + " read back " + std::to_string(text.size()) + " characters, not " +
               std::to_string(expected.text.size());
    for (const auto& [key, wanted] : source.texts)
        if (FoundText(table, key.c_str()) != wanted) return "lost the shipped text of " + Escaped(key);
    return "";
}

// One round of either kind; load runs the loader on the input.
template <typename LoadInput>
std::string LoadRound(FuzzRound& round, LanguageTable& table, LoadInput load)
{
    const Translation& source = round.random.Pick(Translations());
    Expected expected;
    bool generated = round.random.OneIn(64);
    round.input = generated ? GeneratedInput(round, source, expected) : MutatedInput(round, source);
    load(round.input);
    std::string problem = generated ? CheckGenerated(table, source, expected) : CheckLookups(round, table);
    table.Release();
    if (problem.empty() && round.random.OneIn(32)) {
        load(source.bytes);
        problem = CheckShipped(table, source);
        table.Release();
    }
    return problem;
}

class LanguageFileFuzz : public testing::Test {
protected:
    RegistrySandbox sandbox_;
    LanguageStateGuard guard_;
    LanguageTable table_;
};

TEST_F(LanguageFileFuzz, LoadsFromMemoryInUnevenReads)
{
    ASSERT_FALSE(Translations()[0].texts.empty());
    ASSERT_TRUE(Translations()[1].rightToLeft);
    RunFuzz("LanguageLoad", kMemoryRounds, [this](FuzzRound& round) {
        uint32_t chunk = round.random.OneIn(4) ? round.random.Below(9000) + 1 : 0;
        return LoadRound(round, table_, [&](const std::string& bytes) {
            MemoryFile file(bytes, chunk);
            table_.LoadWith(file, L"uninstall.lng");
        });
    });
}

TEST_F(LanguageFileFuzz, LoadsFromFiles)
{
    ScratchFolder scratch(L"tvx-language-fuzz");
    const std::wstring path = scratch / L"uninstall.lng";
    RunFuzz("LanguageFile", kFileRounds, [&](FuzzRound& round) {
        return LoadRound(round, table_, [&](const std::string& bytes) {
            WriteFileBytes(path, bytes);
            table_.Load(path.c_str());
        });
    });
}

}  // namespace
}  // namespace tvx::test
