// The I/O component on outside bytes: detection, the stream header, the
// dispatch to every wired reader (GIF with the application's coder) and the
// resolution adjustment. The first byte chooses stream headers (bit 0) and
// the resolution adjustment (bit 1).
// Whatever the bytes, a load either fails through the flag or gives a
// picture within the pixel limit, and the stream stays inside its bounds.
#include <cstddef>
#include <cstdint>
#include <cstdlib>

#include "imaging/formats/codec.h"
#include "imaging/formats/imager_io.h"
#include "imaging/formats/lzw_coders.h"
#include "platform/rtl/streams.h"

namespace {
void Check(bool ok) {
  if (!ok) std::abort();
}
}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* Data, size_t Size) {
  static const bool hooks = (kv::InstallLzwCoders(), true);  // as the application does at start
  (void)hooks;
  if (Size < 1) return 0;
  const uint8_t flags = Data[0];
  kv::TReadOnlyMemoryStream in(Data + 1, int64_t(Size - 1));
  kv::TBitmap bmp(2, 2, kv::pf24bit);
  kv::TImagerIO io(nullptr);
  io.SetStreamHeaders(flags & 1);
  io.SetAutoAdjustDPI(flags & 2);
  io.AttachBitmap(&bmp);

  io.ReadParamsFromStream(in);
  Check(in.Position() == 0);
  Check(bmp.Width() == 2 && bmp.Height() == 2);

  io.LoadFromStream(in);
  Check(in.Position() >= 0 && in.Position() <= in.Size());
  if (!io.Aborted()) {
    Check(!bmp.Empty());
    Check(kv::CheckImageSize(bmp.Width(), bmp.Height()));
  }
  return 0;
}
