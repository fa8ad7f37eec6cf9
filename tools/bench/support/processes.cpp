#include "processes.h"

#include <windows.h>
#include <algorithm>
#include "common/handles.h"

namespace tvx::bench {

namespace {
constexpr DWORD kTimeoutMs = 600000;
}

double RunTimed(const std::wstring& commandLine, const std::wstring& folder)
{
    std::wstring line = commandLine;
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION process{};
    LARGE_INTEGER frequency, start, end;
    QueryPerformanceFrequency(&frequency);
    QueryPerformanceCounter(&start);
    if (!CreateProcessW(nullptr, line.data(), nullptr, nullptr, FALSE, 0, nullptr,
                        folder.empty() ? nullptr : folder.c_str(), &startup, &process))
        return -1;
    KernelHandle processHandle(process.hProcess);
    KernelHandle thread(process.hThread);
    WaitForSingleObject(processHandle.get(), kTimeoutMs);
    QueryPerformanceCounter(&end);
    return double(end.QuadPart - start.QuadPart) / double(frequency.QuadPart);
}

bool WaitUntilGone(const std::wstring& path)
{
    for (int i = 0; i < 600; ++i, Sleep(100))
        if (GetFileAttributesW(path.c_str()) == INVALID_FILE_ATTRIBUTES) return true;
    return false;
}

void DeleteTree(const std::wstring& path)
{
    WIN32_FIND_DATAW data;
    FindHandle find(FindFirstFileW((path + L"\\*").c_str(), &data));
    while (find.valid()) {
        std::wstring name = data.cFileName;
        std::wstring child = path + L"\\" + name;
        if (data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) {
            if (name != L"." && name != L"..") DeleteTree(child);
        } else {
            SetFileAttributesW(child.c_str(), 0);
            DeleteFileW(child.c_str());
        }
        if (!FindNextFileW(find.get(), &data)) break;
    }
    find.reset();
    RemoveDirectoryW(path.c_str());
}

double Median(std::vector<double> values)
{
    std::sort(values.begin(), values.end());
    return values[values.size() / 2];
}

}  // namespace tvx::bench
