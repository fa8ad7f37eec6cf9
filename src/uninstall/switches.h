// The switches of the command line and of the sfxcmd variable: which mode the program runs
// in and the run options they set. Parsing only records; the two switches that act at once
// (/wait and /warning) are handed to the caller's effects in the order they are met.
#pragma once
#include "uninstall/run_options.h"

namespace tvx {

class SwitchEffects {
public:
    virtual void Wait() = 0;                     // /wait
    virtual void ShowCannotDeleteWarning() = 0;  // /warning

protected:
    ~SwitchEffects() = default;
};

// Reads one switch text into Options(). setupMode is only ever set; uninstallMode is written
// by every call: true for a command line (fromEnvironment false) whose switches are all
// /S or /msi. From sfxcmd (fromEnvironment true) only /S has an effect.
void ParseSwitches(bool fromEnvironment, const wchar_t* text, bool& setupMode, bool& uninstallMode,
                   SwitchEffects& effects);

}  // namespace tvx
