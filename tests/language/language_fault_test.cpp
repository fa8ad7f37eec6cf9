// The language file under faults: the medium failing at any byte of the file, and memory
// running out at any allocation of the load. What the user sees is each message either in
// its whole translation or in the program's own English, never a piece of a translation.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "common/errors.h"
#include "language/language_table.h"
#include "language/localized_strings.h"
#include "language_test_support.h"
#include "support/fault.h"
#include "support/scratch.h"

namespace tvx::test {
namespace {

struct Translation {
    uint32_t number;
    const char* key;
    const wchar_t* text;
};

// In file order; the last line ends with a line break, so a whole file cuts no line.
const Translation kTranslations[] = {
    {IDS_UNINSTTITLE, "s:IDS_UNINSTTITLE", L"Talvex poistaminen"},
    {IDS_UNINSTALLTVX, "s:IDS_UNINSTALLTVX", L"Poista Talvex"},
    {IDS_CONTINUEUNINSTALL, "s:IDS_CONTINUEUNINSTALL", L"Haluatko varmasti poistaa Talvexin?"},
    {IDS_CANNOTOPENLIST, "s:IDS_CANNOTOPENLIST", L"Tiedostoa %s ei voi avata"},
    {IDS_REBOOTREQUIRED, "s:IDS_REBOOTREQUIRED", L"K\u00e4ynnist\u00e4 tietokone uudelleen."},
};

// A failed read stays failed until the file is opened again, so a failure within the first
// block that the marker search reads leaves no translation at all; the comment makes the
// translations lie beyond that block.
constexpr int64_t kMarkerBlockBytes = 8192;

std::wstring FileText()
{
    std::wstring text = L"; a header the loader skips\r\n***messages***\r\n";
    text += L";" + std::wstring(8300, L'-') + L"\r\n";
    for (const Translation& t : kTranslations)
        text += std::wstring(t.key + 2, t.key + strlen(t.key)) + L" \"" + t.text + L"\"\r\n";
    return text;
}

// Where the first translation line starts: after the long comment.
size_t TranslationsStart(const std::string& bytes, const std::string& lineEnd)
{
    return bytes.find(lineEnd, 8300) + lineEnd.size();
}

class LanguageFault : public testing::Test {
protected:
    // Loads the process-wide table from bytes through a file whose reads fail at offset.
    void LoadFailingAt(const std::string& bytes, int64_t offset)
    {
        WriteFileBytes(path_, bytes);
        Errors().Reset();
        FaultyFile file;
        file.FailReadsAt(offset);
        Languages().LoadWith(file, path_.c_str());
    }

    // The translations whose line end lies before the failing offset are shown; every other
    // message is the program's own.
    void ExpectWholeLinesOnly(const std::string& bytes, const std::string& lineEnd, int64_t offset)
    {
        size_t searchFrom = TranslationsStart(bytes, lineEnd);
        for (const Translation& t : kTranslations) {
            size_t end = bytes.find(lineEnd, searchFrom);
            searchFrom = end + lineEnd.size();
            bool whole =
                offset >= kMarkerBlockBytes && static_cast<int64_t>(end + lineEnd.size()) <= offset;
            EXPECT_EQ(GetLocalizedString(t.number), whole ? std::wstring(t.text) : OwnString(t.number))
                << t.key;
        }
    }

    RegistrySandbox sandbox_;
    ScratchFolder scratch_{L"tvx-language-fault"};
    std::wstring path_ = scratch_ / L"uninstall.lng";
    LanguageStateGuard guard_;
};

TEST_F(LanguageFault, AReadFailingAtAnyByteShowsWholeTranslationsOrTheProgramsOwnTexts)
{
    struct Encoding {
        std::string bytes;
        std::string lineEnd;  // CR, in the file's own encoding
    };
    const Encoding encodings[] = {{Ansi(FileText()), "\r"}, {Utf16Le(FileText()), std::string("\r\0", 2)}};
    int cases = 0;
    for (const Encoding& encoding : encodings) {
        const int64_t size = static_cast<int64_t>(encoding.bytes.size());
        const auto translations = static_cast<int64_t>(TranslationsStart(encoding.bytes, encoding.lineEnd));
        for (int64_t offset = 0; offset < size; offset += offset < translations ? 61 : 1) {
            SCOPED_TRACE(testing::Message() << "bytes " << size << ", failing at " << offset);
            LoadFailingAt(encoding.bytes, offset);
            EXPECT_EQ(Errors().RecordedCode(), ReadFailed);
            ExpectWholeLinesOnly(encoding.bytes, encoding.lineEnd, offset);
            ++cases;
        }
    }
    PrintFaultCases(cases);
    Errors().Reset();
}

// Each allocation of the load in turn is the first to fail. A failed block for the text
// ends the load quietly; a failed array or entry ends it with OutOfMemory, which ends the
// program. Either way the table holds only whole entries and can be released.
TEST_F(LanguageFault, MemoryRunningOutAnywhereInTheLoadLeavesOnlyWholeEntries)
{
    WriteFileBytes(path_, Utf16Le(FileText()));
    int after = 0;
    for (;; ++after) {
        SCOPED_TRACE(after);
        bool raised = false;
        {
            MemoryRunsOut memory(after);
            try {
                Languages().Load(path_.c_str());
            } catch (TVX_EXIT code) {
                raised = true;
                EXPECT_EQ(code, OutOfMemory);
                EXPECT_EQ(Errors().RecordedCode(), OutOfMemory);
            }
        }
        size_t found = 0;
        for (const Translation& t : kTranslations) {
            std::wstring text = TextOf(Languages(), t.key);
            if (text == L"<missing>") continue;
            EXPECT_EQ(text, t.text);
            ++found;
        }
        Languages().Release();
        if (!raised && found == std::size(kTranslations)) break;
        ASSERT_LT(after, 100) << "the load never completed";
    }
    PrintFaultCases(after + 1);
}

}  // namespace
}  // namespace tvx::test
