// Driving the dialogs and message boxes of another process from outside, as a person at the
// screen would: wait for one to appear, read its caption and texts, press a button. Used by
// the tvxdrive tool and by the end-to-end tests.
#pragma once
#include <windows.h>
#include <string>
#include <vector>
#include "common/handles.h"

namespace tvx::driver {

struct DialogSnapshot {
    HWND window = nullptr;
    std::wstring caption;
    std::vector<std::wstring> texts;    // static controls with text, in window order
    std::vector<std::wstring> buttons;  // button labels with the '&' markers removed
};

// Waits up to timeoutMs for a visible dialog (class #32770) of the process processId (0: of
// any process) whose caption is caption (empty: any caption).
bool WaitForDialog(DWORD processId, const std::wstring& caption, DWORD timeoutMs,
                   DialogSnapshot& dialog);
// Presses the button whose label matches, ignoring case and '&'; false when there is none.
bool PressButton(const DialogSnapshot& dialog, const std::wstring& label);

// A program started for driving; terminated if it is still running when the owner goes.
class ChildProcess {
public:
    bool Start(const std::wstring& commandLine);
    DWORD Id() const { return id_; }
    // False when it did not end within timeoutMs.
    bool WaitForExit(DWORD timeoutMs, DWORD& exitCode);
    ~ChildProcess();

private:
    KernelHandle process_;
    DWORD id_ = 0;
};

// One command-line argument quoted as the C run-time reads it back.
std::wstring QuoteArgument(const std::wstring& argument);

}  // namespace tvx::driver
