// Loads a language file of the largest size the loader reads (2 MiB from the marker on), in
// the ANSI code page and in UTF-16, and times each load beside one plain read of the same
// file; prints the medians and the ratio load / plain read.
//   bench_language [runs] [folder]
#include <windows.h>
#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <functional>
#include <string>
#include <vector>
#include "common/handles.h"
#include "language/language_table.h"

namespace {

constexpr size_t kFileBytes = 2 * 1024 * 1024;

// Sections, comments and key lines with escapes and quotes, as a real translation has.
std::wstring SampleText(size_t characters)
{
    std::wstring text = L"***messages***\r\n:DIRECTION LTR\r\n";
    for (unsigned i = 0; text.size() < characters; ++i) {
        if (i % 100 == 0) text += L":DIALOG DLG" + std::to_wstring(i / 100) + L"\r\n";
        if (i % 7 == 0) text += L"; a note for translators about the next key\r\n";
        text += L"IDC_KEY" + std::to_wstring(i) + L" \"" + std::wstring(10 + i % 70, L'a' + i % 26) +
                L"\\tand\\n more\"   \r\n";
    }
    text.resize(characters);
    return text;
}

bool WriteSample(const std::wstring& path, bool wide)
{
    std::wstring text = SampleText(wide ? kFileBytes / 2 : kFileBytes);
    std::string bytes;
    if (wide) bytes.assign(reinterpret_cast<const char*>(text.data()), kFileBytes);
    else bytes.assign(text.begin(), text.end());
    tvx::FileHandle file(CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0,
                                     nullptr));
    DWORD written = 0;
    return file.valid() &&
           WriteFile(file.get(), bytes.data(), static_cast<DWORD>(bytes.size()), &written,
                     nullptr) &&
           written == bytes.size();
}

void LoadLanguageFile(const std::wstring& path)
{
    tvx::LanguageTable table;
    table.Load(path.c_str());
}

void ReadPlain(const std::wstring& path)
{
    tvx::FileHandle file(CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr,
                                     OPEN_EXISTING, FILE_FLAG_SEQUENTIAL_SCAN, nullptr));
    std::vector<char> buffer(kFileBytes);
    DWORD read = 0;
    if (file.valid()) ReadFile(file.get(), buffer.data(), kFileBytes, &read, nullptr);
}

// Median of the run times of action, in milliseconds.
double MedianMilliseconds(int runs, const std::function<void()>& action)
{
    LARGE_INTEGER frequency;
    QueryPerformanceFrequency(&frequency);
    std::vector<double> times;
    for (int run = 0; run < runs; ++run) {
        LARGE_INTEGER before, after;
        QueryPerformanceCounter(&before);
        action();
        QueryPerformanceCounter(&after);
        times.push_back(1000.0 * static_cast<double>(after.QuadPart - before.QuadPart) /
                        static_cast<double>(frequency.QuadPart));
    }
    std::nth_element(times.begin(), times.begin() + times.size() / 2, times.end());
    return times[times.size() / 2];
}

}  // namespace

int wmain(int argc, wchar_t** argv)
{
    int runs = argc > 1 ? std::max(1, _wtoi(argv[1])) : 9;
    wchar_t temp[MAX_PATH] = L"";
    GetTempPathW(MAX_PATH, temp);
    std::wstring folder = argc > 2 ? argv[2] : temp;
    if (!folder.empty() && folder.back() != L'\\') folder += L'\\';
    for (bool wide : {false, true}) {
        std::wstring path = folder + L"tvx-bench-uninstall.lng";
        if (!WriteSample(path, wide)) {
            std::fprintf(stderr, "cannot write the sample file\n");
            return 1;
        }
        ReadPlain(path);  // both timings start from a warm cache
        double load = MedianMilliseconds(runs, [&] { LoadLanguageFile(path); });
        double plain = MedianMilliseconds(runs, [&] { ReadPlain(path); });
        DeleteFileW(path.c_str());
        std::printf("%s file, %zu bytes, %d runs: load median %.1f ms, plain read median "
                    "%.2f ms, ratio load / plain read %.1f\n",
                    wide ? "UTF-16" : "ANSI  ", kFileBytes, runs, load, plain, load / plain);
    }
    return 0;
}
