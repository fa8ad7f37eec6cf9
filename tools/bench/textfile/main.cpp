// Reads a 10 MB text file with LoadTextLines and with one plain whole-file read, several
// times each in turn, and prints the median times and their ratio.
//   bench_textfile [runs] [folder]
#include <windows.h>
#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>
#include "common/handles.h"
#include "common/textfile.h"

namespace {

constexpr size_t kFileBytes = 10 * 1024 * 1024;

// INI-like lines of varied length, as Talvex.ini would hold, up to kFileBytes.
bool WriteSampleFile(const std::wstring& path)
{
    std::string text;
    text.reserve(kFileBytes + 128);
    for (unsigned i = 0; text.size() < kFileBytes; ++i) {
        text += (i % 50 == 0) ? "[Section" + std::to_string(i / 50) + "]\r\n" : "";
        text += "Key" + std::to_string(i) + "=" + std::string(10 + i % 60, 'a' + i % 26) + "  \r\n";
    }
    tvx::FileHandle file(CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr));
    DWORD written = 0;
    return file.valid() && WriteFile(file.get(), text.data(), static_cast<DWORD>(text.size()), &written, nullptr) &&
           written == text.size();
}

double Seconds(const LARGE_INTEGER& start)
{
    LARGE_INTEGER now, frequency;
    QueryPerformanceCounter(&now);
    QueryPerformanceFrequency(&frequency);
    return static_cast<double>(now.QuadPart - start.QuadPart) / static_cast<double>(frequency.QuadPart);
}

double TimeLoadTextLines(const std::wstring& path, uint32_t& lines)
{
    LARGE_INTEGER start;
    QueryPerformanceCounter(&start);
    tvx::LineList list;
    if (!tvx::LoadTextLines(path.c_str(), list)) return -1;
    lines = list.Count();
    return Seconds(start);
}

double TimePlainRead(const std::wstring& path, size_t& bytes)
{
    LARGE_INTEGER start;
    QueryPerformanceCounter(&start);
    tvx::FileHandle file(CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                                     FILE_FLAG_SEQUENTIAL_SCAN, nullptr));
    if (!file.valid()) return -1;
    std::vector<char> buffer(GetFileSize(file.get(), nullptr));
    DWORD read = 0;
    if (!ReadFile(file.get(), buffer.data(), static_cast<DWORD>(buffer.size()), &read, nullptr)) return -1;
    bytes = read;
    return Seconds(start);
}

double Median(std::vector<double> values)
{
    std::sort(values.begin(), values.end());
    size_t middle = values.size() / 2;
    return values.size() % 2 ? values[middle] : (values[middle - 1] + values[middle]) / 2;
}

}  // namespace

int wmain(int argc, wchar_t** argv)
{
    wchar_t temp[MAX_PATH] = L"";
    GetTempPathW(MAX_PATH, temp);
    int runs = argc > 1 ? std::max(1, _wtoi(argv[1])) : 7;
    std::wstring folder = argc > 2 ? argv[2] : temp;
    if (!folder.empty() && folder.back() != L'\\') folder += L'\\';
    std::wstring path = folder + L"tvx-bench.txt";
    if (!WriteSampleFile(path)) {
        std::fprintf(stderr, "cannot write the sample file\n");
        return 1;
    }
    std::vector<double> loadTimes, plainTimes;
    uint32_t lines = 0;
    size_t bytes = 0;
    for (int run = 0; run < runs; ++run) {
        loadTimes.push_back(TimeLoadTextLines(path, lines));
        plainTimes.push_back(TimePlainRead(path, bytes));
    }
    DeleteFileW(path.c_str());
    double load = Median(loadTimes), plain = Median(plainTimes);
    std::printf("file: %zu bytes, %u lines, %d runs each\n", bytes, lines, runs);
    std::printf("LoadTextLines  median %8.1f ms\n", load * 1000);
    std::printf("plain read     median %8.1f ms\n", plain * 1000);
    std::printf("ratio LoadTextLines / plain read: %.1f\n", load / plain);
    return 0;
}
