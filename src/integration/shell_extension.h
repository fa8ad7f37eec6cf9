// Registration of the shell-extension libraries tvxext.dll and (under WOW64) tvxext64.dll as
// in-process COM servers with their context-menu, property-sheet, drop and drag-and-drop
// handler entries and the Approved list, in both directions; and the driver that the apply
// pass and the uninstaller call, which also runs the capabilities step.
#pragma once
#include "integration/integration_options.h"

namespace tvx {

extern const wchar_t kShellExtensionClsid32[];  // tvxext.dll, registry form with braces
extern const wchar_t kShellExtensionClsid64[];  // tvxext64.dll

// With want64, and only for a 32-bit process on 64-bit Windows, makes the settings store
// open and create keys in the 64-bit view; without, returns it to the default view.
void SelectRegistryView(bool want64);

// Registers (enable) or unregisters one library; is64 puts its CLSID keys into the 64-bit
// view. Unregistering removes the CLSID keys from both views.
void RegisterShellExtension(bool enable, const wchar_t* fileName, const wchar_t* clsid,
                            const wchar_t* handlerName, bool is64);

// Setup: registers the extension when the record's shellExt is on, otherwise unregisters it;
// lists the program's capabilities. Remove: unregisters everything and deletes the machine's
// Software\Talvex key. Either way the shell is told that associations changed.
void UpdateShellRegistration(IntegrationDirection direction, const IntegrationOptions& options);

}  // namespace tvx
