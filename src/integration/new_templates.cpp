#include "integration/new_templates.h"

#include "common/fileobject.h"
#include "common/fileops.h"
#include "integration/integration_options.h"

namespace tvx {

namespace {

constexpr uint8_t kTvxSignatureFirstByte = 'T';
constexpr uint8_t kZipSignatureFirstByte = 'P';

// The empty TVX archive: signature "Tvx" 0x1A, format version 1, no flags, no entries,
// no entry data, the archive's total size (24) and the CRC-32 of the 20 bytes before it,
// all numbers little-endian. The archiver accepts nothing shorter as a whole archive.
uint8_t g_tvxImage[kTvxTemplateSize] = {
    0x00, 'v',  'x',  0x1A,                          // signature, first byte stored at run time
    0x01, 0x00,                                      // format version, archive flags
    0x00, 0x00,                                      // entry count
    0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00,  // size of the entry data
    0x18, 0x00, 0x00, 0x00,                          // total archive size
    0x43, 0x43, 0x95, 0xB1,                          // CRC-32 of bytes 0 to 19
};

// The empty ZIP archive: an end-of-central-directory record with no entries and no comment.
uint8_t g_zipImage[kZipTemplateSize] = {0x00, 'K', 0x05, 0x06};

}  // namespace

void PrepareTemplateImages()
{
    g_tvxImage[0] = kTvxSignatureFirstByte;
    g_zipImage[0] = kZipSignatureFirstByte;
}

const uint8_t* TemplateImage(bool isTvx, size_t* size)
{
    *size = isTvx ? kTvxTemplateSize : kZipTemplateSize;
    return isTvx ? g_tvxImage : g_zipImage;
}

void EnsureNewTemplate(bool isTvx, wchar_t* path, size_t capacity)
{
    GetProgramSiblingPath(isTvx ? L"tvxnew.dat" : L"zipnew.dat", path, capacity);
    size_t size = 0;
    const uint8_t* image = TemplateImage(isTvx, &size);
    FoundEntry found;
    if (FindSingle(path, found) && found.size == size) return;
    FileObject file;
    // A file whose write fails is never closed here, so the object deletes it on the way out.
    if (file.Create(path, false) && file.Write(image, static_cast<uint32_t>(size))) file.Close();
}

}  // namespace tvx
