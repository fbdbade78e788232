// GIF graphic reader: any bytes load or raise one of the library's
// exceptions; every frame that loads decodes without reading or writing
// outside its buffers, and what decodes writes back and loads again with the
// same frame count and sizes.
#include <cstddef>
#include <cstdint>
#include <cstdlib>

#include "components/graphics/gif_image.h"
#include "platform/rtl/exceptions.h"
#include "platform/rtl/streams.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* Data, size_t Size) {
  kv::TGIFImage g;
  kv::TReadOnlyMemoryStream in(Data, int64_t(Size));
  try {
    g.LoadFromStream(in);
    for (int32_t i = 0; i < g.FrameCount() && i < 4; ++i) g.Frames(i).DecodedBitmap();
  } catch (const kv::Exception&) {
    return 0;
  }
  if (g.Empty() || g.FrameCount() > 4) return 0;
  kv::TMemoryStream out;
  try {
    g.SaveToStream(out);
  } catch (const kv::Exception&) {
    return 0;  // frames without data, as damaged files give
  }
  kv::TGIFImage back;
  out.SetPosition(0);
  back.LoadFromStream(out);
  if (back.FrameCount() != g.FrameCount()) std::abort();
  for (int32_t i = 0; i < g.FrameCount(); ++i)
    if (back.Frames(i).Width() != g.Frames(i).Width() || back.Frames(i).Height() != g.Frames(i).Height()) std::abort();
  return 0;
}
