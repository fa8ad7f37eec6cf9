#include "common/textfile.h"
#include <cwchar>
#include "common/charset.h"
#include "common/fileobject.h"
#include "common/strings.h"

namespace tvx {

namespace {

constexpr uint32_t kReadPiece = 4096;
constexpr unsigned char kUtf8Signature[] = {0xEF, 0xBB, 0xBF};

bool StartsWith(const unsigned char* bytes, uint32_t count, unsigned char first, unsigned char second)
{
    return count >= 2 && bytes[0] == first && bytes[1] == second;
}

// A UTF-16 signature counts only when some following unit has a high byte of a control
// character other than CR or LF: ordinary Latin text has 0 there, 8-bit text hardly ever.
bool HighBytesLookLikeUtf16(const unsigned char* bytes, uint32_t count, uint32_t firstHighByte)
{
    for (uint32_t i = firstHighByte; i < count; i += 2) {
        if (bytes[i] < 0x20 && bytes[i] != 0x0D && bytes[i] != 0x0A) return true;
    }
    return false;
}

// The whole file, 4096 bytes a read, with 4096 free bytes always kept behind the data.
void ReadWholeFile(FileObject& file, GrowableArray<unsigned char>& bytes)
{
    uint32_t used = 0;
    for (;;) {
        uint32_t read = file.Read(bytes.Data() + used, kReadPiece);
        if (read == 0) break;
        used += read;
        bytes.Append(read);
    }
    bytes.Resize(used);
}

void DecodeUtf16(const GrowableArray<unsigned char>& bytes, bool bigEndian, wchar_t* text)
{
    uint32_t count = bytes.Count();
    uint32_t length = 0;
    for (uint32_t i = 2; i + 1 < count; i += 2) {
        unsigned low = bytes[i + (bigEndian ? 1 : 0)];
        unsigned high = bytes[i + (bigEndian ? 0 : 1)];
        text[length++] = static_cast<wchar_t>(high << 8 | low);
    }
    text[length] = L'\0';
}

// Decodes the bytes into text; the wide array is sized for the encoding's worst case.
void Decode(GrowableArray<unsigned char>& bytes, GrowableArray<wchar_t>& text)
{
    TextEncoding encoding = DetectTextEncoding(bytes.Data(), bytes.Count());
    if (encoding == TextEncoding::Utf16) {
        text.Resize(bytes.Count() / 2 + 1);
        DecodeUtf16(bytes, bytes[0] == 0xFE, text.Data());  // FE FF: high byte first
        return;
    }
    bytes.Add(0);
    text.Resize(bytes.Count());
    if (encoding == TextEncoding::Utf8) {
        // An invalid sequence ends the text where it stands.
        Utf8ToWide(bytes.Data() + sizeof kUtf8Signature, text.Data(), text.Count());
    } else {
        AnsiToWide(reinterpret_cast<const char*>(bytes.Data()), text.Data(), text.Count());
    }
}

// CR, LF and any run of them end a line; trailing blanks are dropped, leading ones kept, and
// lines left empty are not added.
void SplitLines(wchar_t* text, LineList& list)
{
    wchar_t* start = text;
    while (*start != L'\0') {
        wchar_t* end = start;
        while (*end != L'\0' && *end != L'\r' && *end != L'\n') ++end;
        wchar_t ending = *end;
        *end = L'\0';
        for (wchar_t* last = end; last > start && IsBlank(last[-1]);) *--last = L'\0';
        if (*start != L'\0') list.Append(start);
        if (ending == L'\0') return;
        start = end + 1;
        while (*start == L'\r' || *start == L'\n') ++start;
    }
}

}  // namespace

void LineList::Append(const wchar_t* text)
{
    if (text == nullptr) text = L"";
    uint32_t length = static_cast<uint32_t>(std::wcslen(text)) + 1;
    uint32_t end = storage_.Count();
    storage_.Append(length);
    std::wmemcpy(storage_.Data() + end, text, length);
    ++stringCount_;
}

bool LineList::Next(const wchar_t*& out)
{
    if (readPosition_ >= storage_.Count()) {
        out = nullptr;
        return false;
    }
    out = storage_.Data() + readPosition_;
    readPosition_ += static_cast<uint32_t>(std::wcslen(out)) + 1;
    return true;
}

void LineList::Rewind()
{
    readPosition_ = 0;
    storage_.Clear();
    stringCount_ = 0;
}

TextEncoding DetectTextEncoding(const unsigned char* bytes, uint32_t count)
{
    if (count > 3 && bytes[0] == kUtf8Signature[0] && bytes[1] == kUtf8Signature[1] &&
        bytes[2] == kUtf8Signature[2] && IsValidUtf8(bytes + 3, count - 3))
        return TextEncoding::Utf8;
    if (count > 2 && StartsWith(bytes, count, 0xFF, 0xFE) && HighBytesLookLikeUtf16(bytes, count, 3))
        return TextEncoding::Utf16;
    if (count > 2 && StartsWith(bytes, count, 0xFE, 0xFF) && HighBytesLookLikeUtf16(bytes, count, 2))
        return TextEncoding::Utf16;
    return TextEncoding::Ansi;
}

void DecodeTextLines(GrowableArray<unsigned char>& bytes, LineList& list)
{
    GrowableArray<wchar_t> text;
    Decode(bytes, text);
    SplitLines(text.Data(), list);
}

bool LoadTextLines(const wchar_t* name, LineList& list)
{
    FileObject file;
    if (!file.Open(name, false)) return false;
    GrowableArray<unsigned char> bytes(kReadPiece);
    ReadWholeFile(file, bytes);
    DecodeTextLines(bytes, list);
    return true;
}

}  // namespace tvx
