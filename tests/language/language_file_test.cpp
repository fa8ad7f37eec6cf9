#include <gtest/gtest.h>
#include <string>
#include "language/language_table.h"
#include "language_test_support.h"
#include "support/scratch.h"

namespace tvx::test {
namespace {

const std::wstring kMarker = L"***messages***\r\n";

class LanguageFileTest : public ::testing::Test {
protected:
    void LoadBytes(const std::string& bytes)
    {
        WriteFileBytes(path_, bytes);
        table_.Load(path_.c_str());
    }
    void LoadAnsi(const std::wstring& text) { LoadBytes(Ansi(text)); }

    RegistrySandbox sandbox_;
    ScratchFolder scratch_{L"tvx-language-file"};
    std::wstring path_ = scratch_ / L"uninstall.lng";
    LanguageStateGuard guard_;
    LanguageTable table_;
};

struct ValueCase {
    const wchar_t* line;
    const char* key;
    const wchar_t* text;
};

const ValueCase kValueCases[] = {
    {L"IDS_QUOTEDBLANKS   \"  a\\tb  \"   ", "s:IDS_QUOTEDBLANKS", L"  a\tb  "},
    {L"IDS_NEWLINE Line1\\nLine2", "s:IDS_NEWLINE", L"Line1\nLine2"},
    {L"IDS_PATH C:\\path", "s:IDS_PATH", L"C:\\path"},
    {L"IDS_OPENQUOTE \"quoted", "s:IDS_OPENQUOTE", L"quoted"},
    {L"IDS_CLOSEQUOTE quoted\"", "s:IDS_CLOSEQUOTE", L"quoted"},
    {L"IDS_ESCAPES |\\\"\\\\\\r\\t|", "s:IDS_ESCAPES", L"|\"\\\r\t|"},
    {L"IDS_UNKNOWNESCAPES \\x\\q\\", "s:IDS_UNKNOWNESCAPES", L"\\x\\q\\"},
    {L"IDS_DOUBLEBACKSLASH a\\\\nb", "s:IDS_DOUBLEBACKSLASH", L"a\\nb"},
    {L"IDS_INNERQUOTES say \"hi\" now", "s:IDS_INNERQUOTES", L"say \"hi\" now"},
    {L"IDS_ESCAPEDQUOTES \"say \\\"hi\\\"\"", "s:IDS_ESCAPEDQUOTES", L"say \"hi\""},
    {L"IDS_TRAILINGBLANKS text \t ", "s:IDS_TRAILINGBLANKS", L"text"},
    {L"IDS_QUOTEBEFOREBLANKS \"text\"  \t", "s:IDS_QUOTEBEFOREBLANKS", L"text"},
    // Escapes are resolved before trimming: only quotes keep an escaped trailing tab.
    {L"IDS_TABESCAPEATEND text\\t", "s:IDS_TABESCAPEATEND", L"text"},
    {L"IDS_QUOTEDTABESCAPE \"text\\t\"", "s:IDS_QUOTEDTABESCAPE", L"text\t"},
    {L"IDS_COMMA,value", "s:IDS_COMMA", L"value"},
    {L"IDS_TAB\tvalue", "s:IDS_TAB", L"value"},
    {L"IDS_COMMABLANKS,  \tvalue", "s:IDS_COMMABLANKS", L"value"},
    {L"IDS_BLANKCOMMA ,value", "s:IDS_BLANKCOMMA", L",value"},
    {L"IDS_INNERBLANKS  a  b", "s:IDS_INNERBLANKS", L"a  b"},
    {L"IDS_EMPTY ", "s:IDS_EMPTY", L""},
    {L"IDS_BARE", "s:IDS_BARE", L""},
    {L"IDS_TWOQUOTES \"\"", "s:IDS_TWOQUOTES", L""},
    {L"IDS_ONEQUOTE \"", "s:IDS_ONEQUOTE", L""},
    {L"x one-letter key", "s:x", L"one-letter key"},
    {L"Not_In_Key_Table kept", "s:Not_In_Key_Table", L"kept"},
};

const char* const kIgnoredKeys[] = {"s:IDS_BLANKLED", "s:IDS_TABLED", "s:IDS_SEMICOLON",
                                    "s:1IDS_DIGIT", "s:_IDS_UNDERSCORE"};
const wchar_t* const kIgnoredLines[] = {L" IDS_BLANKLED text", L"\tIDS_TABLED text",
                                        L";IDS_SEMICOLON text", L"1IDS_DIGIT text",
                                        L"_IDS_UNDERSCORE text", L"", L"; a comment"};

TEST_F(LanguageFileTest, ValuesFollowEscapeAndTrimmingRules)
{
    std::wstring text = kMarker;
    for (const ValueCase& row : kValueCases) text += std::wstring(row.line) + L"\r\n";
    LoadAnsi(text);
    for (const ValueCase& row : kValueCases) EXPECT_EQ(TextOf(table_, row.key), row.text) << row.key;
}

TEST_F(LanguageFileTest, LinesNotStartingWithALetterAreIgnored)
{
    std::wstring text = kMarker;
    for (const wchar_t* line : kIgnoredLines) text += std::wstring(line) + L"\r\n";
    text += L"IDS_LAST last";
    LoadAnsi(text);
    for (const char* key : kIgnoredKeys) EXPECT_EQ(TextOf(table_, key), L"<missing>") << key;
    EXPECT_EQ(TextOf(table_, "s:IDS_LAST"), L"last");
}

TEST_F(LanguageFileTest, KeyNamesAreCutTo49BytesAndNeedADelimiterWithin99Characters)
{
    std::wstring longName = L"K" + std::wstring(97, L'k');
    std::wstring tooLongName = L"L" + std::wstring(98, L'l');
    LoadAnsi(kMarker + longName + L" kept\r\n" + tooLongName + L" dropped\r\nIDS_NEXT next");
    EXPECT_EQ(TextOf(table_, ("s:K" + std::string(46, 'k')).c_str()), L"kept");
    EXPECT_EQ(TextOf(table_, ("s:L" + std::string(46, 'l')).c_str()), L"<missing>");
    EXPECT_EQ(TextOf(table_, "s:IDS_NEXT"), L"next");
}

TEST_F(LanguageFileTest, OnlyWhatFollowsTheMarkerIsRead)
{
    LoadAnsi(L"IDS_HEADER before\r\n:DIRECTION RTL\r\n***messages***IDS_SAMELINE x\r\n"
             L"IDS_AFTER after");
    EXPECT_EQ(TextOf(table_, "s:IDS_HEADER"), L"<missing>");
    EXPECT_EQ(TextOf(table_, "s:IDS_SAMELINE"), L"<missing>");
    EXPECT_EQ(TextOf(table_, "s:IDS_AFTER"), L"after");
    EXPECT_FALSE(table_.IsRightToLeft());
}

TEST_F(LanguageFileTest, SectionLinesSwitchThePrefix)
{
    LoadAnsi(kMarker +
             L"IDS_START start\r\n"
             L":DIALOG SETUPDLG\r\nIDOK Okay\r\n"
             L":STRINGS\r\nIDS_BACK back\r\n"
             L":MENU MAINMENU\r\nIDM_OPEN Open\r\n"
             L":DIALOG \t DONEDLG  ignored words\r\nIDOK Fine\r\n"
             L":dialog lower\r\nIDS_LOWERKEYWORD x\r\n"
             L":STRINGSX\r\nIDS_GLUEDKEYWORD y\r\n"
             L":UNKNOWN z\r\nIDS_UNKNOWNSECTION z\r\n");
    EXPECT_EQ(TextOf(table_, "s:IDS_START"), L"start");
    EXPECT_EQ(TextOf(table_, "$SETUPDLG:IDOK"), L"Okay");
    EXPECT_EQ(TextOf(table_, "s:IDS_BACK"), L"back");
    EXPECT_EQ(TextOf(table_, "@MAINMENU:IDM_OPEN"), L"Open");
    EXPECT_EQ(TextOf(table_, "$DONEDLG:IDOK"), L"Fine");
    EXPECT_EQ(TextOf(table_, "$DONEDLG:IDS_LOWERKEYWORD"), L"x");
    EXPECT_EQ(TextOf(table_, "$DONEDLG:IDS_GLUEDKEYWORD"), L"y");
    EXPECT_EQ(TextOf(table_, "$DONEDLG:IDS_UNKNOWNSECTION"), L"z");
}

struct DirectionCase {
    const wchar_t* lines;
    bool rightToLeft;
};

const DirectionCase kDirectionCases[] = {
    {L":DIRECTION RTL", true},
    {L":DIRECTION\tRTL  trailing words", true},
    {L":DIRECTION RTL\r\n:DIRECTION LTR", false},
    {L":DIRECTION rtl", false},
    {L":DIRECTION RTLX", false},
    {L":direction RTL", false},
    {L":DIRECTIONRTL", false},
    {L"IDS_X :DIRECTION RTL", false},
};

TEST_F(LanguageFileTest, DirectionLineSetsRightToLeftAndTheProcessLayout)
{
    for (const DirectionCase& row : kDirectionCases) {
        SetProcessDefaultLayout(0);
        LoadAnsi(kMarker + row.lines + L"\r\n");
        EXPECT_EQ(table_.IsRightToLeft(), row.rightToLeft) << row.lines;
        DWORD layout = 0;
        GetProcessDefaultLayout(&layout);
        EXPECT_EQ(layout == LAYOUT_RTL, row.rightToLeft) << row.lines;
    }
}

TEST_F(LanguageFileTest, AnsiAndUtf16GiveTheSameEntries)
{
    const std::wstring text = kMarker +
                              L"IDS_ACCENTS Caf\u00e9 d\u00e9j\u00e0 vu\r\n"
                              L":DIALOG SETUPDLG\r\nIDOK \" \u00dcbung \"\r\n"
                              L":STRINGS\r\nIDS_ESCAPE a\\tb";
    const char* keys[] = {"s:IDS_ACCENTS", "$SETUPDLG:IDOK", "s:IDS_ESCAPE"};
    const wchar_t* expected[] = {L"Caf\u00e9 d\u00e9j\u00e0 vu", L" \u00dcbung ", L"a\tb"};
    for (const std::string& bytes : {Ansi(text), Utf16Le(text)}) {
        LoadBytes(bytes);
        for (size_t i = 0; i < std::size(keys); ++i) EXPECT_EQ(TextOf(table_, keys[i]), expected[i]);
    }
}

TEST_F(LanguageFileTest, EveryLineEndFormEndsALineAndTheLastLineNeedsNone)
{
    for (bool wide : {false, true}) {
        std::wstring text = kMarker + L"IDS_CR one\rIDS_LF two\nIDS_CRLF three\r\nIDS_LAST four";
        LoadBytes(wide ? Utf16Le(text) : Ansi(text));
        EXPECT_EQ(TextOf(table_, "s:IDS_CR"), L"one");
        EXPECT_EQ(TextOf(table_, "s:IDS_LF"), L"two");
        EXPECT_EQ(TextOf(table_, "s:IDS_CRLF"), L"three");
        EXPECT_EQ(TextOf(table_, "s:IDS_LAST"), L"four");
    }
}

TEST_F(LanguageFileTest, NulEndsTheData)
{
    for (bool wide : {false, true}) {
        std::wstring text = kMarker + L"IDS_BEFORE a";
        text += L'\0';
        text += L"\r\nIDS_BEHIND b";
        LoadBytes(wide ? Utf16Le(text) : Ansi(text));
        EXPECT_EQ(TextOf(table_, "s:IDS_BEFORE"), L"a");
        EXPECT_EQ(TextOf(table_, "s:IDS_BEHIND"), L"<missing>");
    }
}

TEST_F(LanguageFileTest, ValueKeepsItsFirst65536Characters)
{
    LoadAnsi(kMarker + L"IDS_LONG " + std::wstring(70000, L'x') + L"\r\nIDS_NEXT next");
    EXPECT_EQ(TextOf(table_, "s:IDS_LONG"), std::wstring(65536, L'x'));
    EXPECT_EQ(TextOf(table_, "s:IDS_NEXT"), L"next");
}

TEST_F(LanguageFileTest, DataEndsAfter1048576CharactersCountedFromTheMarker)
{
    const size_t limit = 1048576;
    std::wstring text = kMarker + L"IDS_FIRST first\r\n";
    // The value of IDS_CUT starts four characters before the limit.
    text += std::wstring(limit - 12 - text.size() - 2, L';') + L"\r\n";
    text += L"IDS_CUT abcdefghijklmnop\r\nIDS_OUTSIDE out\r\n";
    for (bool wide : {false, true}) {
        std::string header(1001, 'h');
        LoadBytes(header + (wide ? Utf16Le(text) : Ansi(text)));
        EXPECT_EQ(TextOf(table_, "s:IDS_FIRST"), L"first");
        EXPECT_EQ(TextOf(table_, "s:IDS_CUT"), L"abcd");
        EXPECT_EQ(TextOf(table_, "s:IDS_OUTSIDE"), L"<missing>");
    }
}

struct MarkerCase {
    size_t offset;
    bool wide;
    bool found;
};

// Blocks of 8,192 bytes; a marker may straddle any block boundary.
const MarkerCase kMarkerCases[] = {
    {0, false, true},         {8185, false, true},      {8191, false, true},
    {16330, false, true},     {2000000, false, true},   {2100000, false, false},
    {0, true, true},          {8166, true, true},       {8171, true, true},
    {8181, true, true},       {16340, true, true},      {2000001, true, true},
    {2100000, true, false},
};

TEST_F(LanguageFileTest, MarkerIsFoundAcrossBlockBoundariesWithin256Blocks)
{
    const std::wstring text = kMarker + L"IDS_FOUND yes";
    for (const MarkerCase& row : kMarkerCases) {
        std::string header(row.offset, 'h');
        LoadBytes(header + (row.wide ? Utf16Le(text) : Ansi(text)));
        EXPECT_EQ(TextOf(table_, "s:IDS_FOUND"), row.found ? L"yes" : L"<missing>")
            << "offset " << row.offset << (row.wide ? " (16-bit)" : " (8-bit)");
    }
}

TEST_F(LanguageFileTest, MissingFileOrMarkerLeavesTheTableEmpty)
{
    table_.Load((scratch_ / L"absent.lng").c_str());
    char key[80];
    EXPECT_FALSE(table_.FindKeyForId("s", 5101, key, sizeof(key)));
    LoadAnsi(L"**messages***\r\nIDS_X x");
    EXPECT_EQ(TextOf(table_, "s:IDS_X"), L"<missing>");
    EXPECT_FALSE(table_.FindKeyForId("s", 5101, key, sizeof(key)));
    EXPECT_FALSE(table_.IsRightToLeft());
}

TEST_F(LanguageFileTest, DuplicateKeysAreKeptAndEitherTextIsFound)
{
    LoadAnsi(kMarker + L"IDS_DUP one\r\nIDS_DUP two");
    std::wstring text = TextOf(table_, "s:IDS_DUP");
    EXPECT_TRUE(text == L"one" || text == L"two") << text;
}

TEST_F(LanguageFileTest, FindTextCutsToCapacityAndLeavesTheBufferAloneWhenMissing)
{
    LoadAnsi(kMarker + L"IDS_X abcdef");
    wchar_t out[4] = L"zzz";
    EXPECT_FALSE(table_.FindText("s:IDS_Y", out, 4));
    EXPECT_STREQ(out, L"zzz");
    EXPECT_FALSE(table_.FindText("s:IDS", out, 4));
    EXPECT_TRUE(table_.FindText("s:IDS_X", out, 4));
    EXPECT_STREQ(out, L"abc");
}

TEST_F(LanguageFileTest, FindKeyForIdFindsEveryRowByItsSectionAndId)
{
    LoadAnsi(kMarker + L"IDS_X x");
    for (const LanguageKey& row : LanguageKeyTable) {
        if (row.id == 0) continue;
        std::string section = SectionOf(row.key);
        char key[80] = "";
        EXPECT_TRUE(table_.FindKeyForId(section.c_str(), row.id, key, sizeof(key))) << row.key;
        EXPECT_STREQ(key, row.key);
    }
    char key[80] = "";
    EXPECT_FALSE(table_.FindKeyForId("s", 5117, key, sizeof(key)));
    EXPECT_FALSE(table_.FindKeyForId("$DONEDLG", 5102, key, sizeof(key)));
    EXPECT_FALSE(table_.FindKeyForId("$SETUP", IDOK, key, sizeof(key)));
    EXPECT_TRUE(table_.FindKeyForId("s", 5109, key, 5));
    EXPECT_STREQ(key, "s:ID");
}

}  // namespace
}  // namespace tvx::test
