#include "uninstall/removal_script.h"
#include <cwchar>
#include "common/fileobject.h"
#include "common/handles.h"

namespace tvx {

namespace {

constexpr int kRetryCount = 5;
constexpr size_t kOemCapacity = 2 * kPathCapacity + 4;  // a double-byte code page at worst
constexpr wchar_t kDoneLine[] = L":done\r\n";

ShortPathFunction shortPathFunction = GetShortPathNameW;
FileObject* scriptFileForTesting = nullptr;

// Converts the text to the OEM code page; the byte count without terminator, or -1 when the
// conversion fails or does not give the same text back (a '?' put in for a missing
// character would be a wildcard to del).
int ToOemExactly(const wchar_t* text, char* output, int capacity)
{
    int bytes = WideCharToMultiByte(CP_OEMCP, 0, text, -1, output, capacity, nullptr, nullptr);
    if (bytes == 0) return -1;
    wchar_t back[kPathCapacity];
    int chars = MultiByteToWideChar(CP_OEMCP, 0, output, -1, back, kPathCapacity);
    if (chars == 0 || std::wcscmp(back, text) != 0) return -1;
    return bytes - 1;
}

bool FitsOemCodePage(const wchar_t* text)
{
    char oem[kOemCapacity];
    return ToOemExactly(text, oem, static_cast<int>(sizeof oem)) >= 0;
}

// A '%' stays literal in a batch file only doubled.
bool DoublePercentSigns(const wchar_t* path, wchar_t* output, size_t capacity)
{
    size_t used = 0;
    for (const wchar_t* c = path; *c != L'\0'; ++c) {
        size_t needed = *c == L'%' ? 2 : 1;
        if (used + needed >= capacity) return false;
        for (size_t i = 0; i < needed; ++i) output[used++] = *c;
    }
    output[used] = L'\0';
    return true;
}

// The path fills every %s of the format (one or two).
bool FormatLine(wchar_t* line, const wchar_t* format, const wchar_t* path)
{
    return FormatText(line, kLineCapacity, format, path, path) >= 0;
}

bool WriteScript(FileObject& file, const RemovalScript& script)
{
    bool written = WriteScriptLine(file, script.start);
    for (int i = 0; i < kRetryCount; ++i) written = written && WriteScriptLine(file, script.retry);
    return written && WriteScriptLine(file, kDoneLine) && WriteScriptLine(file, script.warning) &&
           WriteScriptLine(file, script.selfDelete);
}

}  // namespace

void SetShortPathFunctionForTesting(ShortPathFunction function)
{
    shortPathFunction = function != nullptr ? function : GetShortPathNameW;
}

void SetScriptFileForTesting(FileObject* file)
{
    scriptFileForTesting = file;
}

bool WriteScriptLine(FileObject& file, const wchar_t* text)
{
    if (std::wcslen(text) >= kLineCapacity) return false;
    char oem[kOemCapacity];
    int bytes = ToOemExactly(text, oem, static_cast<int>(sizeof oem));
    return bytes >= 0 && file.Write(oem, static_cast<uint32_t>(bytes));
}

bool MakeScriptPath(const wchar_t* path, wchar_t* output, size_t capacity)
{
    wchar_t shortForm[kPathCapacity];
    if (!FitsOemCodePage(path)) {
        DWORD length = shortPathFunction(path, shortForm, kPathCapacity);
        if (length == 0 || length >= kPathCapacity || !FitsOemCodePage(shortForm)) return false;
        path = shortForm;
    }
    return DoublePercentSigns(path, output, capacity);
}

bool FormatRemovalScript(const wchar_t* programPath, const wchar_t* folder,
                         const wchar_t* scriptPath, bool silent, RemovalScript& script)
{
    wchar_t program[kPathCapacity], folderForm[kPathCapacity], self[kPathCapacity];
    if (!MakeScriptPath(programPath, program, kPathCapacity) ||
        !MakeScriptPath(folder, folderForm, kPathCapacity) ||
        !MakeScriptPath(scriptPath, self, kPathCapacity)) {
        return false;
    }
    script.warning[0] = L'\0';
    return FormatLine(script.start, L"\"%s\" /wait\r\n", program) &&
           FormatText(script.retry, kLineCapacity,
                      L"del \"%s\"\r\nrd \"%s\"\r\nif not exist \"%s\" goto done\r\n", program,
                      folderForm, program) >= 0 &&
           (silent ||
            FormatLine(script.warning, L"if exist \"%s\" \"%s\" /warning\r\n", program)) &&
           FormatLine(script.selfDelete, L"del \"%s\"\r\n", self);
}

bool WriteRemovalScript(const wchar_t* scriptPath, const wchar_t* programPath,
                        const wchar_t* folder, bool silent)
{
    // The file must exist before the script can name it by its short form; a script that
    // is not whole would stop half-way or strike elsewhere, so it goes again.
    FileObject own;
    FileObject& file = scriptFileForTesting != nullptr ? *scriptFileForTesting : own;
    if (!file.Create(scriptPath, false)) return false;
    RemovalScript script;
    if (FormatRemovalScript(programPath, folder, scriptPath, silent, script) &&
        WriteScript(file, script) && file.Close()) {
        return true;
    }
    file.Delete();
    return false;
}

bool StartRemovalScript(const wchar_t* scriptPath)
{
    wchar_t comspec[kPathCapacity] = L"";
    if (GetEnvironmentVariableW(L"COMSPEC", comspec, kPathCapacity) >= kPathCapacity) {
        comspec[0] = L'\0';
    }
    wchar_t commandLine[kLineCapacity];
    if (FormatText(commandLine, kLineCapacity, L"%s /c \"%s\"", comspec, scriptPath) < 0) {
        return false;
    }
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    startup.dwFlags = STARTF_USESHOWWINDOW;
    startup.wShowWindow = SW_HIDE;
    PROCESS_INFORMATION started{};
    if (!CreateProcessW(nullptr, commandLine, nullptr, nullptr, TRUE, 0, nullptr, nullptr,
                        &startup, &started)) {
        return false;
    }
    KernelHandle process(started.hProcess);
    KernelHandle thread(started.hThread);
    return true;
}

}  // namespace tvx
