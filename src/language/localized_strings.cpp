#include "language/localized_strings.h"

#include <windows.h>
#include <climits>
#include "common/strings.h"
#include "language/language_module.h"
#include "language/language_table.h"

namespace tvx {

namespace {

constexpr size_t kStringKeyCapacity = 80;
constexpr unsigned kRotatingBuffers = 8;

// A text in the language file wins even when it is empty.
bool FindLanguageFileText(uint32_t number, wchar_t* out, size_t capacity)
{
    char key[kStringKeyCapacity];
    return Languages().FindKeyForId("s", number, key, sizeof(key)) &&
           Languages().FindText(key, out, capacity);
}

int LoadResourceString(HMODULE module, uint32_t number, wchar_t* out, size_t capacity)
{
    int limit = capacity > INT_MAX ? INT_MAX : static_cast<int>(capacity);
    return LoadStringW(module, number, out, limit);
}

}  // namespace

wchar_t* LoadLocalizedString(uint32_t number, wchar_t* out, size_t capacity)
{
    // LoadStringW would take a zero capacity as a request for a pointer to the resource.
    if (capacity == 0) return out;
    out[0] = L'\0';
    if (FindLanguageFileText(number, out, capacity)) return out;
    if (LoadResourceString(ResourceModule(), number, out, capacity) > 0) return out;
    if (ResourceModule() != OwnModule()) LoadResourceString(OwnModule(), number, out, capacity);
    return out;
}

const wchar_t* GetLocalizedString(uint32_t number)
{
    static wchar_t buffers[kRotatingBuffers][kLineCapacity];
    static unsigned lastUsed = 0;
    lastUsed = (lastUsed + 1) % kRotatingBuffers;
    return LoadLocalizedString(number, buffers[lastUsed], kLineCapacity);
}

}  // namespace tvx
