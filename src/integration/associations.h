// Taking archive extensions for the program's file types and giving them back: the former
// handler saved under Software\Talvex\Setup\<extension>, the TVX volume extensions and the
// "New" menu entries of .tvx and .zip. Run by the apply pass, the uninstaller and the dialog.
#pragma once
#include "integration/integration_options.h"

namespace tvx {

// Takes the extension (with its dot) when associate is set, else releases it when the
// program holds it; wantNew offers the "New" template (the record's shellExt), isTvx and
// isZip tell whether the extension is in the TVX or the ZIP row of the type table.
void AssociateExtension(const wchar_t* extension, bool associate, bool wantNew, bool isTvx,
                        bool isZip);
// Every extension of every archive type, in table order, as the record says.
void AssociateAllTypes(const IntegrationOptions& options);

}  // namespace tvx
