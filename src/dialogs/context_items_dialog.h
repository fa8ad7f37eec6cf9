// The context menu items dialog SETUPCONTEXTITEMS, opened from the integration settings:
// which commands the shell extension shows and which files it treats as archives, stored at
// once under Software\Talvex\Setup\MenuItems of the current user.
#pragma once
#include <windows.h>

namespace tvx {

struct ContextMenuItem {
    const wchar_t* value;  // DWORD 0 or 1 under Setup\MenuItems
    int control;
    DWORD defaultOn;
};

constexpr int kContextMenuItemCount = 19;
extern const ContextMenuItem ContextMenuItemTable[kContextMenuItemCount];
extern const wchar_t kMenuItemsKey[];  // relative to Software\Talvex

INT_PTR CALLBACK ContextItemsDialogProc(HWND window, UINT message, WPARAM wParam,
                                        LPARAM lParam);

}  // namespace tvx
