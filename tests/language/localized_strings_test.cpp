#include <gtest/gtest.h>
#include <string>
#include "common/strings.h"
#include "language/language_module.h"
#include "language/language_table.h"
#include "language/localized_strings.h"
#include "language_test_support.h"
#include "support/scratch.h"

namespace tvx::test {
namespace {

class LocalizedStringTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        // The file has 5101 (also in both string tables) and an empty 5103 (also in the
        // program's); the test library has 5101 and 5102; 5104 is only the program's.
        WriteFileBytes(scratch_ / L"uninstall.lng",
                       "***messages***\r\n"
                       "IDS_UNINSTTITLE File title\r\n"
                       "IDS_TVXHELP \r\n"
                       "IDS_WARN32BIT " + std::string(1500, 'w') + "\r\n");
        Languages().Load((scratch_ / L"uninstall.lng").c_str());
        LoadLanguageModule(GetModuleHandleW(nullptr), FixtureLibrary(L"ltr").c_str());
    }

    RegistrySandbox sandbox_;
    ScratchFolder scratch_{L"tvx-localized-strings"};
    LanguageStateGuard guard_;
};

struct LookupCase {
    uint32_t number;
    const wchar_t* withLibrary;
    const wchar_t* afterRelease;
};

const LookupCase kLookupCases[] = {
    {IDS_UNINSTTITLE, L"File title", L"File title"},
    {IDS_TVXHELP, L"", L""},
    {IDS_TALVEXHELP, L"Library help", L"Talvex help"},
    {IDS_WHATSNEW, L"What is new in the latest version", L"What is new in the latest version"},
    {9999, L"", L""},
};

TEST_F(LocalizedStringTest, LanguageFileThenLibraryThenOwnStringTable)
{
    wchar_t text[kLineCapacity];
    for (const LookupCase& row : kLookupCases) {
        EXPECT_STREQ(LoadLocalizedString(row.number, text, kLineCapacity), row.withLibrary)
            << row.number;
    }
    ReleaseLanguageModule();
    for (const LookupCase& row : kLookupCases) {
        EXPECT_STREQ(LoadLocalizedString(row.number, text, kLineCapacity), row.afterRelease)
            << row.number;
    }
}

TEST_F(LocalizedStringTest, TextIsCutToTheCapacity)
{
    wchar_t small[6] = L"xxxxx";
    EXPECT_STREQ(LoadLocalizedString(IDS_UNINSTTITLE, small, 6), L"File ");
    EXPECT_STREQ(LoadLocalizedString(IDS_TALVEXHELP, small, 6), L"Libra");
    EXPECT_STREQ(LoadLocalizedString(IDS_WHATSNEW, small, 6), L"What ");
    EXPECT_STREQ(LoadLocalizedString(IDS_TALVEXHELP, small, 1), L"");
    EXPECT_EQ(wcslen(GetLocalizedString(IDS_WARN32BIT)), 1023u);
    EXPECT_EQ(GetLocalizedString(IDS_WARN32BIT)[0], L'w');
}

TEST_F(LocalizedStringTest, EightBuffersRotate)
{
    const uint32_t numbers[] = {IDS_UNINSTTITLE, IDS_TALVEXHELP, IDS_TVXHELP,
                                IDS_WHATSNEW,    IDS_WHATSNEWNAME, IDS_UNINSTALLTVX,
                                IDS_TALVEXARC,   IDS_TALVEXZIPARC};
    const wchar_t* results[8];
    for (size_t i = 0; i < 8; ++i) results[i] = GetLocalizedString(numbers[i]);
    for (size_t i = 0; i < 8; ++i) {
        wchar_t expected[kLineCapacity];
        EXPECT_STREQ(results[i], LoadLocalizedString(numbers[i], expected, kLineCapacity));
        for (size_t j = 0; j < i; ++j) EXPECT_NE(results[i], results[j]);
    }
    const wchar_t* ninth = GetLocalizedString(IDS_HOMEURL);
    EXPECT_EQ(ninth, results[0]);
    EXPECT_STREQ(results[0], L"https://www.talvex.example/");
}

}  // namespace
}  // namespace tvx::test
