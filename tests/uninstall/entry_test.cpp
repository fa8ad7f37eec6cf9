#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "language/language_table.h"
#include "support/scratch.h"
#include "uninstall/entry.h"
#include "uninstall/run_options.h"

namespace tvx {
namespace {

// A language file with the given string lines, loaded while the object lives.
class LoadedLanguage {
public:
    explicit LoadedLanguage(const std::string& lines) : scratch_(L"tvx-entry-lng")
    {
        std::wstring file = scratch_ / L"uninstall.lng";
        test::WriteFileBytes(file, "***messages***\r\n" + lines);
        Languages().Load(file.c_str());
    }
    ~LoadedLanguage() { Languages().Release(); }

private:
    test::ScratchFolder scratch_;
};

constexpr char kWarningTexts[] =
    "IDS_UNINSTALLCOMPLETED Done.\r\nIDS_UNINSTALLSHOULDDELETE Delete %s yourself.\r\n";

std::wstring Message(const std::wstring& path, size_t capacity)
{
    std::vector<wchar_t> message(capacity + 1, L'#');
    BuildCannotDeleteMessage(path.c_str(), message.data(), capacity);
    EXPECT_EQ(message[capacity], L'#') << "wrote past the capacity";
    return message.data();
}

TEST(BuildCannotDeleteMessage, NamesTheProgramWithinTheCapacity)
{
    LoadedLanguage language(kWarningTexts);
    const std::wstring path = L"C:\\Program Files\\Talvex\\uninstall.exe";
    const struct {
        size_t capacity;
        std::wstring message;
    } cases[] = {
        {kMessageCapacity, L"Done.\nDelete " + path + L" yourself."},
        {10, L"Done.\nDel"},
        {7, L"Done.\n"},
        {4, L"Don"},
    };
    for (const auto& c : cases) EXPECT_EQ(Message(path, c.capacity), c.message) << c.capacity;
}

TEST(BuildCannotDeleteMessage, CutsALongPathAtTheMessageCapacity)
{
    LoadedLanguage language(kWarningTexts);
    std::wstring path = L"C:\\" + std::wstring(600, L'd') + L"\\uninstall.exe";
    std::wstring message = Message(path, kMessageCapacity);
    EXPECT_EQ(message.size(), kMessageCapacity - 1);
    EXPECT_EQ(message.substr(0, 16), L"Done.\nDelete C:\\");
}

TEST(BuildCannotDeleteMessage, ShowsATranslationWithOtherConversionsAsItStands)
{
    LoadedLanguage language("IDS_UNINSTALLCOMPLETED Done.\r\nIDS_UNINSTALLSHOULDDELETE %s: %d %s\r\n");
    EXPECT_EQ(Message(L"C:\\u.exe", kMessageCapacity), L"Done.\n%s: %d %s");
}

class IniCopy : public ::testing::Test {
protected:
    void SetUp() override
    {
        for (const auto* folder : {&data_, &installer_, &current_}) CreateDirectoryW(folder->c_str(), nullptr);
        test::RegWriteString(HKEY_CURRENT_USER, L"Software\\Talvex\\Paths", L"AppData", data_);
        GetCurrentDirectoryW(MAX_PATH, formerFolder_);
        SetCurrentDirectoryW(current_.c_str());
        test::WriteFileBytes(installer_ + L"\\talvex.ini", "from the installer");
        SetEnvironmentVariableW(L"sfxname", (installer_ + L"\\setup.exe").c_str());
    }
    void TearDown() override
    {
        SetCurrentDirectoryW(formerFolder_);
        SetEnvironmentVariableW(L"sfxname", nullptr);
    }
    std::string Copied() const { return test::ReadFileBytes(current_ + L"\\talvex.ini"); }

    test::RegistrySandbox sandbox_;
    test::ScratchFolder scratch_{L"tvx-inicopy"};
    std::wstring data_ = scratch_ / L"data";
    std::wstring installer_ = scratch_ / L"installer";
    std::wstring current_ = scratch_ / L"current";
    wchar_t formerFolder_[MAX_PATH] = L"";
};

TEST_F(IniCopy, CopiesTheInstallersFileIntoTheCurrentFolder)
{
    CopyIniFromInstaller();
    EXPECT_EQ(Copied(), "from the installer");
}

TEST_F(IniCopy, LeavesItWhenTheDataFolderHasOne)
{
    test::WriteFileBytes(data_ + L"\\talvex.ini", "the user's");
    CopyIniFromInstaller();
    EXPECT_EQ(Copied(), "");
}

TEST_F(IniCopy, NeverReplacesAFileInTheCurrentFolder)
{
    test::WriteFileBytes(current_ + L"\\talvex.ini", "kept");
    CopyIniFromInstaller();
    EXPECT_EQ(Copied(), "kept");
}

TEST_F(IniCopy, NeedsTheInstallerVariableAndItsFile)
{
    SetEnvironmentVariableW(L"sfxname", L"");
    CopyIniFromInstaller();
    EXPECT_EQ(Copied(), "");
    SetEnvironmentVariableW(L"sfxname", (data_ + L"\\setup.exe").c_str());  // no talvex.ini there
    CopyIniFromInstaller();
    EXPECT_EQ(Copied(), "");
}

std::vector<std::wstring> opened;
HINSTANCE WINAPI RecordOpen(HWND, LPCWSTR verb, LPCWSTR file, LPCWSTR parameters, LPCWSTR folder, INT show)
{
    opened.push_back(std::wstring(verb) + L"|" + file + L"|" + (parameters ? L"params" : L"") + L"|" +
                     folder + L"|" + std::to_wstring(show));
    return reinterpret_cast<HINSTANCE>(static_cast<INT_PTR>(33));
}

TEST(OpenFolderAfterSetup, OpensTheProgramGroupUnlessTheOptionsSayNo)
{
    test::ScratchFolder group(L"tvx-group");
    const struct {
        std::wstring folder;
        bool silent, msi, noExplorer;
        bool opens;
    } cases[] = {
        {group.Path(), false, false, false, true},
        {group.Path(), true, false, false, false},
        {group.Path(), false, true, false, false},
        {group.Path(), false, false, true, false},
        {L"", false, false, false, false},
        {group / L"missing", false, false, false, false},
    };
    SetShellOpenForTesting(&RecordOpen);
    for (const auto& c : cases) {
        Options() = RunOptions{};
        CopyText(Options().folderToOpen, c.folder.c_str(), kPathCapacity);
        Options().silent = c.silent;
        Options().msi = c.msi;
        Options().noExplorer = c.noExplorer;
        opened.clear();
        OpenFolderAfterSetup();
        std::vector<std::wstring> expected;
        if (c.opens) expected.push_back(L"open|" + c.folder + L"||" + L"|1");
        EXPECT_EQ(opened, expected) << c.folder << c.silent << c.msi << c.noExplorer;
    }
    SetShellOpenForTesting(nullptr);
    Options() = RunOptions{};
}

}  // namespace
}  // namespace tvx
