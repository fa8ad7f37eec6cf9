#include "language_test_support.h"

#include <cstring>
#include "language/language_module.h"
#include "support/scratch.h"

namespace tvx::test {

std::string Utf16Le(const std::wstring& text)
{
    std::string bytes;
    for (wchar_t c : text) {
        bytes += static_cast<char>(c & 0xFF);
        bytes += static_cast<char>((c >> 8) & 0xFF);
    }
    return bytes;
}

std::string Ansi(const std::wstring& text)
{
    int size = WideCharToMultiByte(CP_ACP, 0, text.data(), static_cast<int>(text.size()),
                                   nullptr, 0, nullptr, nullptr);
    std::string bytes(size, '\0');
    WideCharToMultiByte(CP_ACP, 0, text.data(), static_cast<int>(text.size()), bytes.data(),
                        size, nullptr, nullptr);
    return bytes;
}

std::wstring FixtureLibrary(const wchar_t* variant)
{
    return BuildDir() + L"\\tests\\language_fixtures\\" + variant + L"\\tvxlng.dll";
}

std::wstring ProgramFolder()
{
    wchar_t path[MAX_PATH];
    GetModuleFileNameW(nullptr, path, MAX_PATH);
    std::wstring folder = path;
    return folder.substr(0, folder.find_last_of(L'\\') + 1);
}

std::string SectionOf(const char* key)
{
    return std::string(key, strcspn(key, ":"));
}

std::wstring TextOf(const LanguageTable& table, const char* key)
{
    std::wstring text(70000, L'\0');
    if (!table.FindText(key, text.data(), text.size())) return L"<missing>";
    text.resize(wcslen(text.c_str()));
    return text;
}

std::wstring OwnString(uint32_t number)
{
    wchar_t text[1024] = L"";
    LoadStringW(GetModuleHandleW(nullptr), number, text, 1024);
    return text;
}

LanguageStateGuard::~LanguageStateGuard()
{
    ReleaseLanguageModule();
    Languages().Release();
    SetProcessDefaultLayout(0);
}

}  // namespace tvx::test
