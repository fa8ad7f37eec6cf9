#include "uninstall/modes.h"

namespace tvx {

bool RunSetupDialog()
{
    return false;
}

void RunCompletionDialog() {}

}  // namespace tvx
