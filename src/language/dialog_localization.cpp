#include "language/dialog_localization.h"
#include "common/charset.h"
#include "common/strings.h"
#include "dialogs/help_viewer.h"
#include "language/language_table.h"
#include <climits>
#include <cstdint>
#include <cstring>

namespace tvx {
namespace {

constexpr size_t kKeyCapacity = 80;            // wide characters of "$DIALOG:ITEM"
constexpr size_t kAnsiKeyCapacity = 2 * kKeyCapacity;  // room for double-byte code pages
constexpr size_t kControlTextCapacity = 1024;
constexpr size_t kScaleTextCapacity = 512;
constexpr int kMaxChildren = 512;
constexpr size_t kMaxIntDigits = 10;  // INT_MAX, 2147483647
constexpr LONG kCentred = DS_CENTER;  // 0x0800

void BuildAnsiKey(const wchar_t* dialogName, const wchar_t* itemName, char* out)
{
    wchar_t key[kKeyCapacity];
    FormatText(key, kKeyCapacity, L"$%s:%s", dialogName, itemName);
    WideToAnsi(key, out, kAnsiKeyCapacity);
}

void ApplyControlTexts(HWND window, const wchar_t* dialogName)
{
    char prefix[kAnsiKeyCapacity];
    BuildAnsiKey(dialogName, L"", prefix);
    const size_t prefixLength = std::strlen(prefix);
    wchar_t text[kControlTextCapacity];
    for (const LanguageKey& row : LanguageKeyTable) {
        if (row.id == 0 || std::strncmp(row.key, prefix, prefixLength) != 0) continue;
        if (Languages().FindText(row.key, text, kControlTextCapacity)) {
            SetDlgItemTextW(window, static_cast<int>(row.id), text);
        }
    }
}

// A translation may scale by any percentage that fits an int, so sums of scaled sizes are
// formed in 64 bits and held to what a window coordinate can be.
int ClampToInt(int64_t value)
{
    if (value > INT_MAX) return INT_MAX;
    if (value < INT_MIN) return INT_MIN;
    return static_cast<int>(value);
}

int Percent(int value, int percent)
{
    return ClampToInt(static_cast<int64_t>(value) * percent / 100);
}

// Scales the client area around the old centre; a dialog not created centred keeps its
// top-left corner. Returns nothing: the children are placed in client coordinates.
void ResizeDialog(HWND window, int widthPercent, int heightPercent)
{
    RECT outer, client;
    GetWindowRect(window, &outer);
    GetClientRect(window, &client);
    const int outerWidth = outer.right - outer.left;
    const int outerHeight = outer.bottom - outer.top;
    const int width = ClampToInt(int64_t{outerWidth} - client.right + Percent(client.right, widthPercent));
    const int height = ClampToInt(int64_t{outerHeight} - client.bottom + Percent(client.bottom, heightPercent));
    int left = outer.left + (outerWidth - width) / 2;
    int top = outer.top + (outerHeight - height) / 2;
    if (left < 0) left = 0;
    if (top < 0) top = 0;
    UINT flags = SWP_NOZORDER | SWP_NOOWNERZORDER;
    if ((GetWindowLongW(window, GWL_STYLE) & kCentred) == 0) flags |= SWP_NOMOVE;
    SetWindowPos(window, nullptr, left, top, width, height, flags);
}

// The list of a drop-down combo box belongs to its window height and grows with it.
int DroppedListHeight(HWND child, int heightPercent)
{
    wchar_t className[kPathCapacity] = L"";
    GetClassNameW(child, className, kPathCapacity);
    if (CompareNames(className, L"COMBOBOX") != 0) return 0;
    if ((GetWindowLongW(child, GWL_STYLE) & 3) == CBS_SIMPLE) return 0;
    RECT dropped{};
    SendMessageW(child, CB_GETDROPPEDCONTROLRECT, 0, reinterpret_cast<LPARAM>(&dropped));
    return Percent(dropped.bottom - dropped.top, heightPercent);
}

// Client coordinates come from MapWindowPoints, which also knows a mirrored dialog: there x
// runs from the right edge, and frame arithmetic on screen coordinates would flip the layout.
void ScaleChild(HWND window, HWND child, int widthPercent, int heightPercent)
{
    RECT r;
    GetWindowRect(child, &r);
    MapWindowPoints(HWND_DESKTOP, window, reinterpret_cast<POINT*>(&r), 2);
    const int x = Percent(r.left, widthPercent);
    const int y = Percent(r.top, heightPercent);
    const int width = Percent(r.right - r.left, widthPercent);
    const int height = ClampToInt(int64_t{Percent(r.bottom - r.top, heightPercent)} +
                                  DroppedListHeight(child, heightPercent));
    SetWindowPos(child, nullptr, x, y, width, height, SWP_NOZORDER | SWP_NOOWNERZORDER);
}

void ScaleChildren(HWND window, int widthPercent, int heightPercent)
{
    HWND first = GetWindow(window, GW_CHILD);
    HWND child = first;
    for (int visited = 0; child != nullptr && visited < kMaxChildren; ++visited) {
        ScaleChild(window, child, widthPercent, heightPercent);
        child = GetWindow(child, GW_HWNDNEXT);
        if (child == first) break;
    }
}

void ApplyCaption(HWND window, const wchar_t* dialogName)
{
    wchar_t caption[kControlTextCapacity];
    if (GetDialogText(dialogName, L"CAPTION", caption, kControlTextCapacity)) {
        SetWindowTextW(window, caption);
    }
}

// The number at text as DecimalToInt64 reads it, or -1 when it has more digits than any int:
// read whole, such a number would wrap around and could come out as a small valid percentage.
int64_t ReadPercent(const wchar_t* text)
{
    const wchar_t* digits = *text == L'-' ? text + 1 : text;
    while (*digits == L'0') ++digits;
    size_t count = 0;
    while (IsAsciiDigit(digits[count])) ++count;
    return count > kMaxIntDigits ? -1 : DecimalToInt64(text);
}

}  // namespace

bool GetDialogText(const wchar_t* dialogName, const wchar_t* itemName, wchar_t* out,
                   size_t capacity)
{
    char key[kAnsiKeyCapacity];
    BuildAnsiKey(dialogName, itemName, key);
    return Languages().FindText(key, out, capacity);
}

bool ParseDialogScale(const wchar_t* text, int& widthPercent, int& heightPercent)
{
    const wchar_t* star = text;
    while (*star != L'\0' && *star != L'*') ++star;
    if (*star != L'*') return false;
    const int64_t width = ReadPercent(text);
    const int64_t height = ReadPercent(star + 1);
    if (width <= 0 || height <= 0 || width > INT_MAX || height > INT_MAX) return false;
    if (width == 100 && height == 100) return false;
    widthPercent = static_cast<int>(width);
    heightPercent = static_cast<int>(height);
    return true;
}

bool GetDialogScale(const wchar_t* dialogName, int& widthPercent, int& heightPercent)
{
    wchar_t text[kScaleTextCapacity];
    if (!GetDialogText(dialogName, L"SIZE", text, kScaleTextCapacity)) return false;
    return ParseDialogScale(text, widthPercent, heightPercent);
}

void LocalizeDialog(HWND window, const wchar_t* dialogName)
{
    ApplyControlTexts(window, dialogName);
    int widthPercent = 100, heightPercent = 100;
    const bool scaled = GetDialogScale(dialogName, widthPercent, heightPercent);
    if (scaled) ResizeDialog(window, widthPercent, heightPercent);
    ApplyCaption(window, dialogName);
    if (scaled) ScaleChildren(window, widthPercent, heightPercent);
}

void ApplyLayoutDirection(HWND window)
{
    if (!Languages().IsRightToLeft()) return;
    const LONG style = GetWindowLongW(window, GWL_EXSTYLE);
    SetWindowLongW(window, GWL_EXSTYLE, style | WS_EX_LAYOUTRTL);
}

void KeepLeftToRight(HWND control)
{
    if (!Languages().IsRightToLeft()) return;
    // Reading order alone is not enough: a mirrored edit box still runs its text from the
    // right, which turns "*.iso" into "iso*." on screen.
    const LONG style = GetWindowLongW(control, GWL_EXSTYLE);
    SetWindowLongW(control, GWL_EXSTYLE, style & ~(WS_EX_RTLREADING | WS_EX_LAYOUTRTL));
    InvalidateRect(control, nullptr, TRUE);
}

bool HandleCommonDialogMessage(HWND window, UINT message, WPARAM wParam, LPARAM,
                               const wchar_t* dialogName, const wchar_t* helpTopic)
{
    switch (message) {
    case WM_SETFONT:  // sent while the dialog is created, before its controls exist
        ApplyLayoutDirection(window);
        return false;
    case WM_INITDIALOG:
        LocalizeDialog(window, dialogName);
        return false;
    case WM_HELP:
        if (helpTopic != nullptr) ShowHelp(helpTopic);
        return true;
    case WM_COMMAND:
        if (LOWORD(wParam) == IDHELP && helpTopic != nullptr) ShowHelp(helpTopic);
        return false;
    default:
        return false;
    }
}

}  // namespace tvx
