// The silent uninstall of a product of many files in nested folders, timed side by side with
// a peer uninstaller made by NSIS, with a bare program that only deletes each entry (the
// plain deleter of bench_uninstall) and with one that makes the uninstall run's calls per
// entry in a single pass. Every contender is a process started here and timed to its end, on
// a tree staged afresh before each run; the order of the contenders rotates from run to run.
//   bench_peer <runs> <kit folder> <work folder> <files>...
//     the kit holds uninstall.lng and, per size, list-<files>.lst (files first, then folders
//     deepest first) and peer-setup-<files>.exe, the NSIS installer that writes the peer's
//     uninstaller; the programs come from the build tree this benchmark lies in
//   bench_peer --same-calls <folder>   the single pass over <folder>\Uninstall.lst
// Prints one line "median <files> <contender> <seconds>" per size and contender.
#include <windows.h>
#include <algorithm>
#include <cstdio>
#include <cstring>
#include <cwchar>
#include <string>
#include <vector>
#include "common/charset.h"
#include "common/handles.h"
#include "support/processes.h"

namespace {

using namespace tvx::bench;

constexpr size_t kLineBytes = 2048;
const char* const kProductFiles[] = {"uninstall.exe", "Talvex.exe", "tvxext.dll", "uninstall.lng"};

struct Bench {
    std::wstring kit;
    std::wstring work;
    std::wstring self;
    std::wstring build;  // the build tree: uninstall.exe, the stand-ins, bench_uninstall.exe
};

std::wstring Wide(const std::string& text)
{
    std::vector<wchar_t> buffer(text.size() + 1);
    tvx::AnsiToWide(text.c_str(), buffer.data(), buffer.size());
    return buffer.data();
}

// Where each product file comes from, relative to the build tree or the kit.
std::wstring ProductSource(const Bench& bench, const std::string& file)
{
    if (file == "uninstall.exe") return bench.build + L"\\uninstall.exe";
    if (file == "uninstall.lng") return bench.kit + L"\\uninstall.lng";
    return bench.build + L"\\tools\\standin\\" + Wide(file);
}

bool ReadFileBytes(const std::wstring& path, std::string& bytes)
{
    tvx::FileHandle file(CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr));
    if (!file.valid()) return false;
    bytes.resize(GetFileSize(file.get(), nullptr));
    DWORD read = 0;
    return ReadFile(file.get(), bytes.data(), static_cast<DWORD>(bytes.size()), &read, nullptr) && read == bytes.size();
}

void WriteFileBytes(const std::wstring& path, const std::string& bytes)
{
    tvx::FileHandle file(CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr));
    DWORD written = 0;
    WriteFile(file.get(), bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr);
}

std::vector<std::string> Entries(const std::string& list)
{
    std::vector<std::string> entries;
    size_t start = 0;
    for (size_t end; (end = list.find('\n', start)) != std::string::npos; start = end + 1) {
        std::string line = list.substr(start, end - start);
        if (!line.empty() && line.back() == '\r') line.pop_back();
        if (!line.empty()) entries.push_back(line);
    }
    return entries;
}

bool IsFileEntry(const std::string& entry)
{
    return entry.size() > 4 && entry.compare(entry.size() - 4, 4, ".txt") == 0;
}

// The tree of the list: each file with its folders, a few bytes in each file.
void StageTree(const std::wstring& folder, const std::vector<std::string>& entries)
{
    CreateDirectoryW(folder.c_str(), nullptr);
    for (const std::string& entry : entries) {
        if (!IsFileEntry(entry)) continue;
        for (size_t slash = entry.find('\\'); slash != std::string::npos; slash = entry.find('\\', slash + 1))
            CreateDirectoryW((folder + L"\\" + Wide(entry.substr(0, slash))).c_str(), nullptr);
        WriteFileBytes(folder + L"\\" + Wide(entry), "Archive format notes, one of many files of the product\r\n");
    }
}

int CountLeft(const std::wstring& folder, const std::vector<std::string>& entries)
{
    int left = 0;
    for (const std::string& entry : entries)
        left += GetFileAttributesW((folder + L"\\" + Wide(entry)).c_str()) != INVALID_FILE_ATTRIBUTES;
    return left;
}

std::wstring Quoted(const std::wstring& path) { return L"\"" + path + L"\""; }

double TimeOurs(const Bench& bench, const std::string& list, const std::vector<std::string>& entries)
{
    std::wstring folder = bench.work + L"\\Talvex";
    DeleteTree(folder);
    StageTree(folder, entries);
    std::string productList = list;
    for (const char* file : kProductFiles) {
        CopyFileW(ProductSource(bench, file).c_str(), (folder + L"\\" + Wide(file)).c_str(), FALSE);
        productList += std::string(file) + "\r\n";
    }
    WriteFileBytes(folder + L"\\Uninstall.lst", productList + "tvxnew.dat\r\nzipnew.dat\r\nUninstall.lst\r\n");
    std::wstring program = Quoted(folder + L"\\uninstall.exe");
    RunTimed(program + L" /setup /S", folder);  // what the uninstall takes back, untimed
    double seconds = RunTimed(program + L" /S", folder);
    // The self-removal script takes the program and the folder a few seconds after the run.
    if (!WaitUntilGone(folder)) std::printf("warning: the uninstall left %d listed entries\n", CountLeft(folder, entries));
    return seconds;
}

double TimePeer(const Bench& bench, const std::vector<std::string>& entries, int files)
{
    std::wstring folder = bench.work + L"\\peer";
    DeleteTree(folder);
    StageTree(folder, entries);
    std::wstring setup = bench.kit + L"\\peer-setup-" + std::to_wstring(files) + L".exe";
    RunTimed(Quoted(setup) + L" /S /D=" + folder, folder);  // registry, shortcuts, uninstaller
    WIN32_FILE_ATTRIBUTE_DATA uninstaller{};
    if (GetFileAttributesExW((folder + L"\\peer-uninst.exe").c_str(), GetFileExInfoStandard, &uninstaller))
        std::printf("size %d peer-uninst.exe %lu\n", files, uninstaller.nFileSizeLow);
    // _?= runs the uninstaller in place and waits for it, instead of a copy in the temporary folder.
    double seconds = RunTimed(Quoted(folder + L"\\peer-uninst.exe") + L" /S _?=" + folder, bench.work);
    if (int left = CountLeft(folder, entries)) std::printf("warning: the peer left %d listed entries\n", left);
    DeleteTree(folder);
    return seconds;
}

double TimeBare(const Bench& bench, const std::string& list, const std::vector<std::string>& entries,
                const std::wstring& program)
{
    std::wstring folder = bench.work + L"\\bare";
    DeleteTree(folder);
    StageTree(folder, entries);
    WriteFileBytes(folder + L"\\Uninstall.lst", list);
    double seconds = RunTimed(program + L" " + Quoted(folder), bench.work);
    if (int left = CountLeft(folder, entries)) std::printf("warning: a bare program left %d listed entries\n", left);
    DeleteTree(folder);
    return seconds;
}

void RunSize(const Bench& bench, int runs, int files)
{
    std::string list;
    if (!ReadFileBytes(bench.kit + L"\\list-" + std::to_wstring(files) + L".lst", list)) {
        std::printf("error: no list for %d files\n", files);
        return;
    }
    std::vector<std::string> entries = Entries(list);
    const char* names[] = {"ours", "peer", "bare", "samecalls"};
    std::vector<double> times[4];
    for (int run = 0; run < runs; ++run) {
        for (int turn = 0; turn < 4; ++turn) {
            int contender = (turn + run) % 4;
            double seconds = contender == 0   ? TimeOurs(bench, list, entries)
                             : contender == 1 ? TimePeer(bench, entries, files)
                             : contender == 2 ? TimeBare(bench, list, entries, Quoted(bench.build + L"\\tools\\bench\\bench_uninstall.exe") + L" --plain")
                                              : TimeBare(bench, list, entries, Quoted(bench.self) + L" --same-calls");
            times[contender].push_back(seconds);
        }
    }
    for (int contender = 0; contender < 4; ++contender)
        std::printf("median %d %s %.3f\n", files, names[contender], Median(times[contender]));
    std::fflush(stdout);
}

// The uninstall run's calls per entry, in one pass: the line trimmed and converted from the
// ANSI code page, the attributes read and cleared, then the folder removed or the file deleted.
int SameCalls(const std::wstring& folder)
{
    FILE* list = _wfopen((folder + L"\\Uninstall.lst").c_str(), L"rb");
    if (list == nullptr) return 1;
    char line[kLineBytes];
    wchar_t path[kLineBytes];
    std::wstring prefix = folder + L"\\";
    std::wmemcpy(path, prefix.c_str(), prefix.size());
    while (std::fgets(line, sizeof line, list) != nullptr) {
        size_t length = std::strlen(line);
        while (length > 0 && std::strchr("\r\n \t", line[length - 1]) != nullptr) line[--length] = '\0';
        if (length == 0) continue;
        tvx::AnsiToWide(line, path + prefix.size(), kLineBytes - prefix.size());
        DWORD attributes = GetFileAttributesW(path);
        SetFileAttributesW(path, 0);
        if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY))
            RemoveDirectoryW(path);
        else
            DeleteFileW(path);
    }
    std::fclose(list);
    return 0;
}

}  // namespace

int wmain(int argc, wchar_t** argv)
{
    if (argc == 3 && std::wcscmp(argv[1], L"--same-calls") == 0) return SameCalls(argv[2]);
    if (argc < 5) {
        std::printf("usage: bench_peer <runs> <kit folder> <work folder> <files>...\n");
        return 2;
    }
    wchar_t self[MAX_PATH];
    GetModuleFileNameW(nullptr, self, MAX_PATH);
    std::wstring build = self;
    build.resize(std::min(build.size(), build.rfind(L"\\tools\\bench\\")));
    Bench bench{argv[2], argv[3], self, build};
    CreateDirectoryW(bench.work.c_str(), nullptr);
    int runs = std::max(1, _wtoi(argv[1]));
    for (int i = 4; i < argc; ++i) RunSize(bench, runs, _wtoi(argv[i]));
    DeleteTree(bench.work);
    return 0;
}
