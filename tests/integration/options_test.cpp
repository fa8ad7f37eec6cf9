#include <gtest/gtest.h>

#include <algorithm>
#include <cstddef>
#include <cstring>
#include <string>
#include <vector>

#include "integration/integration_options.h"
#include "integration_fixture.h"
#include "settings/settings_store.h"
#include "support/scratch.h"

namespace tvx {
namespace {

std::vector<std::wstring> SplitGroup(const wchar_t* group, size_t capacity = kExtensionCapacity)
{
    std::vector<std::wstring> parts;
    std::vector<wchar_t> extension(capacity + 1, L'#');
    while ((group = NextExtension(group, extension.data(), capacity)) != nullptr) parts.push_back(extension.data());
    return parts;
}

TEST(NextExtension, SplitsAGroupAtEveryDotAfterTheFirstCharacter)
{
    struct Case {
        const wchar_t* group;
        std::vector<std::wstring> parts;
    };
    const Case cases[] = {
        {L".tvx", {L".tvx"}},
        {L".lz.tlz", {L".lz", L".tlz"}},
        {L".uue.xxe.uu", {L".uue", L".xxe", L".uu"}},
        {L".bz2.tbz2.bz.tbz", {L".bz2", L".tbz2", L".bz", L".tbz"}},
        {L".", {L"."}},
        {L"", {}},
    };
    for (const Case& c : cases) EXPECT_EQ(SplitGroup(c.group), c.parts) << c.group;
}

TEST(NextExtension, CutsAnOverlongExtensionButStillMovesPastIt)
{
    std::wstring longOne = L"." + std::wstring(60, L'a');
    std::vector<std::wstring> parts = SplitGroup((longOne + L".b").c_str());
    ASSERT_EQ(parts.size(), 2u);
    EXPECT_EQ(parts[0], longOne.substr(0, kExtensionCapacity - 1));
    EXPECT_EQ(parts[1], L".b");
    EXPECT_EQ(SplitGroup(L".abc.de", 3), (std::vector<std::wstring>{L".a", L".d"}));
}

class OptionsTest : public ::testing::Test {
protected:
    void HoldClass(const wchar_t* extension, const wchar_t* type) { test::RegWriteString(HKEY_CLASSES_ROOT, extension, L"", type); }
    void Store(const std::wstring& key, const wchar_t* value, DWORD number)
    {
        test::RegWriteNumber(HKEY_CURRENT_USER, L"Software\\Talvex\\" + key, value, number);
    }
    IntegrationOptions Load()
    {
        IntegrationOptions options;
        std::memset(&options, 0x7F, sizeof options);
        LoadIntegrationOptions(options);
        return options;
    }

    test::ProgramFolder program_{L"tvx-options", {}};
    test::RegistrySandbox sandbox_;
};

TEST_F(OptionsTest, NothingStoredGivesTheFirstSetupChoices)
{
    HoldClass(L".iso", L"DiscBurner.iso");
    IntegrationOptions options = Load();
    for (size_t row = 0; row < kArchiveTypeCount; ++row)
        EXPECT_EQ(options.associate[row], row == kJarRow || row == kIsoRow ? 0 : 1) << ArchiveTypeTable[row].primary;
    EXPECT_EQ(options.desktop, 0);
    EXPECT_EQ(options.startMenu, 0);
    EXPECT_EQ(options.programs, 1);
    EXPECT_EQ(options.shellExt, 1);
    EXPECT_EQ(options.cascadedMenu, 0);
    EXPECT_EQ(options.menuIcons, 1);
    for (size_t slot = kArchiveTypeCount; slot < kAssociateSlots; ++slot) EXPECT_EQ(options.associate[slot], 0x7F);
}

TEST_F(OptionsTest, JarLoadsOnOnlyWhileTheProgramHoldsIt)
{
    EXPECT_EQ(Load().associate[kJarRow], 0) << "nobody holds .jar";
    HoldClass(L".jar", L"JavaRuntime.jar");
    EXPECT_EQ(Load().associate[kJarRow], 0) << "another program holds .jar";
    HoldClass(L".jar", L"talvex");
    EXPECT_EQ(Load().associate[kJarRow], 1) << "the program holds .jar, any case";
    Store(L"Setup\\.jar", L"Set", 0);
    EXPECT_EQ(Load().associate[kJarRow], 0) << "held but stored off";
}

TEST_F(OptionsTest, IsoLoadsOffWhileAnotherProgramHoldsItElseAsStored)
{
    EXPECT_EQ(Load().associate[kIsoRow], 1);
    Store(L"Setup\\.iso", L"Set", 0);
    EXPECT_EQ(Load().associate[kIsoRow], 0) << "stored off stays off although nobody holds it";
    Store(L"Setup\\.iso", L"Set", 1);
    HoldClass(L".iso", L"DiscBurner.iso");
    EXPECT_EQ(Load().associate[kIsoRow], 0);
    HoldClass(L".iso", L"Talvex.ZIP");
    EXPECT_EQ(Load().associate[kIsoRow], 1);
}

TEST_F(OptionsTest, SavedRecordLoadsBackAndSpareSlotsNeverReachTheStore)
{
    IntegrationOptions saved{};
    for (size_t row = 0; row < kArchiveTypeCount; ++row) saved.associate[row] = row % 3 == 0;
    saved.associate[kJarRow] = 0;
    saved.associate[17] = saved.associate[18] = saved.associate[19] = 1;
    saved.desktop = 1;
    saved.startMenu = 1;
    saved.programs = 0;
    saved.shellExt = 0;
    saved.cascadedMenu = 1;
    saved.menuIcons = 0;
    SaveIntegrationOptions(saved);

    IntegrationOptions loaded = Load();
    EXPECT_EQ(std::memcmp(&loaded, &saved, offsetof(IntegrationOptions, associate) + kArchiveTypeCount), 0);
    EXPECT_EQ(std::memcmp(&loaded.desktop, &saved.desktop, 6), 0);

    std::vector<std::wstring> stored = test::DumpRegistry(HKEY_CURRENT_USER, L"Software\\Talvex");
    EXPECT_EQ(stored.size(), 2u + 17u * 2u + 6u) << "Setup, Setup\\Links, 17 type keys with Set, six flags";
    EXPECT_NE(std::find(stored.begin(), stored.end(), L"Setup\\.001|Set=#0"), stored.end());
    EXPECT_NE(std::find(stored.begin(), stored.end(), L"Setup\\.zipx|Set=#1"), stored.end());
    EXPECT_NE(std::find(stored.begin(), stored.end(), L"Setup\\Links|Desktop=#1"), stored.end());
    EXPECT_NE(std::find(stored.begin(), stored.end(), L"Setup|MenuIcons=#0"), stored.end());
}

TEST_F(OptionsTest, OwnAssociationIsTheArchiveTypesButNotTheRecoveryVolumes)
{
    struct Case {
        const wchar_t* holder;
        bool own;
    };
    const Case cases[] = {{L"Talvex", true},     {L"TALVEX.zip", true}, {L"Talvex.REV", false},
                          {L"Talvex2", false},   {L"", false},          {L"CompressedFolder", false}};
    for (const Case& c : cases) {
        HoldClass(L".cab", c.holder);
        EXPECT_EQ(IsOwnAssociation(L".cab"), c.own) << c.holder;
    }
    EXPECT_FALSE(IsOwnAssociation(L".nothing"));
}

}  // namespace
}  // namespace tvx
