#include "settings_fixture.h"

#include "settings/ini_settings.h"
#include "settings/settings_store.h"

namespace tvx::test {

IniFolders::IniFolders(const wchar_t* name)
    : folder_(name), program_(folder_ / L"program"), user_(folder_ / L"user")
{
    CreateDirectoryW(program_.c_str(), nullptr);
    CreateDirectoryW(user_.c_str(), nullptr);
    Reload();
}

IniFolders::~IniFolders()
{
    Ini().UseFoldersForTesting(nullptr, nullptr);
    Settings().SetRegistryView(0);
}

void IniFolders::Reload() const { Ini().UseFoldersForTesting(program_.c_str(), user_.c_str()); }

std::string Utf16File(const std::wstring& text)
{
    std::string bytes = "\xFF\xFE";
    for (wchar_t c : text) {
        bytes.push_back(static_cast<char>(c & 0xFF));
        bytes.push_back(static_cast<char>(c >> 8));
    }
    return bytes;
}

void WriteIni(const std::wstring& path, const std::wstring& text) { WriteFileBytes(path, Utf16File(text)); }

std::wstring ReadIni(const std::wstring& path)
{
    if (GetFileAttributesW(path.c_str()) == INVALID_FILE_ATTRIBUTES) return L"<no file>";
    std::string bytes = ReadFileBytes(path);
    if (bytes.compare(0, 2, "\xFF\xFE") != 0) return L"<no signature>";
    std::wstring text;
    for (size_t i = 2; i + 1 < bytes.size(); i += 2)
        text.push_back(static_cast<wchar_t>(static_cast<unsigned char>(bytes[i]) |
                                            static_cast<unsigned char>(bytes[i + 1]) << 8));
    return text;
}

}  // namespace tvx::test
