#include "language_fixture.h"
#include "language/language_table.h"

namespace tvx::test {

LoadedLanguage::LoadedLanguage(const std::wstring& lines)
{
    const std::wstring text = L"Test translation\r\n***messages***\r\n" + lines + L"\r\n";
    const std::string bytes(reinterpret_cast<const char*>(text.data()),
                            text.size() * sizeof(wchar_t));
    const std::wstring path = folder_ / L"uninstall.lng";
    WriteFileBytes(path, bytes);
    LoadFile(path);
}

void LoadedLanguage::LoadFile(const std::wstring& path)
{
    Languages().Release();
    Languages().Load(path.c_str());
}

LoadedLanguage::~LoadedLanguage()
{
    Languages().Release();
    SetProcessDefaultLayout(0);
}

}  // namespace tvx::test
