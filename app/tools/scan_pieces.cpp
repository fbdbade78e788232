#include "app/tools/scan_pieces.h"

#include <algorithm>
#include <cstring>

#include "app/layer/imager_layer.h"
#include "app/main/main_form.h"
#include "app/params/param_strings.h"
#include "app/tools/tool_files.h"
#include "imaging/model/pixel.h"
#include "platform/graphics/bitmap.h"

namespace kv {

void OutlineScanPieces(TBitmap& Bitmap, const std::vector<TRect>& Pieces) {
  if (Bitmap.PixelFormat() != pf24bit) return;
  const int32_t pen = std::max(Bitmap.Width(), Bitmap.Height()) / 480 + 2;
  const TBGRPixel red{0, 0, 255};
  auto fill = [&](int32_t L, int32_t T, int32_t R, int32_t B) {
    for (int32_t y = std::max(T, 0); y < std::min(B, Bitmap.Height()); ++y) {
      TBGRPixel* row = static_cast<TBGRPixel*>(Bitmap.ScanLine(y));
      for (int32_t x = std::max(L, 0); x < std::min(R, Bitmap.Width()); ++x) row[x] = red;
    }
  };
  // The pen is centred on the rectangle's outline.
  const int32_t before = pen / 2, after = pen - before;
  for (const TRect& r : Pieces) {
    fill(r.Left - before, r.Top - before, r.Right + after, r.Top + after);
    fill(r.Left - before, r.Bottom - 1 - before, r.Right + after, r.Bottom - 1 + after);
    fill(r.Left - before, r.Top - before, r.Left + after, r.Bottom + after);
    fill(r.Right - 1 - before, r.Top - before, r.Right - 1 + after, r.Bottom + after);
  }
}

void SeparatedPiecesToWindows(Tform1& Form, const TBitmap& Sheet, const std::vector<TRect>& Pieces,
                              const std::function<void()>& OnPiece) {
  if (Sheet.PixelFormat() != pf24bit) return;
  int32_t dpi = 0;
  if (timagerlayer* current = Form.getimager()) dpi = current->IOParams().DpiX;
  // The sheet may be the bitmap of the current window, which the new windows
  // must not change: the pieces are taken from a copy.
  TBitmap sheet;
  sheet.Assign(&Sheet);
  for (const TRect& r : Pieces) {
    if (r.Width() <= 0 || r.Height() <= 0) continue;
    Form.interpreter(&Form, "HIDDEN NewImage" + WriteParamInt("Width", r.Width()) + WriteParamInt("Height", r.Height()) +
                                (dpi > 0 ? WriteParamInt("Resolution", dpi) : std::string()));
    timagerlayer* imager = &NewestImage(Form);
    TBitmap& b = imager->Bitmap();
    b.SetPixelFormat(pf24bit);
    b.SetSize(r.Width(), r.Height());
    for (int32_t y = 0; y < r.Height(); ++y)
      std::memcpy(b.ScanLine(y), static_cast<const TBGRPixel*>(sheet.ScanLine(r.Top + y)) + r.Left,
                  size_t(r.Width()) * 3);
    imager->Update();
    if (OnPiece) OnPiece();
  }
}

}  // namespace kv
