// Command lines as the system hands them to the program, the seeds of the randomized tests of
// the tokenizer and of the switch parser: from the list of installed programs, an installer,
// the self-removal script and an archive's sfxcmd.
#pragma once
#include <string>
#include <vector>

namespace tvx::test {

inline const std::vector<std::wstring>& RealCommandLines()
{
    static const std::vector<std::wstring> lines = {
        L"\"C:\\Program Files\\Talvex\\uninstall.exe\"",
        L"\"C:\\Program Files\\Talvex\\uninstall.exe\" /S",
        L"\"C:\\Program Files (x86)\\Talvex\\uninstall.exe\" /setup /init\"A1B0 C1\" /noexplorer",
        L"uninstall.exe /msi /S",
        L"\"C:\\Users\\Dana\\AppData\\Local\\Temp\\Talvex\\uninstall.exe\" /wait",
        L"\"C:\\Program Files\\Talvex\\uninstall.exe\"  /warning -s",
        L"C:\\PROGRA~1\\Talvex\\uninstall.exe\t-setup\t-SILENT \"\"quoted\"\" end",
        L"/S /initZIP=1;7Z=0 \"/setup\" x\"y z\"w",
    };
    return lines;
}

}  // namespace tvx::test
