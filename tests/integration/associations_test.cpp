#include <gtest/gtest.h>

#include <cstdint>
#include <cwchar>
#include <string>
#include <vector>

#include "integration/associations.h"
#include "integration/new_templates.h"
#include "integration_fixture.h"
#include "support/scratch.h"

namespace tvx {
namespace {

constexpr bool kTake = true;
constexpr bool kRelease = false;

class AssociationsTest : public ::testing::Test {
protected:
    static std::wstring ClassValue(const std::wstring& key, const wchar_t* value = L"")
    {
        std::wstring text = L"<none>";
        test::RegReadValue(HKEY_CLASSES_ROOT, key, value, &text);
        return text;
    }
    static std::wstring Saved(const std::wstring& extension, const wchar_t* value)
    {
        std::wstring text = L"<none>";
        DWORD number = 0;
        if (test::RegReadValue(HKEY_CURRENT_USER, L"Software\\Talvex\\Setup\\" + extension, value, &text, &number) ==
            REG_DWORD)
            return L"#" + std::to_wstring(number);
        return text;
    }
    static void Hold(const std::wstring& key, const wchar_t* value, const wchar_t* text)
    {
        test::RegWriteString(HKEY_CLASSES_ROOT, key, value, text);
    }
    static std::vector<std::wstring> Dump(const std::wstring& key) { return test::DumpRegistry(HKEY_CLASSES_ROOT, key); }
    // The extension's default value and everything below its key.
    static std::vector<std::wstring> Snapshot(const std::wstring& extension)
    {
        std::vector<std::wstring> lines = Dump(extension);
        lines.insert(lines.begin(), L"@=" + ClassValue(extension));
        return lines;
    }
    static std::wstring Volume(int number)
    {
        wchar_t name[8];
        swprintf(name, 8, L".t%02d", number);
        return name;
    }
    static bool Exists(const std::wstring& key) { return test::RegKeyExists(HKEY_CLASSES_ROOT, key); }
    static void Tvx(bool associate, bool wantNew = true) { AssociateExtension(L".tvx", associate, wantNew, true, false); }
    static void Zip(bool associate, bool wantNew = true) { AssociateExtension(L".zip", associate, wantNew, false, true); }
    static void Plain(const wchar_t* extension, bool associate) { AssociateExtension(extension, associate, true, false, false); }

    test::ProgramFolder program_{L"tvx-assoc", {L"Talvex.exe"}};
    test::RegistrySandbox sandbox_;
};

TEST_F(AssociationsTest, TakenExtensionGoesBackToTheProgramThatHeldIt)
{
    Hold(L".cab", L"", L"CABFolder");
    Hold(L".cab\\OpenWithProgids", L"CABFolder", L"");
    std::vector<std::wstring> before = Snapshot(L".cab");

    Plain(L".cab", kTake);
    EXPECT_EQ(ClassValue(L".cab"), L"Talvex");
    EXPECT_EQ(Saved(L".cab", L"Exist"), L"#1");
    EXPECT_EQ(Saved(L".cab", L"Type"), L"CABFolder");
    EXPECT_EQ(Saved(L".cab", L"ShellNew"), L"");
    EXPECT_FALSE(Exists(L".cab\\ShellNew")) << "only .tvx and .zip get a New entry";

    Plain(L".cab", kRelease);
    std::vector<std::wstring> after = Snapshot(L".cab");
    EXPECT_EQ(after, before) << test::DescribeChange(before, after).c_str();
}

TEST_F(AssociationsTest, FormerNewEntryComesBackAsItWas)
{
    struct Case {
        const wchar_t* name;
        const wchar_t* fileName;  // nullptr: no such value
        const wchar_t* nullFile;
        const wchar_t* savedShellNew;
        bool nullFileComesBack;  // the saved record holds one of the two; the file name wins
    };
    const Case cases[] = {
        {L"a template file", L"C:\\Other\\empty.arc", nullptr, L"C:\\Other\\empty.arc", false},
        {L"an empty file", nullptr, L"", L"*", true},
        {L"a template file and an empty file", L"C:\\Other\\new.arc", L"", L"C:\\Other\\new.arc", false},
    };
    for (const wchar_t* extension : {L".tvx", L".zip"}) {
        for (const Case& c : cases) {
            SCOPED_TRACE(std::wstring(extension) + L" with " + c.name);
            test::RegDeleteTree(HKEY_CLASSES_ROOT, extension);
            test::RegDeleteTree(HKEY_CURRENT_USER, L"Software\\Talvex");
            std::wstring shellNew = std::wstring(extension) + L"\\ShellNew";
            Hold(extension, L"", L"OtherArchiver.File");
            if (c.fileName != nullptr) Hold(shellNew, L"FileName", c.fileName);
            if (c.nullFile != nullptr) Hold(shellNew, L"NullFile", c.nullFile);
            std::vector<std::wstring> before = Snapshot(extension);
            bool isTvx = extension[1] == L't';

            AssociateExtension(extension, kTake, true, isTvx, !isTvx);
            EXPECT_EQ(Saved(extension, L"ShellNew"), c.savedShellNew);
            EXPECT_EQ(ClassValue(shellNew, L"FileName"), program_.File(isTvx ? L"tvxnew.dat" : L"zipnew.dat"));
            EXPECT_EQ(ClassValue(shellNew, L"NullFile"), L"<none>") << "the former entry is replaced whole";

            AssociateExtension(extension, kRelease, true, isTvx, !isTvx);
            std::vector<std::wstring> after = Snapshot(extension);
            if (c.nullFile != nullptr && !c.nullFileComesBack) std::erase(before, L"ShellNew|NullFile=");
            EXPECT_EQ(after, before) << test::DescribeChange(before, after).c_str();
        }
    }
}

TEST_F(AssociationsTest, SecondSetupNeverOverwritesTheSavedHandler)
{
    Hold(L".zip", L"", L"CompressedFolder");
    Hold(L".zip\\ShellNew", L"NullFile", L"");
    Zip(kTake);
    Zip(kTake);
    Zip(kTake, false);
    Zip(kTake);
    EXPECT_EQ(Saved(L".zip", L"Type"), L"CompressedFolder");
    EXPECT_EQ(Saved(L".zip", L"ShellNew"), L"*");
    EXPECT_EQ(Saved(L".zip", L"Exist"), L"#1");
    Zip(kRelease);
    EXPECT_EQ(ClassValue(L".zip"), L"CompressedFolder");
    EXPECT_EQ(ClassValue(L".zip\\ShellNew", L"NullFile"), L"");
    EXPECT_EQ(ClassValue(L".zip\\ShellNew", L"FileName"), L"<none>");
}

TEST_F(AssociationsTest, SavedTypeNamingTheProgramComesBackEmpty)
{
    for (const wchar_t* savedType : {L"Talvex", L"TALVEX.ZIP", L"talvex.zip"}) {
        SCOPED_TRACE(savedType);
        Hold(L".gz", L"", L"Talvex");
        test::RegWriteNumber(HKEY_CURRENT_USER, L"Software\\Talvex\\Setup\\.gz", L"Exist", 1);
        test::RegWriteString(HKEY_CURRENT_USER, L"Software\\Talvex\\Setup\\.gz", L"Type", savedType);
        Plain(L".gz", kRelease);
        EXPECT_TRUE(Exists(L".gz"));
        EXPECT_EQ(ClassValue(L".gz"), L"");
    }
}

TEST_F(AssociationsTest, ExtensionTheProgramDoesNotHoldIsNeverTouchedOnRelease)
{
    Hold(L".tvx", L"", L"Talvex.REV");
    Hold(L".tvx\\ShellNew", L"FileName", L"C:\\Other\\x.tvx");
    Hold(L".t00", L"", L"Talvex");
    Hold(L".arj", L"", L"OtherArj");
    test::RegWriteNumber(HKEY_CURRENT_USER, L"Software\\Talvex\\Setup\\.tvx", L"Exist", 0);
    test::RegWriteString(HKEY_CURRENT_USER, L"Software\\Talvex\\Setup\\.arj", L"Type", L"Older");
    std::vector<std::wstring> before = Dump(L"");

    Tvx(kRelease);
    Plain(L".arj", kRelease);
    Plain(L".lha", kRelease);
    std::vector<std::wstring> after = Dump(L"");
    EXPECT_EQ(after, before) << test::DescribeChange(before, after).c_str();
}

TEST_F(AssociationsTest, ExtensionThatDidNotExistIsRemovedWithTheProgramsNewEntry)
{
    Zip(kTake);
    Plain(L".lzh", kTake);
    EXPECT_EQ(Saved(L".zip", L"Exist"), L"#0");
    EXPECT_EQ(ClassValue(L".zip"), L"Talvex.ZIP");
    EXPECT_TRUE(Exists(L".zip\\ShellNew"));
    Zip(kRelease);
    Plain(L".lzh", kRelease);
    EXPECT_FALSE(Exists(L".zip"));
    EXPECT_FALSE(Exists(L".lzh"));
}

TEST_F(AssociationsTest, ExtensionThatDidNotExistKeepsItsKeyWhileOthersHaveSubkeysThere)
{
    Plain(L".7z", kTake);
    Hold(L".7z\\OpenWithProgids", L"Talvex", L"");
    Plain(L".7z", kRelease);
    EXPECT_TRUE(Exists(L".7z\\OpenWithProgids"));
    EXPECT_EQ(ClassValue(L".7z"), L"");
}

TEST_F(AssociationsTest, VolumeKeysTheProgramHoldsFollowTvxAndOthersStay)
{
    Hold(L".tvx", L"", L"OldTvx.File");
    Hold(L".t50", L"", L"Other.Volume");
    Tvx(kTake);
    for (int n = 0; n < 100; ++n)
        EXPECT_EQ(ClassValue(Volume(n)), n < 30 ? L"Talvex" : n == 50 ? L"Other.Volume" : L"<none>") << n;
    Hold(L".t77", L"", L"Talvex");  // as an older setup left it

    Tvx(kRelease);
    for (int n = 0; n < 100; ++n) {
        const wchar_t* expected = n < 30 || n == 77 ? L"OldTvx.File" : n == 50 ? L"Other.Volume" : L"<none>";
        EXPECT_EQ(ClassValue(Volume(n)), expected) << n;
    }
}

TEST_F(AssociationsTest, VolumeKeysGoWhenTvxHadNoFormerType)
{
    Hold(L".t50", L"", L"Other.Volume");
    Tvx(kTake);
    Hold(L".t99", L"", L"talvex");
    Tvx(kRelease);
    std::vector<std::wstring> left = Dump(L"");
    EXPECT_EQ(left, (std::vector<std::wstring>{L".t50", L".t50|@=Other.Volume"}));
}

TEST_F(AssociationsTest, TemplatesHoldTheEmptyArchives)
{
    Tvx(kTake);
    Zip(kTake);
    std::string tvx = test::ReadFileBytes(program_.File(L"tvxnew.dat"));
    std::string zip = test::ReadFileBytes(program_.File(L"zipnew.dat"));
    ASSERT_EQ(tvx.size(), kTvxTemplateSize);
    EXPECT_EQ(tvx.substr(0, 4), std::string("Tvx\x1A"));
    // The last four bytes are the CRC-32 of the rest, as the archiver checks it.
    uint32_t crc = 0xFFFFFFFF;
    for (size_t i = 0; i < 20; ++i) {
        crc ^= static_cast<uint8_t>(tvx[i]);
        for (int bit = 0; bit < 8; ++bit) crc = (crc >> 1) ^ (0xEDB88320u & (0u - (crc & 1)));
    }
    crc = ~crc;
    EXPECT_EQ(tvx.substr(20), std::string({char(crc), char(crc >> 8), char(crc >> 16), char(crc >> 24)}));
    EXPECT_EQ(zip, std::string("PK\x05\x06", 4) + std::string(18, '\0'));
}

TEST_F(AssociationsTest, TemplateOfTheRightSizeStaysAndAnyOtherIsRewritten)
{
    std::string userTvx(kTvxTemplateSize, 'u');
    test::WriteFileBytes(program_.File(L"tvxnew.dat"), userTvx);
    test::WriteFileBytes(program_.File(L"zipnew.dat"), std::string(kZipTemplateSize + 1, 'u'));
    Tvx(kTake);
    Zip(kTake);
    EXPECT_EQ(test::ReadFileBytes(program_.File(L"tvxnew.dat")), userTvx);
    EXPECT_EQ(test::ReadFileBytes(program_.File(L"zipnew.dat")).substr(0, 2), "PK");
    EXPECT_EQ(test::ReadFileBytes(program_.File(L"zipnew.dat")).size(), kZipTemplateSize);
}

TEST_F(AssociationsTest, NewEntryNotWantedGivesTheFormerOneBackWhileTheExtensionStays)
{
    Hold(L".tvx", L"", L"OldTvx.File");
    Hold(L".tvx\\ShellNew", L"FileName", L"C:\\Old\\empty.tvx");
    Tvx(kTake);
    EXPECT_EQ(ClassValue(L".tvx\\ShellNew", L"FileName"), program_.File(L"tvxnew.dat"));
    Tvx(kTake, false);
    EXPECT_EQ(ClassValue(L".tvx"), L"Talvex");
    EXPECT_EQ(ClassValue(L".tvx\\ShellNew", L"FileName"), L"C:\\Old\\empty.tvx");

    test::RegWriteNumber(HKEY_CURRENT_USER, L"Software\\Talvex\\Setup\\MenuItems", L"NewZIP", 0);
    Zip(kTake);
    EXPECT_FALSE(Exists(L".zip\\ShellNew")) << "the ZIP item is switched off in the context-menu settings";
    EXPECT_EQ(GetFileAttributesW(program_.File(L"zipnew.dat").c_str()), INVALID_FILE_ATTRIBUTES);
}

TEST_F(AssociationsTest, AllTypesFollowTheRecordRowByRow)
{
    IntegrationOptions options{};
    for (size_t row = 0; row < kArchiveTypeCount; ++row) options.associate[row] = row != 8;
    AssociateAllTypes(options);
    wchar_t extension[kExtensionCapacity];
    for (size_t row = 0; row < kArchiveTypeCount; ++row) {
        const wchar_t* next = ArchiveTypeTable[row].extensionGroup;
        while ((next = NextExtension(next, extension, kExtensionCapacity)) != nullptr)
            EXPECT_EQ(ClassValue(extension), row == 8 ? L"<none>" : row == kZipRow ? L"Talvex.ZIP" : L"Talvex")
                << extension;
    }
    EXPECT_FALSE(Exists(L".tvx\\ShellNew")) << "shellExt is off";

    AssociateAllTypes(IntegrationOptions{});
    std::vector<std::wstring> left = Dump(L"");
    EXPECT_TRUE(left.empty()) << test::DescribeChange({}, left).c_str();
}

}  // namespace
}  // namespace tvx
