// The uninstall run under faults that Wine cannot produce on demand: the disk filling up
// while the self-removal script is written. What the user is left with is checked: no
// partial script, nothing started, the program and its folder in place, and a message
// unless the run is silent.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "support/fault.h"
#include "support/scratch.h"
#include "uninstall/removal_script.h"
#include "uninstall/run_options.h"
#include "uninstall/uninstall_run.h"
#include "uninstall_fixtures.h"

namespace tvx::test {
namespace {

struct ScriptFileSeam {
    explicit ScriptFileSeam(FileObject& file) { SetScriptFileForTesting(&file); }
    ~ScriptFileSeam() { SetScriptFileForTesting(nullptr); }
};

std::vector<std::wstring> boxesShown;

int WINAPI RecordBox(HWND, LPCWSTR text, LPCWSTR, UINT)
{
    boxesShown.push_back(text);
    return IDOK;
}

struct MessageBoxSeam {
    MessageBoxSeam()
    {
        boxesShown.clear();
        SetMessageBoxForTesting(RecordBox);
    }
    ~MessageBoxSeam() { SetMessageBoxForTesting(nullptr); }
};

std::wstring CurrentFolder()
{
    wchar_t folder[MAX_PATH] = L"";
    GetCurrentDirectoryW(MAX_PATH, folder);
    return folder;
}

class ScriptFault : public testing::Test {
protected:
    ScriptFault()
    {
        MakeFolder(folder_);
        MakeFile(program_);
    }

    std::wstring TempScript() const
    {
        wchar_t temp[MAX_PATH];
        GetTempPathW(MAX_PATH, temp);
        return std::wstring(temp) + kScriptName;
    }

    ScratchFolder base_{L"tvx-script-fault"};
    std::wstring folder_ = base_ / L"Talvex";
    std::wstring program_ = folder_ + L"\\uninstall.exe";
    std::wstring script_ = base_ / kScriptName;
};

TEST_F(ScriptFault, AFullDiskAtAnyWriteLeavesNoScript)
{
    for (bool silent : {false, true}) {
        FaultyFile counting;
        {
            ScriptFileSeam seam(counting);
            ASSERT_TRUE(WriteRemovalScript(script_.c_str(), program_.c_str(), folder_.c_str(), silent));
        }
        ASSERT_TRUE(PathExists(script_));
        for (int failing = 1; failing <= counting.Writes(); ++failing) {
            SCOPED_TRACE(testing::Message() << "silent " << silent << ", write " << failing);
            FaultyFile full;
            full.FailWritesFrom(failing);
            ScriptFileSeam seam(full);
            EXPECT_FALSE(WriteRemovalScript(script_.c_str(), program_.c_str(), folder_.c_str(), silent));
            EXPECT_FALSE(PathExists(script_)) << "neither the partial script nor the old one";
        }
    }
}

// The end of the run: with no script, nothing can remove the program, so it and its folder
// stay, the run stays in the product folder, and the user is told (not in a silent run).
TEST_F(ScriptFault, AFullDiskAtTheEndOfTheRunLeavesTheProgramAndTellsTheUser)
{
    RunTexts texts{L"Reboot", L"Caption", L"Delete the program by hand"};
    for (bool silent : {false, true}) {
        SCOPED_TRACE(silent);
        DeleteFileW(TempScript().c_str());
        ASSERT_TRUE(SetCurrentDirectoryW(folder_.c_str()));
        FaultyFile full;
        full.FailWritesFrom(3);
        MessageBoxSeam boxes;
        {
            ScriptFileSeam seam(full);
            RemoveProgramAndFolder(program_.c_str(), folder_.c_str(), silent, texts);
        }
        EXPECT_FALSE(PathExists(TempScript()));
        EXPECT_EQ(CurrentFolder(), folder_) << "nothing was started from the parent folder";
        EXPECT_TRUE(PathExists(program_));
        EXPECT_EQ(boxesShown, silent ? std::vector<std::wstring>{} : std::vector<std::wstring>{texts.cannotDelete});
    }
    SetCurrentDirectoryW(base_.Path().c_str());
}

}  // namespace
}  // namespace tvx::test
