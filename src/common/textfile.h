// Whole text files read into lines, whatever their encoding: the ANSI code page, UTF-16 in
// either byte order with a signature, or UTF-8 with a signature. The INI backend reads
// Talvex.ini with it.
#pragma once
#include <cstdint>
#include "common/growable_array.h"

namespace tvx {

// Wide strings stored back to back in one growable buffer, read back in order. A string
// handed out stays valid until the next Append or Rewind.
class LineList {
public:
    LineList() { Rewind(); }
    void Append(const wchar_t* text);  // nullptr counts as the empty string
    bool Next(const wchar_t*& out);
    void Rewind();  // empties the list
    uint32_t Count() const { return stringCount_; }

private:
    GrowableArray<wchar_t> storage_;
    uint32_t readPosition_ = 0;
    uint32_t stringCount_ = 0;
};

enum class TextEncoding { Ansi, Utf16, Utf8 };

TextEncoding DetectTextEncoding(const unsigned char* bytes, uint32_t count);
// Appends the lines of a whole file's bytes to list, in the encoding DetectTextEncoding
// chooses. For the 8-bit encodings a NUL byte is added to bytes as the text's end.
void DecodeTextLines(GrowableArray<unsigned char>& bytes, LineList& list);
// Reads the file and decodes it as above; false when the file cannot be opened. A read
// failure ends the data early.
bool LoadTextLines(const wchar_t* name, LineList& list);

}  // namespace tvx
