#include "imaging/formats/write_helpers.h"

#include <algorithm>
#include <cstdint>

#include "imaging/processing/convert_bits.h"

namespace kv {

bool CheckedWrite(TStream& S, const void* Data, size_t Count, TProgressRec& Progress) {
  const auto* p = static_cast<const uint8_t*>(Data);
  bool ok = true;
  try {
    while (ok && Count > 0) {
      const int32_t n = int32_t(std::min<size_t>(Count, size_t(1) << 30));
      ok = S.Write(p, n) == n;
      p += n;
      Count -= size_t(n);
    }
  } catch (...) {
    ok = false;
  }
  if (!ok) Progress.Fail();
  return ok;
}

const TBitmap& TrueColourPicture(const TBitmap& Bitmap, std::unique_ptr<TBitmap>& Holder) {
  if (Bitmap.PixelFormat() == pf24bit) return Bitmap;
  Holder = std::make_unique<TBitmap>();
  if (Bitmap.PixelFormat() == pf1bit) {
    TProgressRec quiet;
    ConvertTo24BitRows(Bitmap, *Holder, quiet);
  } else {
    Holder->Assign(&Bitmap);
    Holder->SetPixelFormat(pf24bit);
  }
  return *Holder;
}

const TBitmap& OneBitPicture(const TBitmap& Bitmap, std::unique_ptr<TBitmap>& Holder, TBGRPixel& Colour0,
                             TBGRPixel& Colour1) {
  Colour0 = TBGRPixel{0, 0, 0};
  Colour1 = TBGRPixel{255, 255, 255};
  if (Bitmap.PixelFormat() == pf1bit) return Bitmap;
  std::unique_ptr<TBitmap> truecolour;
  const TBitmap& src = TrueColourPicture(Bitmap, truecolour);
  TBGRPixel c0, c1;
  Holder = ConvertTo1BitIfTwoColors(src, c0, c1);
  if (Holder) {
    Colour0 = c0;
    Colour1 = c1;
    return *Holder;
  }
  Holder = std::make_unique<TBitmap>();
  Holder->Assign(&src);
  TProgressRec quiet;
  ConvertTo1BitDither(*Holder, quiet);
  return *Holder;
}

}  // namespace kv
