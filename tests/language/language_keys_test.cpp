#include <gtest/gtest.h>
#include <cstring>
#include <set>
#include <string>
#include "language/language_table.h"
#include "language_test_support.h"

namespace tvx::test {
namespace {

TEST(LanguageKeyTableTest, StringKeysComeFirstAndNameTheProgramsStrings)
{
    for (uint32_t i = 0; i < 27; ++i) {
        const LanguageKey& row = LanguageKeyTable[i];
        EXPECT_EQ(SectionOf(row.key), "s") << row.key;
        EXPECT_FALSE(OwnString(row.id).empty()) << row.key;
    }
}

// Each dialog's rows start with SIZE and CAPTION (id 0) and name distinct controls; every
// key fits the 49 bytes a language-file key keeps, or it could never be found.
TEST(LanguageKeyTableTest, DialogRowsAreWellFormed)
{
    const std::pair<std::string, uint32_t> dialogs[] = {
        {"$SETUPDLG", 32}, {"$DONEDLG", 10}, {"$SETUPCONTEXTITEMS", 29}};
    uint32_t index = 27;
    for (const auto& [section, count] : dialogs) {
        EXPECT_EQ(std::string(LanguageKeyTable[index].key), section + ":SIZE");
        EXPECT_EQ(std::string(LanguageKeyTable[index + 1].key), section + ":CAPTION");
        std::set<uint32_t> ids;
        for (uint32_t i = index; i < index + count; ++i) {
            const LanguageKey& row = LanguageKeyTable[i];
            EXPECT_EQ(SectionOf(row.key), section) << row.key;
            EXPECT_EQ(row.id == 0, i < index + 2) << row.key;
            if (row.id != 0) {
                EXPECT_TRUE(ids.insert(row.id).second) << row.key;
            }
        }
        index += count;
    }
    EXPECT_EQ(index, kLanguageKeyCount);
    std::set<std::string> keys;
    for (const LanguageKey& row : LanguageKeyTable) {
        EXPECT_TRUE(keys.insert(row.key).second) << row.key;
        EXPECT_LE(strlen(row.key), 49u) << row.key;
    }
}

}  // namespace
}  // namespace tvx::test
