// Adapting the setup dialogs to the loaded language: control texts, caption and size from
// uninstall.lng, mirrored windows for right-to-left languages, and F1 / Help. Every dialog
// procedure hands each message to HandleCommonDialogMessage before its own handling.
#pragma once
#include <windows.h>
#include <cstddef>

namespace tvx {

// dialogName is the template's resource name, helpTopic nullptr for a dialog without help.
// True when the message is fully handled and the procedure must return TRUE at once.
bool HandleCommonDialogMessage(HWND window, UINT message, WPARAM wParam, LPARAM lParam,
                               const wchar_t* dialogName, const wchar_t* helpTopic);

// Texts in key-table order, then $DIALOG:SIZE (dialog and children) and $DIALOG:CAPTION.
void LocalizeDialog(HWND window, const wchar_t* dialogName);
void ApplyLayoutDirection(HWND window);
// For a control that shows a path or file masks: it reads and lays out left to right even in
// a mirrored dialog of a right-to-left language. Nothing for other languages.
void KeepLeftToRight(HWND control);

// $DIALOG:SIZE as "width*height" percentages; valid when both are above 0, fit in an int
// and are not both 100. The outputs are written only when the scale is valid.
bool GetDialogScale(const wchar_t* dialogName, int& widthPercent, int& heightPercent);
bool ParseDialogScale(const wchar_t* text, int& widthPercent, int& heightPercent);
// The text of $DIALOG:ITEM from the language file; out untouched when there is none.
bool GetDialogText(const wchar_t* dialogName, const wchar_t* itemName, wchar_t* out,
                   size_t capacity);

}  // namespace tvx
