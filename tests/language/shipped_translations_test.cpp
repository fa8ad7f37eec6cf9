#include <gtest/gtest.h>
#include <richedit.h>
#include <cstring>
#include <cwctype>
#include <set>
#include <string>
#include "language/language_table.h"
#include "language_test_support.h"
#include "support/scratch.h"

namespace tvx::test {
namespace {

std::wstring Shipped(const wchar_t* language)
{
    return SourceDir() + L"\\src\\resources\\lang\\" + language + L"\\uninstall.lng";
}

bool IsSizeKey(const char* key)
{
    const char* colon = strchr(key, ':');
    return strcmp(colon + 1, "SIZE") == 0;
}

size_t CountOf(const std::wstring& text, wchar_t c)
{
    size_t count = 0;
    for (wchar_t t : text) count += t == c;
    return count;
}

class ShippedTranslationTest : public ::testing::Test {
protected:
    RegistrySandbox sandbox_;
    LanguageStateGuard guard_;
    LanguageTable english_;
};

TEST_F(ShippedTranslationTest, EnglishFileReadsBackAsTheProgramsStringTable)
{
    english_.Load(Shipped(L"english").c_str());
    EXPECT_FALSE(english_.IsRightToLeft());
    for (const LanguageKey& row : LanguageKeyTable) {
        if (strncmp(row.key, "s:", 2) != 0) continue;
        EXPECT_EQ(TextOf(english_, row.key), OwnString(row.id)) << row.key;
    }
}

INT_PTR CALLBACK QuietDialogProc(HWND, UINT message, WPARAM, LPARAM)
{
    return message == WM_INITDIALOG;
}

// The English file must say what the dialog templates say, so that loading it changes
// nothing a user sees.
TEST_F(ShippedTranslationTest, EnglishDialogTextsAreTheTemplateTexts)
{
    HMODULE richEdit = LoadLibraryW(L"riched20.dll");
    english_.Load(Shipped(L"english").c_str());
    for (const wchar_t* dialogName : {L"SETUPDLG", L"DONEDLG", L"SETUPCONTEXTITEMS"}) {
        HWND dialog = CreateDialogParamW(GetModuleHandleW(nullptr), dialogName, nullptr,
                                         QuietDialogProc, 0);
        ASSERT_NE(dialog, nullptr) << "cannot create the dialog";
        char prefix[40];
        WideCharToMultiByte(CP_ACP, 0, dialogName, -1, prefix + 1, 38, nullptr, nullptr);
        prefix[0] = '$';
        strcat(prefix, ":");
        for (const LanguageKey& row : LanguageKeyTable) {
            if (strncmp(row.key, prefix, strlen(prefix)) != 0 || IsSizeKey(row.key)) continue;
            wchar_t shown[1024] = L"";
            if (row.id == 0) GetWindowTextW(dialog, shown, 1024);
            else GetDlgItemTextW(dialog, row.id, shown, 1024);
            EXPECT_EQ(TextOf(english_, row.key), shown) << row.key;
        }
        DestroyWindow(dialog);
    }
    if (richEdit != nullptr) FreeLibrary(richEdit);
}

TEST_F(ShippedTranslationTest, HebrewFileIsCompleteRightToLeftAndKeepsThePlaceholders)
{
    english_.Load(Shipped(L"english").c_str());
    LanguageTable hebrew;
    hebrew.Load(Shipped(L"hebrew").c_str());
    EXPECT_TRUE(hebrew.IsRightToLeft());
    EXPECT_EQ(TextOf(hebrew, "s:IDS_UNINSTALLTVX"), L"\u05D4\u05E1\u05E8\u05EA Talvex");
    for (const LanguageKey& row : LanguageKeyTable) {
        if (IsSizeKey(row.key)) continue;
        std::wstring text = TextOf(hebrew, row.key);
        std::wstring original = TextOf(english_, row.key);
        EXPECT_FALSE(text.empty() || text == L"<missing>") << row.key;
        EXPECT_EQ(CountOf(text, L'%'), CountOf(original, L'%')) << row.key;
        EXPECT_EQ(text.find(L"%s") == std::wstring::npos,
                  original.find(L"%s") == std::wstring::npos) << row.key;
        EXPECT_LE(CountOf(text, L'&'), 1u) << row.key;
    }
}

// Alt and an underlined letter press a control, so no letter may serve two in one dialog.
TEST_F(ShippedTranslationTest, AccessKeysAreUniqueWithinEachDialog)
{
    for (const wchar_t* language : {L"english", L"hebrew"}) {
        LanguageTable table;
        table.Load(Shipped(language).c_str());
        std::set<std::pair<std::string, wchar_t>> used;
        for (const LanguageKey& row : LanguageKeyTable) {
            std::wstring text = TextOf(table, row.key);
            size_t amp = text.find(L'&');
            if (amp == std::wstring::npos || amp + 1 >= text.size()) continue;
            wchar_t letter = static_cast<wchar_t>(towupper(text[amp + 1]));
            EXPECT_TRUE(used.insert({SectionOf(row.key), letter}).second)
                << row.key << " in " << (language[0] == L'e' ? "English" : "Hebrew");
        }
    }
}

}  // namespace
}  // namespace tvx::test
