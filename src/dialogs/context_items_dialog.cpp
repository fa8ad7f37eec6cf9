#include "dialogs/context_items_dialog.h"
#include "language/dialog_localization.h"
#include "resources/resource.h"
#include "settings/settings_store.h"

namespace tvx {

const wchar_t kMenuItemsKey[] = L"Setup\\MenuItems";

const ContextMenuItem ContextMenuItemTable[kContextMenuItemCount] = {
    {L"ExtrTo", IDC_CONTEXTEXTRACTTO, 1},
    {L"ExtrHere", IDC_CONTEXTEXTRACTHERE, 1},
    {L"Extr", IDC_CONTEXTEXTRACT, 1},
    {L"ExtrSep", IDC_CONTEXTEXTRACTSEPARATE, 1},
    {L"OpenSFX", IDC_CONTEXTOPENSFX, 1},
    {L"OpenArc", IDC_CONTEXTOPENARC, 1},
    {L"AddTo", IDC_CONTEXTADD, 1},
    {L"AddArc", IDC_CONTEXTADDARC, 1},
    {L"EmailArc", IDC_CONTEXTEMAILARC, 1},
    {L"EmailOpt", IDC_CONTEXTEMAILARCOPT, 1},
    {L"Test", IDC_CONTEXTTEST, 0},
    {L"Convert", IDC_CONTEXTCONVERT, 0},
    {L"NewTVX", IDC_CONTEXTNEWTVX, 1},
    {L"NewZIP", IDC_CONTEXTNEWZIP, 1},
    {L"SFXLocal", IDC_CONTEXTSFXLOCAL, 1},
    {L"SFXNetwork", IDC_CONTEXTSFXNETWORK, 1},
    {L"SFXOther", IDC_CONTEXTSFXOTHER, 1},
    {L"DragAdd", IDC_CONTEXTDRAGADD, 1},
    {L"DragExtr", IDC_CONTEXTDRAGEXTRACT, 1},
};

namespace {

constexpr wchar_t kAlwaysArcValue[] = L"AlwaysArc";
constexpr wchar_t kAlwaysArcDefault[] = L"*.iso";
constexpr int kAlwaysArcCapacity = 1024;

void ShowContextItems(HWND window)
{
    for (const ContextMenuItem& item : ContextMenuItemTable) {
        const DWORD on = Settings().ReadUserNumber(kMenuItemsKey, item.value, item.defaultOn);
        CheckDlgButton(window, item.control, on != 0 ? BST_CHECKED : BST_UNCHECKED);
    }
    wchar_t masks[kAlwaysArcCapacity];
    Settings().ReadUserString(kMenuItemsKey, kAlwaysArcValue, masks, kAlwaysArcDefault,
                              kAlwaysArcCapacity);
    HWND edit = GetDlgItem(window, IDC_CONTEXTALWAYSARC);
    // No more than will be stored can be typed.
    SendMessageW(edit, EM_SETLIMITTEXT, kAlwaysArcCapacity - 1, 0);
    SetWindowTextW(edit, masks);
    KeepLeftToRight(edit);  // file masks read left to right in every language
}

void SaveContextItems(HWND window)
{
    for (const ContextMenuItem& item : ContextMenuItemTable) {
        const DWORD on = IsDlgButtonChecked(window, item.control) == BST_CHECKED ? 1 : 0;
        Settings().WriteUserNumber(kMenuItemsKey, item.value, on);
    }
    wchar_t masks[kAlwaysArcCapacity] = L"";
    GetDlgItemTextW(window, IDC_CONTEXTALWAYSARC, masks, kAlwaysArcCapacity);
    Settings().WriteUserString(kMenuItemsKey, kAlwaysArcValue, masks);
    Settings().SaveSettingsFile();
}

bool OnContextItemsCommand(HWND window, WORD command)
{
    if (command == IDOK) {
        SaveContextItems(window);
        EndDialog(window, 1);
        return true;
    }
    if (command == IDCANCEL) {
        EndDialog(window, 0);
        return true;
    }
    return false;
}

}  // namespace

INT_PTR CALLBACK ContextItemsDialogProc(HWND window, UINT message, WPARAM wParam,
                                        LPARAM lParam)
{
    if (HandleCommonDialogMessage(window, message, wParam, lParam, IDD_SETUPCONTEXTITEMS,
                                  L"HELPContextItems")) {
        return TRUE;
    }
    if (message == WM_INITDIALOG) {
        ShowContextItems(window);
        return TRUE;
    }
    if (message == WM_COMMAND) return OnContextItemsCommand(window, LOWORD(wParam));
    return FALSE;
}

}  // namespace tvx
