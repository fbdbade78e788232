// EXIF reader: the data of a JPEG APP1 marker that holds an EXIF block (a
// small TIFF file) into the EXIF fields and the thumbnail of a record.
#pragma once
#include <cstdint>

#include "imaging/formats/io_params.h"

namespace kv {

// True when Data ("Exif", a zero byte, a pad byte, then TIFF data) was an
// EXIF block and its directories were parsed; the fields found are set and
// the thumbnail of directory 1 (JPEG or uncompressed RGB) is decoded into
// Params.ExifThumbnail, which is created when absent. False, with Params
// unchanged, for anything else: another APP1 payload, a block shorter than
// its headers, a TIFF header that is not "II"/"MM" 42, a first directory
// outside the block.
bool ReadEXIFBlock(const uint8_t* Data, int32_t Length, TIOParamsVals& Params);

}  // namespace kv
