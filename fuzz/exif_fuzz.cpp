// EXIF reader: any block is parsed or refused without reading outside it.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <vector>

#include "imaging/formats/exif.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* Data, size_t Size) {
  if (Size > 65533) return 0;  // one marker's worth
  // A copy of exactly Size bytes, so that a read past the end is caught.
  std::vector<uint8_t> block(Data, Data + Size);
  kv::TIOParamsVals params(nullptr);
  params.ExifModel = "unchanged";
  const bool parsed = kv::ReadEXIFBlock(block.data(), int32_t(block.size()), params);
  if (!parsed && (params.ExifModel != "unchanged" || params.ExifThumbnail)) std::abort();
  return 0;
}
