// Texts of the program's messages by string number: the language file first, then the
// language library's string table, then the program's own.
#pragma once
#include <cstddef>
#include <cstdint>
#include "resources/resource.h"

namespace tvx {

wchar_t* LoadLocalizedString(uint32_t number, wchar_t* out, size_t capacity);
// One of eight rotating 1024-character buffers: valid until eight further calls.
const wchar_t* GetLocalizedString(uint32_t number);

}  // namespace tvx
