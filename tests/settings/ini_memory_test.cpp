// Memory exhaustion while Talvex.ini is loaded. This test program replaces the global
// allocation function so that one chosen allocation fails; everywhere else it is malloc.
#include <gtest/gtest.h>

#include <cstdlib>
#include <new>
#include <string>

#include "common/errors.h"
#include "settings/ini_settings.h"
#include "settings/settings_store.h"
#include "settings_fixture.h"

namespace {
int allocationsBeforeFailure = -1;  // -1: never fail
}  // namespace

void* operator new(std::size_t size)
{
    if (allocationsBeforeFailure >= 0 && allocationsBeforeFailure-- == 0) throw std::bad_alloc();
    void* memory = std::malloc(size == 0 ? 1 : size);
    if (memory == nullptr) throw std::bad_alloc();
    return memory;
}

void operator delete(void* memory) noexcept { std::free(memory); }
void operator delete(void* memory, std::size_t) noexcept { std::free(memory); }

namespace tvx {
namespace {

TEST(IniMemory, ALoadCutShortKeepsWhatWasReadAndNeverWritesTheFileBack)
{
    test::IniFolders folders(L"tvx-ini-memory");
    const std::string bytes = test::Utf16File(L"HKCU\\A1=\"one\"\r\nHKCU\\A2=\"two\"\r\nHKCU\\A3=\"three\"\r\n");
    test::WriteFileBytes(folders.ProgramIni(), bytes);
    Errors().Reset();

    allocationsBeforeFailure = 4;  // name, value and node of A1; name of A2; then out of memory
    bool served = Ini().Serves(HKEY_CURRENT_USER, L"");
    allocationsBeforeFailure = -1;

    EXPECT_TRUE(served);
    EXPECT_EQ(Errors().RecordedCode(), OutOfMemory);
    wchar_t buffer[16];
    Settings().ReadUserString(L"", L"A1", buffer, L"<none>", 16);
    EXPECT_STREQ(buffer, L"one");
    Settings().ReadUserString(L"", L"A2", buffer, L"<none>", 16);
    EXPECT_STREQ(buffer, L"<none>");
    EXPECT_TRUE(Settings().IsIntegrationEnabled());

    Settings().WriteUserString(L"", L"A1", L"changed");
    EXPECT_FALSE(Settings().SaveSettingsFile());
    EXPECT_EQ(test::ReadFileBytes(folders.ProgramIni()), bytes);
    Errors().Reset();
}

}  // namespace
}  // namespace tvx
