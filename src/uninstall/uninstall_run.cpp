#include "uninstall/modes.h"

namespace tvx {

void RunUninstall() {}

}  // namespace tvx
