// Helpers of the localization tests: language files in both encodings, the test language
// libraries, and a guard that puts the process-wide language state back after a test.
#pragma once
#include <windows.h>
#include <cstdint>
#include <string>
#include "language/language_table.h"

namespace tvx::test {

std::string Utf16Le(const std::wstring& text);
// The text in the ANSI code page of the test process, as the loader reads 8-bit files.
std::string Ansi(const std::wstring& text);

// <build>/tests/language_fixtures/<variant>/tvxlng.dll, variant "ltr" or "rtl".
std::wstring FixtureLibrary(const wchar_t* variant);
// The folder of the running test program, ending with a backslash.
std::wstring ProgramFolder();

// The part of a key before its first ':'.
std::string SectionOf(const char* key);
// The text the table holds for key, or "<missing>" when it has none.
std::wstring TextOf(const LanguageTable& table, const char* key);
// A string of the test program's own string table (the program's English texts).
std::wstring OwnString(uint32_t number);

// Leaves no language library loaded, the process-wide table empty and new windows laid out
// left to right, whatever the test did.
class LanguageStateGuard {
public:
    LanguageStateGuard() = default;
    ~LanguageStateGuard();
    LanguageStateGuard(const LanguageStateGuard&) = delete;
    LanguageStateGuard& operator=(const LanguageStateGuard&) = delete;
};

}  // namespace tvx::test
