#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "settings/settings_store.h"
#include "settings_fixture.h"
#include "support/scratch.h"

namespace tvx {
namespace {

using test::IniFolders;
using test::RegistrySandbox;

struct RawValue {
    DWORD type = REG_NONE;
    std::vector<BYTE> data;
};

RawValue ReadRaw(HKEY hive, const std::wstring& key, const std::wstring& value)
{
    RawValue raw;
    HKEY opened = nullptr;
    if (RegOpenKeyExW(hive, key.c_str(), 0, KEY_QUERY_VALUE, &opened) != ERROR_SUCCESS) return raw;
    raw.data.resize(4096);
    DWORD size = static_cast<DWORD>(raw.data.size());
    if (RegQueryValueExW(opened, value.c_str(), nullptr, &raw.type, raw.data.data(), &size) != ERROR_SUCCESS)
        raw.type = REG_NONE;
    raw.data.resize(raw.type == REG_NONE ? 0 : size);
    RegCloseKey(opened);
    return raw;
}

std::vector<BYTE> StringBytes(const std::wstring& text)
{
    const BYTE* start = reinterpret_cast<const BYTE*>(text.c_str());
    return std::vector<BYTE>(start, start + (text.size() + 1) * sizeof(wchar_t));
}

std::vector<BYTE> NumberBytes(DWORD number)
{
    const BYTE* start = reinterpret_cast<const BYTE*>(&number);
    return std::vector<BYTE>(start, start + sizeof number);
}

const wchar_t kAppPathsKey[] = L"\\Software\\Microsoft\\Windows\\CurrentVersion\\App Paths\\Talvex.exe";

struct KeyPathCase {
    HKEY hive;
    std::wstring key;
    std::wstring expected;
};

TEST(MakeKeyPath, PlacesRelativeKeysUnderTheProgramRoot)
{
    const KeyPathCase cases[] = {
        {HKEY_CURRENT_USER, L"", L"Software\\Talvex"},
        {HKEY_LOCAL_MACHINE, L"", L"Software\\Talvex"},
        {HKEY_CURRENT_USER, L"Setup\\Links", L"Software\\Talvex\\Setup\\Links"},
        {HKEY_LOCAL_MACHINE, kAppPathsKey, std::wstring(kAppPathsKey + 1)},
        {HKEY_CURRENT_USER, L"\\", L""},
        {HKEY_CLASSES_ROOT, L".tvx\\shell", L".tvx\\shell"},
        {HKEY_CLASSES_ROOT, L"\\x", L"\\x"},
        {HKEY_CLASSES_ROOT, L"", L""},
    };
    for (const KeyPathCase& row : cases) {
        wchar_t path[kKeyPathCapacity];
        MakeKeyPath(row.hive, row.key.c_str(), path);
        EXPECT_EQ(std::wstring(path), row.expected) << "key " << std::string(row.key.begin(), row.key.end());
    }
}

TEST(MakeKeyPath, CutsLongPathsAt511Characters)
{
    std::wstring key(600, L'k');
    wchar_t path[kKeyPathCapacity];
    MakeKeyPath(HKEY_CURRENT_USER, key.c_str(), path);
    EXPECT_EQ(std::wstring(path), L"Software\\Talvex\\" + key.substr(0, 511 - 16));
    MakeKeyPath(HKEY_CLASSES_ROOT, key.c_str(), path);
    EXPECT_EQ(std::wstring(path), key.substr(0, 511));
}

class SettingsStoreTest : public ::testing::Test {
protected:
    ~SettingsStoreTest() override { DenyRegistryWritesForTesting(nullptr, nullptr); }

    IniFolders folders_{L"tvx-store"};
    RegistrySandbox sandbox_;
    SettingsStore& store_ = Settings();
};

struct WriteCase {
    HKEY hive;
    const wchar_t* key;
    const wchar_t* value;
    std::wstring registryKey;
};

TEST_F(SettingsStoreTest, WritesReachTheExactKeyValueTypeAndData)
{
    const WriteCase cases[] = {
        {HKEY_LOCAL_MACHINE, L"", L"exe32", L"Software\\Talvex"},
        {HKEY_CURRENT_USER, L"Setup\\Links", L"Desktop", L"Software\\Talvex\\Setup\\Links"},
        {HKEY_LOCAL_MACHINE, kAppPathsKey, L"", kAppPathsKey + 1},
        {HKEY_CLASSES_ROOT, L"Talvex.tvx\\DefaultIcon", L"", L"Talvex.tvx\\DefaultIcon"},
    };
    for (const WriteCase& row : cases) {
        SCOPED_TRACE(std::string(row.registryKey.begin(), row.registryKey.end()));
        EXPECT_EQ(store_.WriteString(row.hive, row.key, row.value, L"C:\\Talvex\\Talvex.exe"), 0);
        RawValue text = ReadRaw(row.hive, row.registryKey, row.value);
        EXPECT_EQ(text.type, static_cast<DWORD>(REG_SZ));
        EXPECT_EQ(text.data, StringBytes(L"C:\\Talvex\\Talvex.exe"));

        EXPECT_EQ(store_.WriteNumber(row.hive, row.key, L"Number", 0xFFFFFFFEu), 0);
        RawValue number = ReadRaw(row.hive, row.registryKey, L"Number");
        EXPECT_EQ(number.type, static_cast<DWORD>(REG_DWORD));
        EXPECT_EQ(number.data, NumberBytes(0xFFFFFFFEu));
        EXPECT_EQ(store_.ReadNumber(row.hive, row.key, L"Number", 7), 0xFFFFFFFEu);
        EXPECT_TRUE(store_.KeyExists(row.hive, row.key));
    }
    EXPECT_FALSE(test::RegKeyExists(HKEY_LOCAL_MACHINE, L"Software\\Talvex\\Software"));
}

TEST_F(SettingsStoreTest, MissingKeysAndValuesGiveTheDefaults)
{
    wchar_t buffer[16];
    EXPECT_FALSE(store_.ReadString(HKEY_CURRENT_USER, L"Missing", L"Name", buffer, L"default", 16));
    EXPECT_STREQ(buffer, L"default");
    EXPECT_EQ(store_.ReadNumber(HKEY_CURRENT_USER, L"Missing", L"Name", 42), 42u);
    EXPECT_FALSE(store_.KeyExists(HKEY_CURRENT_USER, L"Missing"));

    store_.WriteNumber(HKEY_CURRENT_USER, L"Present", L"Other", 1);
    EXPECT_FALSE(store_.ReadString(HKEY_CURRENT_USER, L"Present", L"Name", buffer, L"default", 16));
    EXPECT_STREQ(buffer, L"default");
    EXPECT_EQ(store_.ReadNumber(HKEY_CURRENT_USER, L"Present", L"Name", 42), 42u);
}

TEST_F(SettingsStoreTest, ReadStringTakesAValueThatFitsWithItsTerminatorOnly)
{
    const std::wstring fits(79, L'a');
    const std::wstring tooLong(80, L'b');
    store_.WriteString(HKEY_CURRENT_USER, L"Text", L"Fits", fits.c_str());
    store_.WriteString(HKEY_CURRENT_USER, L"Text", L"TooLong", tooLong.c_str());
    wchar_t buffer[81];
    buffer[80] = L'#';
    EXPECT_TRUE(store_.ReadString(HKEY_CURRENT_USER, L"Text", L"Fits", buffer, L"default", 80));
    EXPECT_EQ(std::wstring(buffer), fits);
    EXPECT_FALSE(store_.ReadString(HKEY_CURRENT_USER, L"Text", L"TooLong", buffer, L"default", 80));
    EXPECT_STREQ(buffer, L"default");
    EXPECT_EQ(buffer[80], L'#');
}

TEST_F(SettingsStoreTest, ReadStringTerminatesAValueStoredWithoutTerminator)
{
    test::RegWriteNumber(HKEY_CURRENT_USER, L"Software\\Talvex\\Raw", L"Four", 0x00620061);  // "ab", no NUL
    wchar_t buffer[8];
    EXPECT_TRUE(store_.ReadString(HKEY_CURRENT_USER, L"Raw", L"Four", buffer, L"default", 8));
    EXPECT_STREQ(buffer, L"ab");
}

TEST_F(SettingsStoreTest, ReadNumberOfALongStringGivesTheDefault)
{
    store_.WriteString(HKEY_CURRENT_USER, L"Mixed", L"Long", L"12345");
    store_.WriteString(HKEY_CURRENT_USER, L"Mixed", L"Short", L"1");  // 4 bytes with its NUL
    EXPECT_EQ(store_.ReadNumber(HKEY_CURRENT_USER, L"Mixed", L"Long", 9), 9u);
    EXPECT_EQ(store_.ReadNumber(HKEY_CURRENT_USER, L"Mixed", L"Short", 9), static_cast<DWORD>(L'1'));
}

TEST_F(SettingsStoreTest, DeleteValueAndDeleteKeyRemoveOnlyWhatTheyName)
{
    store_.WriteNumber(HKEY_CLASSES_ROOT, L".tvx", L"Keep", 1);
    store_.WriteNumber(HKEY_CLASSES_ROOT, L".tvx", L"Drop", 1);
    store_.WriteNumber(HKEY_CLASSES_ROOT, L".tvx\\Sub", L"", 1);
    store_.DeleteValue(HKEY_CLASSES_ROOT, L".tvx", L"Drop");
    EXPECT_EQ(ReadRaw(HKEY_CLASSES_ROOT, L".tvx", L"Drop").type, static_cast<DWORD>(REG_NONE));
    EXPECT_EQ(ReadRaw(HKEY_CLASSES_ROOT, L".tvx", L"Keep").type, static_cast<DWORD>(REG_DWORD));

    store_.DeleteKey(HKEY_CLASSES_ROOT, L".tvx");  // has a subkey: stays
    EXPECT_TRUE(test::RegKeyExists(HKEY_CLASSES_ROOT, L".tvx"));
    store_.DeleteKey(HKEY_CLASSES_ROOT, L".tvx\\Sub");
    EXPECT_FALSE(test::RegKeyExists(HKEY_CLASSES_ROOT, L".tvx\\Sub"));
    store_.DeleteKeyInView(HKEY_CLASSES_ROOT, L".tvx");
    EXPECT_FALSE(test::RegKeyExists(HKEY_CLASSES_ROOT, L".tvx"));
}

TEST_F(SettingsStoreTest, DeleteKeyTreeRemovesEveryLevel)
{
    for (int a = 0; a < 5; ++a)
        for (int b = 0; b < 4; ++b)
            for (int c = 0; c < 3; ++c) {
                std::wstring key = L"Tree\\A" + std::to_wstring(a) + L"\\B" + std::to_wstring(b) + L"\\C" +
                                   std::to_wstring(c);
                store_.WriteNumber(HKEY_CURRENT_USER, key.c_str(), L"V", 1);
            }
    store_.WriteNumber(HKEY_CURRENT_USER, L"Sibling", L"V", 1);
    store_.DeleteKeyTree(HKEY_CURRENT_USER, L"Tree");
    EXPECT_FALSE(test::RegKeyExists(HKEY_CURRENT_USER, L"Software\\Talvex\\Tree"));
    EXPECT_TRUE(test::RegKeyExists(HKEY_CURRENT_USER, L"Software\\Talvex\\Sibling"));

    store_.DeleteKeyTree(HKEY_CURRENT_USER, L"");
    EXPECT_FALSE(test::RegKeyExists(HKEY_CURRENT_USER, L"Software\\Talvex"));
    EXPECT_TRUE(test::RegKeyExists(HKEY_CURRENT_USER, L"Software"));
}

TEST_F(SettingsStoreTest, DeleteKeyTreeNeverDeletesAHiveRoot)
{
    store_.WriteNumber(HKEY_CLASSES_ROOT, L".tvx", L"", 1);
    store_.WriteNumber(HKEY_CLASSES_ROOT, L"Talvex.tvx\\shell", L"", 1);
    store_.DeleteKeyTree(HKEY_CLASSES_ROOT, L"");
    EXPECT_TRUE(test::RegKeyExists(HKEY_CLASSES_ROOT, L".tvx"));
    EXPECT_TRUE(test::RegKeyExists(HKEY_CLASSES_ROOT, L"Talvex.tvx\\shell"));
}

TEST_F(SettingsStoreTest, DeleteKeyTreeEndsOnASubkeyItCannotName)
{
    const std::wstring longName(210, L'z');
    store_.WriteNumber(HKEY_CURRENT_USER, (L"Stuck\\" + longName).c_str(), L"V", 1);
    store_.WriteNumber(HKEY_CURRENT_USER, L"Stuck\\Short", L"V", 1);
    ASSERT_TRUE(test::RegKeyExists(HKEY_CURRENT_USER, L"Software\\Talvex\\Stuck\\" + longName));
    store_.DeleteKeyTree(HKEY_CURRENT_USER, L"Stuck");
    EXPECT_TRUE(test::RegKeyExists(HKEY_CURRENT_USER, L"Software\\Talvex\\Stuck\\" + longName));
}

TEST_F(SettingsStoreTest, DeleteKeyTreeEndsWhenAChildPathDoesNotFit)
{
    // 511 characters: the child's path would be cut back to this very key.
    const std::wstring key = std::wstring(255, L'p') + L"\\" + std::wstring(255, L'q');
    const std::wstring child = key + L"\\c";
    test::RegWriteNumber(HKEY_CLASSES_ROOT, child, L"V", 1);
    ASSERT_TRUE(test::RegKeyExists(HKEY_CLASSES_ROOT, child));
    store_.DeleteKeyTree(HKEY_CLASSES_ROOT, key.c_str());
    EXPECT_TRUE(test::RegKeyExists(HKEY_CLASSES_ROOT, child));
}

TEST_F(SettingsStoreTest, DeniedWritesFailOnlyUnderTheirPrefixAndHive)
{
    DenyRegistryWritesForTesting(HKEY_LOCAL_MACHINE, L"software\\talvex");
    EXPECT_EQ(store_.WriteString(HKEY_LOCAL_MACHINE, L"", L"exe32", L"x"), ERROR_ACCESS_DENIED);
    EXPECT_EQ(store_.WriteNumber(HKEY_LOCAL_MACHINE, L"Setup", L"n", 1), ERROR_ACCESS_DENIED);
    EXPECT_FALSE(test::RegKeyExists(HKEY_LOCAL_MACHINE, L"Software\\Talvex"));
    EXPECT_EQ(store_.WriteNumber(HKEY_LOCAL_MACHINE, L"\\Software\\Other", L"n", 1), 0);
    EXPECT_EQ(store_.WriteNumber(HKEY_CURRENT_USER, L"", L"n", 1), 0);

    DenyRegistryWritesForTesting(nullptr, nullptr);
    EXPECT_EQ(store_.WriteString(HKEY_LOCAL_MACHINE, L"", L"exe32", L"x"), 0);
    EXPECT_TRUE(test::RegKeyExists(HKEY_LOCAL_MACHINE, L"Software\\Talvex"));
}

}  // namespace
}  // namespace tvx
