#include <gtest/gtest.h>
#include <string>
#include <vector>
#include "common/paths.h"
#include "dialogs/help_viewer.h"
#include "support/scratch.h"

namespace tvx {
namespace {

struct HelpCall {
    HWND owner;
    std::wstring target;
    UINT command;
};
std::vector<HelpCall> calls;
HWND answer = nullptr;

HWND WINAPI RecordHelp(HWND owner, LPCWSTR target, UINT command, DWORD_PTR)
{
    calls.push_back({owner, target, command});
    return answer;
}

class HelpViewer : public ::testing::Test {
protected:
    void SetUp() override
    {
        calls.clear();
        answer = GetDesktopWindow();  // any window: "the help was shown"
        ResetHelpViewerForTesting();
        SetHtmlHelpForTesting(RecordHelp);
    }
    void TearDown() override
    {
        SetHtmlHelpForTesting(nullptr);
        ResetHelpViewerForTesting();
    }
    void SetLanguageFolder(const std::wstring& folder)
    {
        test::RegWriteString(HKEY_CURRENT_USER, L"Software\\Talvex\\General", L"LanguageFolder",
                             folder);
    }

    test::RegistrySandbox sandbox;
};

std::wstring ProgramFolder()
{
    wchar_t path[2048];
    GetProgramPath(path, 2048);
    *NamePart(path) = L'\0';
    return path;
}

TEST_F(HelpViewer, TopicAndContentsTargetTheHelpFileBesideTheProgram)
{
    EXPECT_EQ(ShowHelp(L"HELPContextItems"), GetDesktopWindow());
    EXPECT_NE(ShowHelp(nullptr), nullptr);
    ASSERT_EQ(calls.size(), 2u);
    EXPECT_EQ(calls[0].target, ProgramFolder() + L"talvex.chm::/html/HELPContextItems.htm");
    EXPECT_EQ(calls[0].command, 0u);  // HH_DISPLAY_TOPIC
    EXPECT_EQ(calls[0].owner, GetDesktopWindow());
    EXPECT_EQ(calls[1].target, ProgramFolder() + L"talvex.chm");
    EXPECT_EQ(calls[1].command, 1u);  // HH_DISPLAY_TOC
}

TEST_F(HelpViewer, HelpFileInTheLanguageFolderWins)
{
    test::ScratchFolder language(L"tvx-help-language");
    SetLanguageFolder(language.Path());
    ShowHelp(L"HELPIntegrationSettings");
    test::WriteFileBytes(language / L"talvex.chm", "ITSF");
    ResetHelpViewerForTesting();
    ShowHelp(L"HELPIntegrationSettings");
    ASSERT_EQ(calls.size(), 2u);
    EXPECT_EQ(calls[0].target, ProgramFolder() + L"talvex.chm::/html/HELPIntegrationSettings.htm");
    EXPECT_EQ(calls[1].target,
              language.Path() + L"\\talvex.chm::/html/HELPIntegrationSettings.htm");
}

TEST_F(HelpViewer, FailureWithASpellablePathIsNotRetried)
{
    answer = nullptr;
    EXPECT_EQ(ShowHelp(L"HELPContextItems"), nullptr);
    EXPECT_EQ(calls.size(), 1u);
}

TEST_F(HelpViewer, UnspellablePathIsRetriedInShortFormOncePerProcess)
{
    // Cyrillic letters have no place in the default Western code page.
    test::ScratchFolder language(L"tvx-\u042f\u0437\u044b\u043a");
    test::WriteFileBytes(language / L"talvex.chm", "ITSF");
    SetLanguageFolder(language.Path());
    answer = nullptr;
    EXPECT_EQ(ShowHelp(L"HELPContextItems"), nullptr);
    ASSERT_EQ(calls.size(), 2u);
    EXPECT_EQ(ShowHelp(L"HELPContextItems"), nullptr);
    EXPECT_EQ(calls.size(), 3u);
}

}  // namespace
}  // namespace tvx
