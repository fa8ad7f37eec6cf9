#include "dialogs/setup_dialog.h"
#include "common/strings.h"
#include "dialogs/completion_dialog.h"
#include "dialogs/context_items_dialog.h"
#include "integration/apply_options.h"
#include "integration/associations.h"
#include "language/dialog_localization.h"
#include "language/language_module.h"
#include "language/localized_strings.h"
#include "resources/resource.h"
#include "uninstall/modes.h"
#include "uninstall/run_options.h"
#include <richedit.h>

namespace tvx {
namespace {

constexpr size_t kExplanationCapacity = 4096;
constexpr size_t kFlagCount = 6;

// Type i of the archive type table is shown by the box kTypeControls[i].
constexpr int kTypeControls[kArchiveTypeCount] = {
    IDC_ASSOCTVX, IDC_ASSOCZIP, IDC_ASSOCCAB, IDC_ASSOCARJ, IDC_ASSOCLZ, IDC_ASSOCLZH,
    IDC_ASSOC7Z,  IDC_ASSOCTAR, IDC_ASSOCGZ,  IDC_ASSOCUUE, IDC_ASSOCBZ2, IDC_ASSOCJAR,
    IDC_ASSOCISO, IDC_ASSOCZ,   IDC_ASSOCXZ,  IDC_ASSOCZIPX, IDC_ASSOC001,
};
constexpr int kFlagControls[kFlagCount] = {
    IDC_LINKDESKTOP, IDC_LINKSTARTMENU, IDC_LINKPROGRAMS,
    IDC_SHELLEXT,    IDC_SHELLCASCADED, IDC_SHELLICONS,
};
constexpr int kFirstTypeControl = IDC_ASSOCTVX;  // the type boxes are 5101 to 5117
constexpr int kLastTypeControl = IDC_ASSOC001;

// The six flags in the order of kFlagControls.
template <typename Options>
auto FlagFields(Options& options)
{
    using Flag = decltype(&options.desktop);
    struct Fields { Flag field[kFlagCount]; };
    return Fields{{&options.desktop, &options.startMenu, &options.programs, &options.shellExt,
                   &options.cascadedMenu, &options.menuIcons}};
}

bool IsChecked(HWND dialog, int control)
{
    return IsDlgButtonChecked(dialog, control) == BST_CHECKED;
}

void SetChecked(HWND dialog, int control, bool on)
{
    CheckDlgButton(dialog, control, on ? BST_CHECKED : BST_UNCHECKED);
}

// The flag an init-text letter sets, or nullptr for a letter that sets none.
uint8_t* InitTextFlag(wchar_t letter, IntegrationOptions& options)
{
    switch (letter) {
    case L'C': return &options.cascadedMenu;
    case L'D': return &options.desktop;
    case L'I': return &options.menuIcons;
    case L'M': return &options.startMenu;
    case L'P': return &options.programs;
    case L'S': return &options.shellExt;
    default: return nullptr;
    }
}

void OnInitSetupDialog(HWND window)
{
    wchar_t explanation[kExplanationCapacity];
    BuildSetupExplanation(explanation, kExplanationCapacity);
    SetDlgItemTextW(window, IDC_SETUPEXPLANATION, explanation);
    IntegrationOptions options{};
    LoadIntegrationOptions(options);
    ApplyInitText(Options().initText, options);
    FillSetupDialog(window, options);
    SetForegroundWindow(window);
    SendMessageW(window, WM_SETICON, ICON_BIG, reinterpret_cast<LPARAM>(AppIcon()));
    SendDlgItemMessageW(window, IDC_SETUPEXPLANATION, EM_SETBKGNDCOLOR, 0,
                        GetSysColor(COLOR_BTNFACE));
    if (Options().silent) SendMessageW(window, WM_COMMAND, IDOK, 0);
}

void OnSetupOk(HWND window)
{
    IntegrationOptions options{};
    ReadSetupDialog(window, options);
    SaveIntegrationOptions(options);
    ApplyIntegrationOptions(options, Options().folderToOpen, kPathCapacity);
    if (!Options().msi) WriteUninstallEntry();
    // No archive type offers .ace any more: an association left by an older version goes.
    AssociateExtension(L".ace", false, false, false, false);
    EndDialog(window, 1);
}

void OnSetupCancel(HWND window)
{
    Options().exitCode = 1;
    EndDialog(window, 0);
}

void OnShellExtensionClicked(HWND window)
{
    IntegrationOptions options{};
    ReadSetupDialog(window, options);
    FillSetupDialog(window, options);
}

void OnSetupCommand(HWND window, WORD command)
{
    switch (command) {
    case IDOK: OnSetupOk(window); break;
    case IDCANCEL: OnSetupCancel(window); break;
    case IDC_SHELLEXT: OnShellExtensionClicked(window); break;
    case IDC_ASSOCALL: ToggleAllTypes(window); break;
    case IDC_SETCONTEXTMENU:
        DialogBoxParamW(ResourceModule(), IDD_SETUPCONTEXTITEMS, window,
                        ContextItemsDialogProc, 0);
        break;
    default: break;
    }
}

}  // namespace

void BuildSetupExplanation(wchar_t* out, size_t capacity)
{
    CopyText(out, L"   ", capacity);
    for (uint32_t number = IDS_INSTHELP1; number <= IDS_INSTHELP5; ++number) {
        AppendText(out, L" ", capacity);
        AppendText(out, GetLocalizedString(number), capacity);
    }
    AppendText(out, L"\r\n    ", capacity);
    AppendText(out, GetLocalizedString(IDS_INSTHELP6), capacity);
    size_t length = 0;
    while (out[length] != L'\0') ++length;
    if (length + 1 == capacity && IS_HIGH_SURROGATE(out[length - 1])) out[length - 1] = L'\0';
}

void ReadSetupDialog(HWND dialog, IntegrationOptions& options)
{
    for (size_t i = 0; i < kArchiveTypeCount; ++i) {
        options.associate[i] = IsChecked(dialog, kTypeControls[i]) ? 1 : 0;
    }
    auto flags = FlagFields(options);
    for (size_t i = 0; i < kFlagCount; ++i) {
        *flags.field[i] = IsChecked(dialog, kFlagControls[i]) ? 1 : 0;
    }
}

void FillSetupDialog(HWND dialog, const IntegrationOptions& options)
{
    for (size_t i = 0; i < kArchiveTypeCount; ++i) {
        SetChecked(dialog, kTypeControls[i], options.associate[i] != 0);
    }
    auto flags = FlagFields(options);
    for (size_t i = 0; i < kFlagCount; ++i) {
        SetChecked(dialog, kFlagControls[i], *flags.field[i] != 0);
    }
    EnableDlgItem(dialog, IDC_SHELLCASCADED, options.shellExt != 0);
    EnableDlgItem(dialog, IDC_SHELLICONS, options.shellExt != 0);
}

void ToggleAllTypes(HWND dialog)
{
    bool anyUnchecked = false;
    for (int control = kFirstTypeControl; control <= kLastTypeControl; ++control) {
        if (GetDlgItem(dialog, control) != nullptr && !IsChecked(dialog, control)) {
            anyUnchecked = true;
        }
    }
    for (int control = kFirstTypeControl; control <= kLastTypeControl; ++control) {
        SetChecked(dialog, control, anyUnchecked);
    }
}

void ApplyInitText(const wchar_t* text, IntegrationOptions& options)
{
    size_t i = 0;
    while (text[i] != L'\0' && text[i + 1] != L'\0') {
        const wchar_t letter = UpperChar(text[i++]);
        if (letter == L'A') {
            for (size_t slot = 0; slot < kAssociateSlots && IsAsciiDigit(text[i]); ++slot) {
                options.associate[slot] = text[i++] == L'1' ? 1 : 0;
            }
            continue;
        }
        if (uint8_t* flag = InitTextFlag(letter, options)) *flag = text[i] == L'1' ? 1 : 0;
        ++i;
    }
}

INT_PTR CALLBACK SetupDialogProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    if (HandleCommonDialogMessage(window, message, wParam, lParam, IDD_SETUPDLG,
                                  L"HELPIntegrationSettings")) {
        return TRUE;
    }
    if (message == WM_INITDIALOG) {
        OnInitSetupDialog(window);
        return TRUE;
    }
    if (message != WM_COMMAND) return FALSE;
    OnSetupCommand(window, LOWORD(wParam));
    return TRUE;
}

bool RunSetupDialog()
{
    const INT_PTR result =
        DialogBoxParamW(ResourceModule(), IDD_SETUPDLG, nullptr, SetupDialogProc, 0);
    // A dialog that could not even be created applied nothing: report it like a cancel.
    if (result == -1) Options().exitCode = 1;
    return result > 0;
}

void RunCompletionDialog()
{
    DialogBoxParamW(ResourceModule(), IDD_DONEDLG, nullptr, CompletionDialogProc, 0);
}

}  // namespace tvx
