// A silent uninstall of a staged product of 10,000 files in nested folders, with the list
// naming the files first and then naming the folders first, each timed beside a plain
// program that deletes the same entries once in the right order. Both are started as
// processes and timed to their end; the figures are medians of several runs. A run over an
// empty list shows what the uninstall costs before it deletes anything.
//   bench_uninstall [runs]            (uninstall.exe is taken from the build tree)
//   bench_uninstall --plain <folder>  (the plain deleter, started by the benchmark itself)
#include <windows.h>
#include <algorithm>
#include <cstdio>
#include <cstring>
#include <cwchar>
#include <string>
#include <vector>
#include "common/handles.h"
#include "support/processes.h"

namespace {

using tvx::bench::DeleteTree;
using tvx::bench::Median;
using tvx::bench::RunTimed;
using tvx::bench::WaitUntilGone;

constexpr int kFanOut = 10;  // 10 x 10 x 10 folders with 10 files each

struct Layout {
    std::vector<std::string> folders;  // parents before their children
    std::vector<std::string> files;
};

Layout MakeLayout()
{
    Layout layout;
    for (int a = 0; a < kFanOut; ++a) {
        std::string top = "d" + std::to_string(a);
        layout.folders.push_back(top);
        for (int b = 0; b < kFanOut; ++b) {
            std::string mid = top + "\\e" + std::to_string(b);
            layout.folders.push_back(mid);
            for (int c = 0; c < kFanOut; ++c) {
                std::string leaf = mid + "\\f" + std::to_string(c);
                layout.folders.push_back(leaf);
                for (int f = 0; f < kFanOut; ++f)
                    layout.files.push_back(leaf + "\\file" + std::to_string(f) + ".dat");
            }
        }
    }
    return layout;
}

std::wstring Wide(const std::string& text)
{
    return std::wstring(text.begin(), text.end());
}

void WriteBytes(const std::wstring& path, const std::string& bytes)
{
    tvx::FileHandle file(
        CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr));
    DWORD written = 0;
    WriteFile(file.get(), bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr);
}

// Files first, then the folders deepest first: one pass deletes everything.
std::string FilesFirst(const Layout& layout)
{
    std::string list;
    for (const std::string& file : layout.files) list += file + "\r\n";
    for (auto folder = layout.folders.rbegin(); folder != layout.folders.rend(); ++folder)
        list += *folder + "\r\n";
    return list;
}

// Folders first, parents before children: each pass removes one level more.
std::string FoldersFirst(const Layout& layout)
{
    std::string list;
    for (const std::string& folder : layout.folders) list += folder + "\r\n";
    for (const std::string& file : layout.files) list += file + "\r\n";
    return list;
}

void Stage(const std::wstring& product, const Layout& layout, const std::string& list,
           const std::wstring& program)
{
    CreateDirectoryW(product.c_str(), nullptr);
    for (const std::string& folder : layout.folders)
        CreateDirectoryW((product + L"\\" + Wide(folder)).c_str(), nullptr);
    for (const std::string& file : layout.files) WriteBytes(product + L"\\" + Wide(file), "x");
    CopyFileW(program.c_str(), (product + L"\\uninstall.exe").c_str(), FALSE);
    WriteBytes(product + L"\\Uninstall.lst", list + "uninstall.exe\r\nUninstall.lst\r\n");
}

// The plain program: the files-first list read once, each entry deleted as a file or else
// removed as a folder.
int PlainDelete(const wchar_t* folder)
{
    std::wstring product = folder;
    FILE* list = _wfopen((product + L"\\Uninstall.lst").c_str(), L"rb");
    if (list == nullptr) return 1;
    char line[2048];
    while (std::fgets(line, sizeof line, list) != nullptr) {
        line[std::strcspn(line, "\r\n")] = '\0';
        std::wstring path = product + L"\\" + Wide(line);
        if (!DeleteFileW(path.c_str())) RemoveDirectoryW(path.c_str());
    }
    std::fclose(list);
    return 0;
}

std::wstring ModuleFolder()
{
    wchar_t path[MAX_PATH];
    GetModuleFileNameW(nullptr, path, MAX_PATH);
    *std::wcsrchr(path, L'\\') = L'\0';
    return path;
}

double TimeUninstall(const std::wstring& product, const Layout& layout, const std::string& list,
                     const std::wstring& program)
{
    DeleteTree(product);
    Stage(product, layout, list, program);
    double seconds = RunTimed(L"\"" + product + L"\\uninstall.exe\" /S");
    WaitUntilGone(product);
    return seconds;
}

double TimePlain(const std::wstring& product, const Layout& layout, const std::wstring& program)
{
    DeleteTree(product);
    Stage(product, layout, FilesFirst(layout), program);
    wchar_t self[MAX_PATH];
    GetModuleFileNameW(nullptr, self, MAX_PATH);
    return RunTimed(L"\"" + std::wstring(self) + L"\" --plain \"" + product + L"\"");
}

}  // namespace

int wmain(int argc, wchar_t** argv)
{
    if (argc == 3 && std::wcscmp(argv[1], L"--plain") == 0) return PlainDelete(argv[2]);
    int runs = argc > 1 ? std::max(1, _wtoi(argv[1])) : 5;
    std::wstring program = ModuleFolder() + L"\\..\\..\\uninstall.exe";
    wchar_t temp[MAX_PATH];
    GetTempPathW(MAX_PATH, temp);
    std::wstring product = std::wstring(temp) + L"tvx-bench-uninstall\\Talvex";
    CreateDirectoryW((std::wstring(temp) + L"tvx-bench-uninstall").c_str(), nullptr);
    Layout layout = MakeLayout();
    std::vector<double> filesFirst, foldersFirst, plain, fixed;
    for (int i = 0; i < runs; ++i) {
        fixed.push_back(TimeUninstall(product, Layout{}, "", program));
        filesFirst.push_back(TimeUninstall(product, layout, FilesFirst(layout), program));
        foldersFirst.push_back(TimeUninstall(product, layout, FoldersFirst(layout), program));
        plain.push_back(TimePlain(product, layout, program));
        std::fprintf(stderr, "run %d: empty %.3f, files first %.3f, folders first %.3f, plain %.3f\n",
                     i + 1, fixed.back(), filesFirst.back(), foldersFirst.back(), plain.back());
    }
    DeleteTree(std::wstring(temp) + L"tvx-bench-uninstall");
    double base = Median(plain);
    std::printf("uninstall of %zu files and %zu folders, median of %d runs\n", layout.files.size(),
                layout.folders.size(), runs);
    std::printf("  plain deleter            %8.3f s\n", base);
    std::printf("  uninstall, empty list    %8.3f s   (start and integration removal)\n",
                Median(fixed));
    std::printf("  uninstall, files first   %8.3f s   ratio %.2f\n", Median(filesFirst),
                Median(filesFirst) / base);
    std::printf("  uninstall, folders first %8.3f s   ratio %.2f\n", Median(foldersFirst),
                Median(foldersFirst) / base);
    return 0;
}
