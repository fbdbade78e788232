// The metafile import on outside bytes: record checks, the converters in
// their child process and the SVG painter. Whatever the bytes, the import
// either fails (flag or the graphics system's exception) or gives a picture
// of the size asked for.
#include <unistd.h>

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "imaging/formats/imager_io.h"
#include "platform/rtl/exceptions.h"

namespace {
void Check(bool ok) {
  if (!ok) std::abort();
}
}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* Data, size_t Size) {
  static const std::string path = "/tmp/kv_metafile_fuzz_" + std::to_string(::getpid());
  FILE* f = std::fopen(path.c_str(), "wb");
  if (!f) return 0;
  std::fwrite(Data, 1, Size, f);
  std::fclose(f);
  kv::TBitmap bmp(2, 2, kv::pf24bit);
  kv::TImagerIO io(nullptr);
  io.AttachBitmap(&bmp);
  try {
    io.ImportMetafile(path, 48, 32);
    if (!io.Aborted()) Check(bmp.Width() == 47 && bmp.Height() == 31);
  } catch (const kv::Exception&) {
    // Unrecognised content or a metafile the converters reject.
  }
  std::remove(path.c_str());
  return 0;
}
