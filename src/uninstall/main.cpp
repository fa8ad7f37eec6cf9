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

// Every exception the program raises is caught above; should anything else ever escape, the
// process ends quietly. Replacing the run-time's verbose handler also keeps its name
// demangler and formatted printing out of the program, a fifth of its size.
namespace __gnu_cxx {
void __verbose_terminate_handler()
{
    constexpr UINT kAbnormalEnd = 3;  // the code the C run-time's abort ends with
    ExitProcess(kAbnormalEnd);
}
}  // namespace __gnu_cxx
