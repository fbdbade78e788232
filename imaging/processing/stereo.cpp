#include "imaging/processing/stereo.h"

#include <algorithm>
#include <cstring>
#include <vector>

#include "imaging/model/pixel.h"
#include "imaging/processing/rotate.h"
#include "platform/graphics/bitmap.h"

namespace kv {

namespace {

TBGRPixel* Row(TBitmap& B, int32_t Y) { return static_cast<TBGRPixel*>(B.ScanLine(Y)); }
const TBGRPixel* Row(const TBitmap& B, int32_t Y) { return static_cast<const TBGRPixel*>(B.ScanLine(Y)); }

// A pf24bit picture of W x H, all black.
void MakeBlack(TBitmap& B, int32_t W, int32_t H) {
  B.SetPixelFormat(pf24bit);
  B.SetSize(std::max(W, 0), std::max(H, 0));
  for (int32_t y = 0; y < B.Height(); ++y) std::memset(B.ScanLine(y), 0, size_t(B.Width()) * 3);
}

// Draws Source with its top-left corner at (X, Y) into Target, clipped.
void DrawAt(TBitmap& Target, const TBitmap& Source, int32_t X, int32_t Y) {
  const int32_t x0 = std::max(X, 0), x1 = std::min(X + Source.Width(), Target.Width());
  if (x0 >= x1) return;
  for (int32_t ty = std::max(Y, 0); ty < std::min(Y + Source.Height(), Target.Height()); ++ty)
    std::memcpy(Row(Target, ty) + x0, Row(Source, ty - Y) + (x0 - X), size_t(x1 - x0) * 3);
}

// Target becomes Source's top-left W x H part, black where Source is smaller.
void CopyResized(TBitmap& Target, const TBitmap& Source, int32_t W, int32_t H) {
  MakeBlack(Target, W, H);
  DrawAt(Target, Source, 0, 0);
}

void Grey(TBitmap& B) {
  for (int32_t y = 0; y < B.Height(); ++y) {
    TBGRPixel* r = Row(B, y);
    for (int32_t x = 0; x < B.Width(); ++x) {
      const uint8_t g = uint8_t((21 * r[x].r + 71 * r[x].g + 7 * r[x].b) / 100);
      r[x] = {g, g, g};
    }
  }
}

void Mirror(TBitmap& B) {
  for (int32_t y = 0; y < B.Height(); ++y) std::reverse(Row(B, y), Row(B, y) + B.Width());
}

// Columns From .. From + Count - 1 of Source stretched (nearest pixel) into W x H.
void StretchColumns(TBitmap& Target, const TBitmap& Source, int32_t From, int32_t Count, int32_t W) {
  const int32_t h = Source.Height();
  MakeBlack(Target, W, h);
  if (W <= 0 || Count <= 0) return;
  std::vector<int32_t> map(static_cast<size_t>(W));
  for (int32_t x = 0; x < W; ++x) map[size_t(x)] = From + int32_t(int64_t(x) * Count / W);
  for (int32_t y = 0; y < h; ++y) {
    const TBGRPixel* s = Row(Source, y);
    TBGRPixel* t = Row(Target, y);
    for (int32_t x = 0; x < W; ++x) t[x] = s[map[size_t(x)]];
  }
}

}  // namespace

void MakeAnaglyph(TBitmap& Left, TBitmap& Right, TBitmap& Output, int32_t Kind, int32_t Dx, int32_t Dy, int32_t Dr) {
  if (Left.PixelFormat() != pf24bit || Right.PixelFormat() != pf24bit) return;
  const int32_t w = std::min(Left.Width(), Right.Width());
  const int32_t h = std::min(Left.Height(), Right.Height());
  if (Kind == skMonochrome) {
    Grey(Left);
    Grey(Right);
  }
  if (Dr != 0) RotateBitmap(Right, Dr, true, TColor(0), nullptr, nullptr);
  if (Dx != 0 || Dy != 0) {
    TBitmap moved;
    MakeBlack(moved, Right.Width(), Right.Height());
    DrawAt(moved, Right, Dx, Dy);
    Right.TakeOver(moved);
  }
  switch (Kind) {
    case skRedBlue:
    case skRedGreen:
    case skRedCyanColour:
    case skMonochrome: {
      if (Output.PixelFormat() != pf24bit || Output.Width() != w || Output.Height() != h) MakeBlack(Output, w, h);
      for (int32_t y = 0; y < h; ++y) {
        const TBGRPixel* l = Row(Left, y);
        const TBGRPixel* r = Row(Right, y);
        TBGRPixel* o = Row(Output, y);
        for (int32_t x = 0; x < w; ++x) {
          o[x].r = l[x].r;
          if (Kind != skRedGreen) o[x].b = r[x].b;
          if (Kind != skRedBlue) o[x].g = r[x].g;
        }
      }
      break;
    }
    case skParallel:
      CopyResized(Output, Left, 2 * w, h);
      DrawAt(Output, Right, w, 0);
      break;
    case skCrossed:
      CopyResized(Output, Right, 2 * w, h);
      DrawAt(Output, Left, w, 0);
      break;
    case skMirror:
      Mirror(Left);
      CopyResized(Output, Left, 2 * w + kStereoMirrorGap, h);
      DrawAt(Output, Right, w + kStereoMirrorGap, 0);
      break;
    case skShutter:
      MakeBlack(Output, w, h);
      for (int32_t y = 0; y < h; ++y)
        std::memcpy(Row(Output, y), Row(y % 2 == 1 ? Left : Right, y), size_t(w) * 3);
      break;
    default: break;
  }
}

void SplitStereoImage(TBitmap& Left, TBitmap& Right, const TBitmap& Stereo, int32_t Kind) {
  if (Stereo.PixelFormat() != pf24bit) return;
  const int32_t W = Stereo.Width(), H = Stereo.Height(), a = W / 2;
  switch (Kind) {
    case skRedBlue:
    case skRedGreen:
    case skRedCyanColour:
      MakeBlack(Left, W, H);
      MakeBlack(Right, W, H);
      for (int32_t y = 0; y < H; ++y) {
        const TBGRPixel* s = Row(Stereo, y);
        TBGRPixel* l = Row(Left, y);
        TBGRPixel* r = Row(Right, y);
        for (int32_t x = 0; x < W; ++x) {
          l[x].r = s[x].r;
          if (Kind != skRedBlue) r[x].g = s[x].g;
          if (Kind != skRedGreen) r[x].b = s[x].b;
        }
      }
      break;
    case skMonochrome:
      MakeBlack(Left, W, H);
      MakeBlack(Right, W, H);
      for (int32_t y = 0; y < H; ++y) {
        const TBGRPixel* s = Row(Stereo, y);
        TBGRPixel* l = Row(Left, y);
        TBGRPixel* r = Row(Right, y);
        for (int32_t x = 0; x < W; ++x) {
          l[x] = {s[x].r, s[x].r, s[x].r};
          r[x] = {s[x].g, s[x].g, s[x].g};
        }
      }
      break;
    case skParallel:
      CopyResized(Left, Stereo, a, H);
      StretchColumns(Right, Stereo, a, W - a, a);
      break;
    case skCrossed:
      CopyResized(Right, Stereo, a, H);
      StretchColumns(Left, Stereo, a, W - a, a);
      break;
    case skMirror: {
      const int32_t half = std::max(a - 5, 0);
      CopyResized(Left, Stereo, half, H);
      Mirror(Left);
      StretchColumns(Right, Stereo, a + 5, std::max(W - (a + 5), 0), half);
      break;
    }
    case skShutter:
      MakeBlack(Left, W, H);
      MakeBlack(Right, W, H);
      for (int32_t y = 0; y < H; ++y) {
        int32_t ly = y % 2 == 1 ? y : y + 1;
        if (ly >= H) ly = y - 1;
        const int32_t ry = y % 2 == 0 ? y : y - 1;
        if (ly >= 0) std::memcpy(Row(Left, y), Row(Stereo, ly), size_t(W) * 3);
        if (ry >= 0) std::memcpy(Row(Right, y), Row(Stereo, ry), size_t(W) * 3);
      }
      break;
    default: break;
  }
}

}  // namespace kv
