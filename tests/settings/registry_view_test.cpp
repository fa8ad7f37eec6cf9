// The registry views cannot be sandboxed (a 64-bit-view create bypasses a predefined-key
// override), so these tests work in the prefix's own HKLM\Software, which Wine keeps apart
// for the two views of a 32-bit process, below a key of their own that they wipe first and last.
#include <gtest/gtest.h>

#include <string>

#include "settings/settings_store.h"
#include "settings_fixture.h"
#include "support/scratch.h"

namespace tvx {
namespace {

constexpr REGSAM kView64 = KEY_WOW64_64KEY;
constexpr REGSAM kView32 = KEY_WOW64_32KEY;

class RegistryViewTest : public ::testing::Test {
protected:
    RegistryViewTest() { Wipe(); }
    ~RegistryViewTest() override
    {
        Wipe();
        // Only when empty: another test run may be using its own key below it.
        RegDeleteKeyExW(HKEY_LOCAL_MACHINE, kTestRoot, kView64, 0);
        RegDeleteKeyExW(HKEY_LOCAL_MACHINE, kTestRoot, kView32, 0);
    }
    void Wipe()
    {
        test::RegDeleteTree(HKEY_LOCAL_MACHINE, key_, kView64);
        test::RegDeleteTree(HKEY_LOCAL_MACHINE, key_, kView32);
    }
    bool ExistsIn(REGSAM view, const std::wstring& key) { return test::RegKeyExists(HKEY_LOCAL_MACHINE, key, view); }
    std::wstring ValueIn(REGSAM view, const wchar_t* value)
    {
        std::wstring text = L"<none>";
        test::RegReadValue(HKEY_LOCAL_MACHINE, key_, value, &text, nullptr, view);
        return text;
    }

    static constexpr wchar_t kTestRoot[] = L"Software\\TvxViewTest";
    test::IniFolders folders_{L"tvx-views"};
    const std::wstring key_ = std::wstring(kTestRoot) + L"\\" + std::to_wstring(GetCurrentProcessId());
    const std::wstring storeKey_ = L"\\" + key_;
    SettingsStore& store_ = Settings();
};

TEST_F(RegistryViewTest, ViewBitsTakeReadsAndWritesToThe64BitView)
{
    store_.SetRegistryView(kView64);
    EXPECT_EQ(store_.WriteString(HKEY_LOCAL_MACHINE, storeKey_.c_str(), L"Text", L"sixty-four"), 0);
    EXPECT_EQ(store_.WriteNumber(HKEY_LOCAL_MACHINE, storeKey_.c_str(), L"Number", 64), 0);
    EXPECT_EQ(ValueIn(kView64, L"Text"), L"sixty-four");
    EXPECT_FALSE(ExistsIn(kView32, key_));

    wchar_t buffer[32];
    EXPECT_TRUE(store_.ReadString(HKEY_LOCAL_MACHINE, storeKey_.c_str(), L"Text", buffer, L"", 32));
    EXPECT_STREQ(buffer, L"sixty-four");
    EXPECT_EQ(store_.ReadNumber(HKEY_LOCAL_MACHINE, storeKey_.c_str(), L"Number", 0), 64u);
    EXPECT_FALSE(store_.KeyExists(HKEY_LOCAL_MACHINE, storeKey_.c_str()));  // key tests: default view

    store_.SetRegistryView(0);
    EXPECT_FALSE(store_.ReadString(HKEY_LOCAL_MACHINE, storeKey_.c_str(), L"Text", buffer, L"", 32));
    EXPECT_EQ(store_.ReadNumber(HKEY_LOCAL_MACHINE, storeKey_.c_str(), L"Number", 5), 5u);
}

TEST_F(RegistryViewTest, PlainDeletionsStayInTheDefaultViewAndDeleteKeyInViewDoesNot)
{
    test::RegWriteString(HKEY_LOCAL_MACHINE, key_, L"Value", L"64", kView64);
    test::RegWriteString(HKEY_LOCAL_MACHINE, key_, L"Value", L"32", kView32);

    store_.SetRegistryView(kView64);
    store_.DeleteValue(HKEY_LOCAL_MACHINE, storeKey_.c_str(), L"Value");
    EXPECT_EQ(ValueIn(kView32, L"Value"), L"<none>");
    EXPECT_EQ(ValueIn(kView64, L"Value"), L"64");

    store_.DeleteKey(HKEY_LOCAL_MACHINE, storeKey_.c_str());
    EXPECT_FALSE(ExistsIn(kView32, key_));
    EXPECT_TRUE(ExistsIn(kView64, key_));

    test::RegWriteString(HKEY_LOCAL_MACHINE, key_, L"Value", L"32", kView32);
    store_.DeleteKeyInView(HKEY_LOCAL_MACHINE, storeKey_.c_str());
    EXPECT_FALSE(ExistsIn(kView64, key_));
    EXPECT_TRUE(ExistsIn(kView32, key_));

    store_.SetRegistryView(0);
    store_.DeleteKeyInView(HKEY_LOCAL_MACHINE, storeKey_.c_str());
    EXPECT_FALSE(ExistsIn(kView32, key_));
}

}  // namespace
}  // namespace tvx
