// Pieces of the uninstall run called in-process: the program folder, and the restart notice
// with the rule for scheduling the product folder itself.
#include <gtest/gtest.h>
#include <string>
#include <thread>
#include "support/scratch.h"
#include "uninstall/uninstall_run.h"
#include "uninstall_fixtures.h"
#include "window_driver.h"

namespace tvx::test {
namespace {

TEST(ProgramFolder, FolderOfTheProgramPath)
{
    struct Case {
        const wchar_t* program;
        const wchar_t* folder;  // nullptr: the run ends
    };
    const Case cases[] = {
        {L"C:\\Program Files\\Talvex\\uninstall.exe", L"C:\\Program Files\\Talvex"},
        {L"X:\\uninstall.exe", L"X:\\"},
        {L"\\\\server\\share\\uninstall.exe", L"\\\\server\\share"},
        {L"\\uninstall.exe", L""},
        {L"C:/Talvex/uninstall.exe", nullptr},
        {L"uninstall.exe", nullptr},
    };
    for (const Case& c : cases) {
        wchar_t folder[2048] = L"unchanged";
        bool found = GetProgramFolder(c.program, folder, 2048);
        EXPECT_EQ(found, c.folder != nullptr) << testing::PrintToString(std::wstring(c.program));
        if (found && c.folder != nullptr) {
            EXPECT_EQ(std::wstring(folder), c.folder);
        }
    }
}

struct NoticeCase {
    const wchar_t* folderName;
    bool scheduledAtReboot;
    bool silent;
    bool notice;
    bool folderScheduled;
};

class RestartNotice : public testing::TestWithParam<NoticeCase> {
protected:
    ScratchFolder base_{L"tvx-notice"};
    PendingRenamesGuard pending_;
};

TEST_P(RestartNotice, ShownOnceUnlessSilentAndTheFolderScheduledOnlyWhenNamedTalvex)
{
    const NoticeCase& c = GetParam();
    std::wstring folder = base_ / c.folderName;
    MakeFolder(folder);
    RunTexts texts{L"Reboot", L"Caption", L"Cannot delete"};
    bool noticeSeen = false;
    std::thread answer([&] {
        driver::DialogSnapshot box;
        if (!driver::WaitForDialog(GetCurrentProcessId(), L"Caption", c.notice ? 20000 : 1500, box))
            return;
        noticeSeen = box.texts.size() == 1 && box.texts[0] == L"Reboot";
        driver::PressButton(box, L"OK");
    });
    HandleScheduledFiles(folder.c_str(), c.scheduledAtReboot, c.silent, texts);
    answer.join();
    EXPECT_EQ(noticeSeen, c.notice);
    EXPECT_EQ(IsPendingDeletion(folder), c.folderScheduled);
}

INSTANTIATE_TEST_SUITE_P(Cases, RestartNotice,
                         testing::Values(NoticeCase{L"Talvex", true, false, true, true},
                                         NoticeCase{L"tALVEX", true, false, true, true},
                                         NoticeCase{L"Talvex", false, false, false, false},
                                         NoticeCase{L"Talvex", true, true, false, false},
                                         NoticeCase{L"Talvex 2", true, false, true, false}));

}  // namespace
}  // namespace tvx::test
