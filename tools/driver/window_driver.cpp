#include "window_driver.h"

#include <cwctype>

namespace tvx::driver {

namespace {
constexpr DWORD kPollMilliseconds = 100;
constexpr UINT kTextTimeoutMilliseconds = 2000;
constexpr wchar_t kDialogClass[] = L"#32770";

std::wstring ClassOf(HWND window)
{
    wchar_t name[64] = L"";
    GetClassNameW(window, name, 64);
    return name;
}

// WM_GETTEXT reaches controls of other processes too, which GetWindowText does not ask.
std::wstring TextOf(HWND window)
{
    DWORD_PTR length = 0;
    if (!SendMessageTimeoutW(window, WM_GETTEXTLENGTH, 0, 0, SMTO_ABORTIFHUNG,
                             kTextTimeoutMilliseconds, &length))
        return L"";
    std::wstring text(length + 1, L'\0');
    DWORD_PTR copied = 0;
    SendMessageTimeoutW(window, WM_GETTEXT, text.size(), reinterpret_cast<LPARAM>(text.data()),
                        SMTO_ABORTIFHUNG, kTextTimeoutMilliseconds, &copied);
    text.resize(copied);
    return text;
}

bool IsButton(HWND window)
{
    return lstrcmpiW(ClassOf(window).c_str(), L"Button") == 0;
}

std::wstring Label(const std::wstring& text)
{
    std::wstring label;
    for (wchar_t c : text) {
        if (c != L'&') label.push_back(static_cast<wchar_t>(std::towlower(c)));
    }
    return label;
}

BOOL CALLBACK CollectChild(HWND child, LPARAM context)
{
    auto& dialog = *reinterpret_cast<DialogSnapshot*>(context);
    std::wstring text = TextOf(child);
    if (IsButton(child)) {
        dialog.buttons.push_back(text);
    } else if (!text.empty()) {
        dialog.texts.push_back(text);
    }
    return TRUE;
}

struct Search {
    DWORD processId;
    const std::wstring* caption;
    HWND found = nullptr;
};

BOOL CALLBACK MatchTopLevel(HWND window, LPARAM context)
{
    auto& search = *reinterpret_cast<Search*>(context);
    DWORD owner = 0;
    GetWindowThreadProcessId(window, &owner);
    if (search.processId != 0 && owner != search.processId) return TRUE;
    if (!IsWindowVisible(window) || ClassOf(window) != kDialogClass) return TRUE;
    if (!search.caption->empty() && TextOf(window) != *search.caption) return TRUE;
    search.found = window;
    return FALSE;
}
}  // namespace

bool WaitForDialog(DWORD processId, const std::wstring& caption, DWORD timeoutMs,
                   DialogSnapshot& dialog)
{
    ULONGLONG deadline = GetTickCount64() + timeoutMs;
    Search search{processId, &caption};
    for (;;) {
        EnumWindows(&MatchTopLevel, reinterpret_cast<LPARAM>(&search));
        if (search.found != nullptr) break;
        if (GetTickCount64() >= deadline) return false;
        Sleep(kPollMilliseconds);
    }
    dialog = DialogSnapshot{};
    dialog.window = search.found;
    dialog.caption = TextOf(search.found);
    EnumChildWindows(search.found, &CollectChild, reinterpret_cast<LPARAM>(&dialog));
    return true;
}

bool PressButton(const DialogSnapshot& dialog, const std::wstring& label)
{
    for (HWND child = GetWindow(dialog.window, GW_CHILD); child != nullptr;
         child = GetWindow(child, GW_HWNDNEXT)) {
        if (!IsButton(child) || Label(TextOf(child)) != Label(label)) continue;
        // A command from the button, as a click sends it; needs no focus or foreground.
        WPARAM command = MAKEWPARAM(GetDlgCtrlID(child), BN_CLICKED);
        return PostMessageW(dialog.window, WM_COMMAND, command, reinterpret_cast<LPARAM>(child));
    }
    return false;
}

bool ChildProcess::Start(const std::wstring& commandLine)
{
    std::wstring writable = commandLine;
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION info{};
    if (!CreateProcessW(nullptr, writable.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr,
                        &startup, &info))
        return false;
    KernelHandle thread(info.hThread);
    process_.reset(info.hProcess);
    id_ = info.dwProcessId;
    return true;
}

bool ChildProcess::WaitForExit(DWORD timeoutMs, DWORD& exitCode)
{
    if (WaitForSingleObject(process_.get(), timeoutMs) != WAIT_OBJECT_0) return false;
    return GetExitCodeProcess(process_.get(), &exitCode) != FALSE;
}

ChildProcess::~ChildProcess()
{
    if (process_.valid() && WaitForSingleObject(process_.get(), 0) == WAIT_TIMEOUT)
        TerminateProcess(process_.get(), 1);
}

std::wstring QuoteArgument(const std::wstring& argument)
{
    if (!argument.empty() && argument.find_first_of(L" \t\"") == std::wstring::npos) return argument;
    std::wstring quoted = L"\"";
    size_t backslashes = 0;
    for (wchar_t c : argument) {
        if (c == L'\\') {
            ++backslashes;
            continue;
        }
        // Backslashes double only where a quote follows them.
        quoted.append(c == L'"' ? backslashes * 2 + 1 : backslashes, L'\\');
        backslashes = 0;
        quoted.push_back(c);
    }
    quoted.append(backslashes * 2, L'\\');
    return quoted + L"\"";
}

}  // namespace tvx::driver
