// The integration settings dialog SETUPDLG that opens a setup run: filled from the stored
// choices overlaid with the /init text, saved and applied on OK, and the uninstall entry
// written. The entry runs it through RunSetupDialog (uninstall/modes.h).
#pragma once
#include <windows.h>
#include <cstddef>
#include "integration/integration_options.h"

namespace tvx {

INT_PTR CALLBACK SetupDialogProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);

// Check boxes to record: slots 0 to 16 and the six flags; slots 17 to 19 untouched.
void ReadSetupDialog(HWND dialog, IntegrationOptions& options);
// Record to check boxes; the two shell-extension dependants enabled only with shellExt.
void FillSetupDialog(HWND dialog, const IntegrationOptions& options);
// Checks all seventeen type boxes, or clears them when every one is checked already.
void ToggleAllTypes(HWND dialog);
// Letter-digit pairs: A<digits> sets the associate slots in order, C, D, I, M, P and S the
// flags; "1" means on, any other character off; other letters are skipped with their digit.
void ApplyInitText(const wchar_t* initText, IntegrationOptions& options);
// The explanation above the boxes from strings 5120 to 5125, cut to capacity without
// splitting a surrogate pair.
void BuildSetupExplanation(wchar_t* out, size_t capacity);

}  // namespace tvx
