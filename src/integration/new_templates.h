// The "New" menu templates tvxnew.dat and zipnew.dat beside the program: the images of an
// empty TVX and an empty ZIP archive, and the files written from them. The association pass
// points the ShellNew entries of .tvx and .zip at these files.
#pragma once
#include <cstddef>
#include <cstdint>

namespace tvx {

constexpr size_t kTvxTemplateSize = 24;
constexpr size_t kZipTemplateSize = 22;

// The images stand in the program file without their first byte, so no scanner takes the
// program for an archive; this stores it. Idempotent.
void PrepareTemplateImages();
// The image of the empty archive (after PrepareTemplateImages) and its size.
const uint8_t* TemplateImage(bool isTvx, size_t* size);
// Path of the template file beside the program; the file is written afresh unless it
// already has the image's size. A file that cannot be created is left as it is.
void EnsureNewTemplate(bool isTvx, wchar_t* path, size_t capacity);

}  // namespace tvx
