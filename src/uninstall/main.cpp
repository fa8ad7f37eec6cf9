#include <windows.h>
#include "common/errors.h"
#include "language/language_module.h"
#include "language/language_table.h"
#include "settings/ini_settings.h"
#include "uninstall/entry.h"

int WINAPI wWinMain(HINSTANCE instance, HINSTANCE, PWSTR, int)
{
    // The process-wide objects exist before the entry runs and are destroyed after it in the
    // reverse order, so the INI backend writes Talvex.ini back while the others still exist.
    tvx::Errors();
    tvx::ResourceModule();
    tvx::Languages();
    tvx::Ini();
    try {
        return tvx::RunProgram(instance);
    } catch (tvx::TVX_EXIT code) {
        return static_cast<int>(code);
    }
}
