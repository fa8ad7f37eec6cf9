// Uninstall.lst handling fed with the product's real list, mutated, and with lines that try
// to leave the product folder: the line trimming and the containment test in memory, then
// whole deletion passes over real list files in a scratch product folder beside a folder
// that must survive. Nothing outside the product folder is ever touched, and every entry the
// list names inside it is gone afterwards unless it is a folder that still holds something.

#include <gtest/gtest.h>

#include <io.h>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <cwchar>
#include <string>
#include <vector>

#include "common/strings.h"
#include "support/fence.h"
#include "support/fuzz.h"
#include "support/scratch.h"
#include "uninstall/uninstall_list.h"
#include "uninstall_fixtures.h"

namespace tvx {
namespace {

using test::FuzzRound;
using test::GuardedBuffer;

constexpr uint32_t kLineRounds = 100000;
constexpr uint32_t kPassRounds = 10000;
constexpr size_t kUsualBytes = 300;
constexpr size_t kMaxListBytes = 8192;
constexpr size_t kFenceBytes = 256 * 1024;
constexpr wchar_t kFolder[] = L"C:\\Program Files\\Talvex\\";

// The list the installer writes (tools/standin/product.sh), as it lies in the product folder.
const std::string kProductList =
    "Formats\r\nFormats\\readme.txt\r\nuninstall.exe\r\nTalvex.exe\r\ntvxext.dll\r\ntvxext64.dll\r\n"
    "license.txt\r\nTvx.txt\r\nWhatsNew.txt\r\nuninstall.lng\r\ntvxnew.dat\r\nzipnew.dat\r\nUninstall.lst\r\n";

// Lines that lead out of the folder, or try to: parents, roots, drives, shares, devices,
// streams, and names the system trims.
const std::vector<std::string> kEscapes = {
    "..\\", "..", "...\\", ".. \\", ". .\\", "\\", "/", "C:\\", "C:", "Z:\\tmp\\", "\\\\server\\share\\",
    "\\\\?\\C:\\", "\\\\.\\", "CON", "nul.txt", "COM1", "a:b", "::$DATA", ".", " ", "\t", "\r\n", "\n",
    std::string(1, '\0'), "sub\\..\\..\\", "./../", "\\..\\"};

const std::vector<std::string> kMarkers = kEscapes;

test::FencedMemory& Fence()
{
    static test::FencedMemory fence(kFenceBytes);
    return fence;
}

std::string MutatedLine(test::Random& random)
{
    std::string line = random.OneIn(2) ? test::Slice(random, kProductList, 40, false)
                                       : random.Pick(kEscapes) + test::Slice(random, kProductList, 20, false);
    test::Mutate(random, line, kMarkers);
    if (line.size() > kUsualBytes && !random.OneIn(50)) line.resize(kUsualBytes);
    return line;
}

std::wstring Ansi(const std::string& bytes)
{
    std::wstring text(bytes.size() + 1, L'\0');
    int length = MultiByteToWideChar(CP_ACP, 0, bytes.data(), static_cast<int>(bytes.size()), text.data(),
                                     static_cast<int>(text.size()));
    text.resize(length > 0 ? length : 0);
    return text;
}

bool IsListBlank(char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n'; }

TEST(UninstallListFuzz, TrimListLine)
{
    test::RunFuzz("TrimListLine", kLineRounds, [](FuzzRound& round) {
        round.input = MutatedLine(round.random);
        std::string original = round.input.c_str();
        GuardedBuffer<char> line(original.size() + 1);
        std::memcpy(line.Data(), original.c_str(), original.size() + 1);
        TrimListLine(line.Data());
        std::string problem = line.Check();
        if (!problem.empty()) return problem;
        std::string trimmed = line.Data();
        if (!trimmed.empty() && IsListBlank(trimmed.back())) return std::string("left a trailing blank or line end");
        if (original.compare(0, trimmed.size(), trimmed) != 0) return std::string("the trimmed line is no prefix");
        for (size_t i = trimmed.size(); i < original.size(); ++i)
            if (!IsListBlank(original[i])) return std::string("cut more than blanks and line ends");
        return std::string();
    });
}

// The full path the system makes of folder + entry; empty when it makes none.
std::wstring FullPath(const std::wstring& path)
{
    wchar_t full[4096];
    DWORD length = GetFullPathNameW(path.c_str(), static_cast<DWORD>(std::size(full)), full, nullptr);
    return length > 0 && length < std::size(full) ? std::wstring(full, length) : std::wstring();
}

// Inside the folder, or the folder itself.
bool ResolvesInside(const std::wstring& folder, const std::wstring& entry)
{
    std::wstring full = FullPath(folder + entry);
    if (full.size() + 1 == folder.size()) full += L'\\';
    return full.size() >= folder.size() && _wcsnicmp(full.c_str(), folder.c_str(), folder.size()) == 0;
}

TEST(UninstallListFuzz, StaysInsideFolder)
{
    test::RunFuzz("StaysInsideFolder", kLineRounds, [](FuzzRound& round) {
        std::wstring entry = round.random.OneIn(4)
                                 ? test::RandomWideText(round.random, {L"..", L"\\", L"/", L" ", L".", L"a", L":"}, 12)
                                 : Ansi(MutatedLine(round.random));
        entry.resize(std::wcslen(entry.c_str()));
        round.input = test::WideBytes(entry);
        if (!StaysInsideFolder(Fence().Place(entry))) return std::string();
        if (std::size(kFolder) + entry.size() <= kPathCapacity && !ResolvesInside(kFolder, entry))
            return std::string("accepted an entry that resolves outside the folder");
        return std::string();
    });
}

// What the product folder holds at the start of every round: folders end with a backslash,
// "" is the product folder itself.
const std::vector<std::wstring> kItems = {L"",        L"Formats\\", L"Formats\\readme.txt", L"license.txt",
                                          L"sub\\",     L"sub\\deep\\", L"sub\\deep\\b.txt"};
constexpr size_t kReadOnlyItem = 3;  // license.txt

// Lines of a list: the real ones, spellings of the same entries, and lines that lead out to
// the sentinels beside the product folder (@ stands for the scratch folder's full path).
const std::vector<std::string> kListLines = {
    "Formats", "Formats\\readme.txt", "uninstall.exe", "Talvex.exe", "license.txt", "Uninstall.lst", "sub",
    "sub\\deep", "sub\\deep\\b.txt", "empty", "SUB\\DEEP\\B.TXT", "sub/deep/b.txt", "sub\\\\deep\\", "license.txt.",
    " license.txt", ".\\Formats\\readme.txt", ".", "sub\\..", "..\\sentinel.txt", "..\\outside\\sentinel.txt",
    "..\\outside", "..", "sub\\..\\..\\sentinel.txt", "...\\sentinel.txt", ".. \\outside\\sentinel.txt",
    "@\\sentinel.txt", "@\\outside", "\\\\?\\@\\sentinel.txt", "license.txt:s", "license.txt::$DATA", "nul.txt",
    "CON", "\\sentinel.txt"};

const std::vector<std::string> kLineEnds = {"\r\n", "\n", " \t\r\n", "  \r\n", "\r\r\n"};

class ScratchProduct {
public:
    ScratchProduct()
        : product_(base_ / L"Talvex\\"), program_(product_ + L"uninstall.exe"), listPath_(base_ / L"list.txt")
    {
        test::MakeFolder(base_ / L"outside");
        test::MakeFile(base_ / L"outside\\sentinel.txt");
        test::MakeFile(base_ / L"sentinel.txt");
        for (const std::wstring& item : kItems) full_.push_back(FullPath(product_ + item));
        list_.reset(_wfopen(listPath_.c_str(), L"w+b"));
        narrowBase_ = Narrow(base_.Path());
    }

    // The list's lines with @ replaced by the scratch folder.
    std::string ListText(FuzzRound& round)
    {
        std::string text;
        for (uint32_t n = round.random.Below(4) + 1; n > 0; --n) {
            std::string line = round.random.Pick(kListLines);
            if (size_t at = line.find('@'); at != std::string::npos) line.replace(at, 1, narrowBase_);
            text += line + round.random.Pick(kLineEnds);
        }
        if (round.random.OneIn(2)) test::Mutate(round.random, text, kMarkers);
        if (text.size() > kMaxListBytes) text.resize(kMaxListBytes);
        return text;
    }

    // The list file rewritten in place, read from its start.
    FILE* List(const std::string& text)
    {
        std::rewind(list_.get());
        std::fwrite(text.data(), 1, text.size(), list_.get());
        std::fflush(list_.get());
        _chsize(_fileno(list_.get()), static_cast<long>(text.size()));
        std::rewind(list_.get());
        return list_.get();
    }

    // Which items the lines name, read as the deletion passes read them: pieces of at most
    // 2047 bytes, cut at a NUL, trimmed, inside the folder and fitting beside it.
    std::vector<bool> Named(const std::string& text) const
    {
        std::vector<bool> named(kItems.size(), false);
        for (size_t start = 0; start < text.size();) {
            size_t newline = text.find('\n', start);
            size_t end = std::min(newline == std::string::npos ? text.size() : newline + 1,
                                  start + kListLineCapacity - 1);
            std::string line = text.substr(start, end - start).c_str();
            start = end;
            while (!line.empty() && IsListBlank(line.back())) line.pop_back();
            std::wstring entry = Ansi(line);
            if (line.empty() || product_.size() + entry.size() + 1 > kPathCapacity || !StaysInsideFolder(entry.c_str()))
                continue;
            std::wstring full = FullPath(product_ + entry);
            for (size_t i = 0; i < kItems.size(); ++i)
                if (Matches(full, i)) named[i] = true;
        }
        return named;
    }

    std::vector<bool> Existing() const
    {
        std::vector<bool> exists(kItems.size());
        for (size_t i = 0; i < kItems.size(); ++i) exists[i] = test::PathExists(full_[i]);
        return exists;
    }

    // The sentinels are there; each item is gone when named, unless it is a folder that still
    // holds something, and there when not named.
    std::string Check(const std::vector<bool>& named, const std::vector<bool>& exists) const
    {
        if (!test::PathExists(base_ / L"sentinel.txt") || !test::PathExists(base_ / L"outside\\sentinel.txt"))
            return "touched a file outside the product folder";
        for (size_t i = 0; i < kItems.size(); ++i) {
            if (exists[i] && named[i] && !HoldsSomething(i, exists)) return "left an entry the list names";
            if (!exists[i] && !named[i]) return "deleted an entry the list does not name";
        }
        return "";
    }

    // Everything made again for the next round.
    void Restore(const std::vector<bool>& exists) const
    {
        for (size_t i = 0; i < kItems.size(); ++i) {
            if (exists[i]) continue;
            if (IsFolder(i)) {
                CreateDirectoryW(full_[i].c_str(), nullptr);
                continue;
            }
            test::MakeFile(full_[i]);
            if (i == kReadOnlyItem) SetFileAttributesW(full_[i].c_str(), FILE_ATTRIBUTE_READONLY);
        }
    }

    const std::wstring& Product() const { return product_; }
    const std::wstring& Program() const { return program_; }

private:
    static std::string Narrow(const std::wstring& text)
    {
        std::string bytes(text.size() * 2 + 1, '\0');
        int length = WideCharToMultiByte(CP_ACP, 0, text.c_str(), -1, bytes.data(), static_cast<int>(bytes.size()),
                                         nullptr, nullptr);
        bytes.resize(length > 0 ? length - 1 : 0);
        return bytes;
    }

    static bool IsFolder(size_t i) { return kItems[i].empty() || kItems[i].back() == L'\\'; }

    // A folder matches with or without its trailing separator, a file only exactly.
    bool Matches(const std::wstring& full, size_t i) const
    {
        std::wstring item = full_[i];
        if (IsFolder(i) && item.back() == L'\\') item.pop_back();
        std::wstring entry = full;
        if (IsFolder(i) && !entry.empty() && entry.back() == L'\\') entry.pop_back();
        return _wcsicmp(entry.c_str(), item.c_str()) == 0;
    }

    bool HoldsSomething(size_t folder, const std::vector<bool>& exists) const
    {
        if (!IsFolder(folder)) return false;
        for (size_t i = 0; i < kItems.size(); ++i) {
            bool below = i != folder && full_[i].size() > full_[folder].size() &&
                         _wcsnicmp(full_[i].c_str(), full_[folder].c_str(), full_[folder].size()) == 0;
            if (below && exists[i]) return true;
        }
        return false;
    }

    test::ScratchFolder base_{L"tvx-list-fuzz"};
    std::wstring product_, program_, listPath_;
    std::vector<std::wstring> full_;
    StdioFile list_;
    std::string narrowBase_;
};

TEST(UninstallListFuzz, DeletionPasses)
{
    test::PendingRenamesGuard pending;
    ScratchProduct product;
    product.Restore(std::vector<bool>(kItems.size(), false));
    test::RunFuzz("DeleteListedEntries", kPassRounds, [&product](FuzzRound& round) {
        round.input = product.ListText(round);
        FILE* list = product.List(round.input);
        bool scheduled = DeleteListedEntries(list, product.Product().c_str(), product.Program().c_str());
        std::vector<bool> exists = product.Existing();
        std::string problem = product.Check(product.Named(round.input), exists);
        product.Restore(exists);
        if (problem.empty() && scheduled) problem = "scheduled a file at restart that nothing holds";
        return problem;
    });
}

}  // namespace
}  // namespace tvx
