// The program's own file kinds and image-information fields, and their sets.
// Scoped enumerations: their member names (gif, filename, resolution ...) are
// everyday words that would otherwise clash with names of the whole namespace.
#pragma once
#include <cstdint>

#include "platform/rtl/set.h"

namespace kv {

enum class tFileFormat : uint8_t {
  jpg, png, bmp, pcx, gif, tiff, tga, wmf, emf, ico, cur, pcf, avi, dxf, imv, wav, mid, wma, mp3
};
constexpr int kFileFormatCount = 19;
using tFileFormatset = TSet<tFileFormat, kFileFormatCount>;

enum class tImageInfo : uint8_t {
  filename, filepath, filedate, filesize, filetype, imagewidth, imageheight, numpixels, textcomment,
  resolution, orientation
};
constexpr int kImageInfoCount = 11;
using tImageInfoset = TSet<tImageInfo, kImageInfoCount>;

}  // namespace kv
