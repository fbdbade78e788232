// Painting the wallpaper: tiles with shifts and zigzag, the nine anchors and stretching.
#include <algorithm>

#include "components/graphics/gif_image.h"
#include "components/wallpaper/mdi_wallpaper.h"
#include "platform/graphics/canvas.h"
#include "platform/graphics/icon.h"
#include "platform/rtl/pascal_math.h"

namespace kv {

namespace {
int32_t Half(int32_t v) { return v / 2; }  // toward zero
int32_t Mod(int32_t v, int32_t n) {
  const int32_t m = v % n;
  return m < 0 ? m + n : m;
}
// The first tile position along an axis for an origin offset.
int32_t Start(int32_t v, int32_t n) {
  if (v > 0) return v % n - n;
  if (v < 0) return v % n;  // the remainder keeps the dividend's sign
  return 0;
}
}  // namespace

void TMDIWallpaper::DrawImage(TCanvas& Canvas, const TRect& R) {
  if (FCache) {
    if (R.Width() == FCache->Width() && R.Height() == FCache->Height()) Canvas.Draw(R.Left, R.Top, *FCache);
    else Canvas.StretchDraw(R, *FCache);
    return;
  }
  TGraphic* g = FPicture->Graphic();
  if (auto* b = dynamic_cast<TBitmap*>(g)) {
    if (R.Width() == b->Width() && R.Height() == b->Height()) Canvas.Draw(R.Left, R.Top, *b);
    else Canvas.StretchDraw(R, *b);
  } else if (auto* i = dynamic_cast<TIcon*>(g)) {
    i->Draw(Canvas, R);
  } else if (auto* gif = dynamic_cast<TGIFImage*>(g)) {
    gif->Draw(Canvas, R);
  }
}

void TMDIWallpaper::PaintWallpaper(TCanvas& Canvas, const TRect& Area) {
  if (!FHasPicture || Area.Width() <= 0 || Area.Height() <= 0) return;
  // The drawing state is the caller's; only the copy mode is changed here.
  const TCopyMode mode = Canvas.CopyMode();
  Canvas.SetCopyMode(cmSrcCopy);
  if (FMode == wpTile) PaintTiles(Canvas, Area);
  else PaintPlaced(Canvas, Area);
  Canvas.SetCopyMode(mode);
}

void TMDIWallpaper::PaintTiles(TCanvas& Canvas, const TRect& Area) {
  const int32_t w = std::max(1, FTileWidth), h = std::max(1, FTileHeight);
  const int32_t ox = FIsMDIClient ? FScrollX : Area.Left, oy = FIsMDIClient ? FScrollY : Area.Top;
  const int32_t x0 = Start(ox, w), y0 = Start(oy, h);
  const int32_t pw = FCache ? w : FPicture->Width(), ph = FCache ? h : FPicture->Height();
  const int32_t wExt = Area.Right - x0, hExt = Area.Bottom - y0;
  if (FShiftMode == smColumns) {
    const int32_t first = -(ox / w) - (ox > 0 ? 1 : 0);
    int32_t s = FZigzag ? ((first & 1) ? Half(h) : 0) : Mod(int32_t(int64_t(first) * FShift % h), h);
    if (wExt - 1 < 0) return;
    for (int32_t c = 0; c <= (wExt - 1) / w; ++c) {
      for (int32_t r = s != 0 ? -1 : 0; r <= (hExt - 1) / h; ++r) DrawImage(Canvas, Bounds(x0 + c * w, y0 + r * h + s, pw, ph));
      s = FZigzag ? (s ^ Half(h)) : Mod(s + FShift, h);
    }
  } else {
    const int32_t first = -(oy / h) - (oy > 0 ? 1 : 0);
    int32_t s = FZigzag ? ((first & 1) ? Half(w) : 0) : Mod(int32_t(int64_t(first) * FShift % w), w);
    if (hExt - 1 < 0) return;
    for (int32_t r = 0; r <= (hExt - 1) / h; ++r) {
      for (int32_t c = s != 0 ? -1 : 0; c <= (wExt - 1) / w; ++c) DrawImage(Canvas, Bounds(x0 + c * w + s, y0 + r * h, pw, ph));
      s = FZigzag ? (s ^ Half(w)) : Mod(s + FShift, w);
    }
  }
}

void TMDIWallpaper::PaintPlaced(TCanvas& Canvas, const TRect& Area) {
  const int32_t L = Area.Left, T = Area.Top, R = Area.Right, B = Area.Bottom, W = Area.Width(), H = Area.Height();
  TRect pic = Area;
  if (FMode != wpStretch) {
    int32_t pw = FPicture->Width(), ph = FPicture->Height();
    if (FFitPictureSize) {
      const float scale = std::min(float(W) / float(pw), float(H) / float(ph));
      pw = int32_t(Round(double(float(pw) * scale)));
      ph = int32_t(Round(double(float(ph) * scale)));
    }
    int32_t x = L, y = T;
    switch (FMode) {
      case wpCenter: x = L + Half(W - pw), y = T + Half(H - ph); break;
      case wpTopRight: x = R - pw; break;
      case wpBottomLeft: y = B - ph; break;
      case wpBottomRight: x = R - pw, y = B - ph; break;
      case wpTop: x = L + Half(W - pw); break;
      case wpLeft: y = T + Half(H - ph); break;
      case wpBottom: x = L + Half(W - pw), y = B - ph; break;
      case wpRight: x = R - pw, y = T + Half(H - ph); break;
      default: break;  // wpTopLeft
    }
    pic = Bounds(x, y, pw, ph);
    // What the picture leaves of the area takes the client's brush.
    Canvas.Brush().SetColor(ClientColor());
    Canvas.Brush().SetStyle(bsSolid);
    const TRect bands[4] = {Rect(L, T, R, std::min(B, pic.Top)), Rect(L, std::max(T, pic.Bottom), R, B),
                            Rect(L, std::max(T, pic.Top), std::min(R, pic.Left), std::min(B, pic.Bottom)),
                            Rect(std::max(L, pic.Right), std::max(T, pic.Top), R, std::min(B, pic.Bottom))};
    for (const TRect& b : bands)
      if (b.Width() > 0 && b.Height() > 0) Canvas.FillRect(b);
  }
  DrawImage(Canvas, pic);
}

}  // namespace kv
