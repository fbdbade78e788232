#include "imaging/formats/lzw_coders.h"

#include "imaging/formats/gif_lzw.h"
#include "imaging/formats/lzw_hooks.h"
#include "imaging/formats/tiff_lzw.h"

namespace kv {

void InstallLzwCoders() {
  InstallGifLzwHooks();
  TiffLzwDecoderHook = &TiffLzwDecode;
  TiffLzwEncoderHook = &TiffLzwEncode;
}

}  // namespace kv
