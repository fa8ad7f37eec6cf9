// tvxdrive: waits for a dialog or message box, prints what it shows and presses a button,
// so scripts can drive the program's windows the way a person would.
//   tvxdrive [--timeout SECONDS] [--caption TEXT] [--press LABEL] [--no-dialog]
//            [--run PROGRAM ARGUMENTS...]
// With --run the program is started and only its own dialogs count; its exit code and
// running time are printed once it ends. --no-dialog waits for the end without a dialog.
// Exit status: 0 done, 1 something did not happen in time, 2 wrong usage.
#include <cstdio>
#include <cwchar>
#include <string>
#include "window_driver.h"

namespace {

using namespace tvx::driver;

struct Arguments {
    DWORD timeoutMs = 10000;
    std::wstring caption;
    std::wstring press;
    bool noDialog = false;
    std::wstring commandLine;  // empty: drive a window of any process
};

void Print(const char* label, const std::wstring& text)
{
    std::string utf8(text.size() * 3 + 1, '\0');
    int length = WideCharToMultiByte(CP_UTF8, 0, text.c_str(), static_cast<int>(text.size()),
                                     utf8.data(), static_cast<int>(utf8.size()), nullptr, nullptr);
    utf8.resize(length);
    std::string oneLine;
    for (char c : utf8) {
        if (c == '\n') oneLine += "\\n";
        else if (c != '\r') oneLine += c;
    }
    std::printf("%s: %s\n", label, oneLine.c_str());
    std::fflush(stdout);
}

bool ReadArguments(int count, wchar_t** values, Arguments& arguments)
{
    for (int i = 1; i < count; ++i) {
        std::wstring name = values[i];
        bool hasValue = i + 1 < count;
        if (name == L"--no-dialog") {
            arguments.noDialog = true;
        } else if (name == L"--run" && hasValue) {
            for (++i; i < count; ++i) arguments.commandLine += QuoteArgument(values[i]) + L" ";
        } else if (name == L"--timeout" && hasValue) {
            arguments.timeoutMs = static_cast<DWORD>(std::wcstoul(values[++i], nullptr, 10) * 1000);
        } else if (name == L"--caption" && hasValue) {
            arguments.caption = values[++i];
        } else if (name == L"--press" && hasValue) {
            arguments.press = values[++i];
        } else {
            return false;
        }
    }
    return !(arguments.noDialog && arguments.commandLine.empty());
}

bool DriveDialog(const Arguments& arguments, DWORD processId)
{
    DialogSnapshot dialog;
    if (!WaitForDialog(processId, arguments.caption, arguments.timeoutMs, dialog)) {
        std::printf("no dialog within the timeout\n");
        return false;
    }
    Print("caption", dialog.caption);
    for (const auto& text : dialog.texts) Print("text", text);
    for (const auto& button : dialog.buttons) Print("button", button);
    if (arguments.press.empty()) return true;
    if (!PressButton(dialog, arguments.press)) {
        Print("no such button", arguments.press);
        return false;
    }
    Print("pressed", arguments.press);
    return true;
}

bool RunProgram(const Arguments& arguments)
{
    ChildProcess program;
    ULONGLONG started = GetTickCount64();
    if (!program.Start(arguments.commandLine)) {
        Print("cannot start", arguments.commandLine);
        return false;
    }
    if (!arguments.noDialog && !DriveDialog(arguments, program.Id())) return false;
    DWORD exitCode = 0;
    if (!program.WaitForExit(arguments.timeoutMs, exitCode)) {
        std::printf("still running after the timeout; ended\n");
        return false;
    }
    std::printf("exit code: %lu\nelapsed: %llu ms\n", exitCode, GetTickCount64() - started);
    return true;
}

}  // namespace

int wmain(int count, wchar_t** values)
{
    Arguments arguments;
    if (!ReadArguments(count, values, arguments)) {
        std::printf("usage: tvxdrive [--timeout SECONDS] [--caption TEXT] [--press LABEL] "
                    "[--no-dialog] [--run PROGRAM ARGUMENTS...]\n");
        return 2;
    }
    bool done = arguments.commandLine.empty() ? DriveDialog(arguments, 0) : RunProgram(arguments);
    return done ? 0 : 1;
}
