// A stand-in for the archiver Talvex.exe, for the demo and the end-to-end checks: it records
// every argument it was started with, one UTF-8 line each, in a log, and ends at once. The
// log is the file named by TALVEX_OPENED_LOG, else Talvex-opened.log in the temporary
// folder, so that nothing is ever written beside it into the product folder.
#include <windows.h>
#include <string>
#include "common/handles.h"
#include "common/strings.h"

namespace {

constexpr size_t kTextCapacity = 2048;

std::wstring LogPath()
{
    wchar_t path[kTextCapacity] = L"";
    DWORD length = GetEnvironmentVariableW(L"TALVEX_OPENED_LOG", path, kTextCapacity);
    if (length > 0 && length < kTextCapacity) return path;
    length = GetTempPathW(kTextCapacity, path);
    if (length == 0 || length >= kTextCapacity) return L"Talvex-opened.log";
    return std::wstring(path) + L"Talvex-opened.log";
}

std::string Utf8Line(const wchar_t* text)
{
    int size = WideCharToMultiByte(CP_UTF8, 0, text, -1, nullptr, 0, nullptr, nullptr);
    std::string line(size > 0 ? size : 1, '\0');
    WideCharToMultiByte(CP_UTF8, 0, text, -1, line.data(), size, nullptr, nullptr);
    line.back() = '\n';  // the terminator's place
    return line;
}

}  // namespace

int WINAPI wWinMain(HINSTANCE, HINSTANCE, PWSTR, int)
{
    // Several opens may run at once: appending through one handle opened for appending keeps
    // each line whole.
    tvx::FileHandle log(CreateFileW(LogPath().c_str(), FILE_APPEND_DATA, FILE_SHARE_READ | FILE_SHARE_WRITE,
                                    nullptr, OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!log.valid()) return 1;
    wchar_t argument[kTextCapacity];
    const wchar_t* rest = tvx::NextToken(GetCommandLineW(), nullptr, 0);  // the program itself
    while (rest != nullptr && (rest = tvx::NextToken(rest, argument, kTextCapacity)) != nullptr) {
        std::string line = Utf8Line(argument);
        DWORD written = 0;
        WriteFile(log.get(), line.data(), static_cast<DWORD>(line.size()), &written, nullptr);
    }
    return 0;
}
