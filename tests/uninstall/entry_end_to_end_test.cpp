#include <gtest/gtest.h>

#include <string>

#include "support/scratch.h"
#include "window_driver.h"

namespace tvx {
namespace {

// Generous: a Wine process start is slow under emulation.
constexpr DWORD kTimeoutMs = 60000;

std::wstring Program()
{
    return test::BuildDir() + L"\\uninstall.exe";
}

std::wstring RunLine(const wchar_t* switches)
{
    return driver::QuoteArgument(Program()) + L" " + switches;
}

TEST(EntryEndToEnd, WarningShowsTheProgramPathAndEndsWithZero)
{
    driver::ChildProcess program;
    ASSERT_TRUE(program.Start(RunLine(L"/warning")));
    driver::DialogSnapshot box;
    ASSERT_TRUE(driver::WaitForDialog(program.Id(), L"", kTimeoutMs, box));
    EXPECT_EQ(box.caption, L"Uninstall Talvex");
    ASSERT_EQ(box.texts.size(), 1u);
    EXPECT_EQ(box.texts[0], L"Talvex has been uninstalled.\nThe file " + Program() +
                                L" could not be deleted. Please delete it yourself.");
    ASSERT_TRUE(driver::PressButton(box, L"OK"));
    DWORD exitCode = 99;
    ASSERT_TRUE(program.WaitForExit(kTimeoutMs, exitCode));
    EXPECT_EQ(exitCode, 0u);
}

TEST(EntryEndToEnd, WaitSleepsAndEndsByItself)
{
    driver::ChildProcess program;
    ULONGLONG started = GetTickCount64();
    ASSERT_TRUE(program.Start(RunLine(L"/wait")));
    DWORD exitCode = 99;
    ASSERT_TRUE(program.WaitForExit(kTimeoutMs, exitCode));
    EXPECT_GE(GetTickCount64() - started, 2000u);
    EXPECT_EQ(exitCode, 0u);
}

}  // namespace
}  // namespace tvx
