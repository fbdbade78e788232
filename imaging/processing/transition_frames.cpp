#include "imaging/processing/transition_frames.h"

#include <algorithm>
#include <cstring>

#include "platform/rtl/pascal_math.h"
#include "platform/rtl/random.h"

namespace kv {

namespace {

struct TFrames {
  const TBitmap& From;
  const TBitmap& To;
  TBitmap& Frame;
  int32_t W;
  int32_t H;

  const uint8_t* FromRow(int32_t y) const { return static_cast<const uint8_t*>(From.ScanLine(y)); }
  const uint8_t* ToRow(int32_t y) const { return static_cast<const uint8_t*>(To.ScanLine(y)); }
  uint8_t* FrameRow(int32_t y) const { return static_cast<uint8_t*>(Frame.ScanLine(y)); }
};

// p * n shr 10 of the Part's arithmetic; n and p are non-negative.
int32_t Scale(int64_t p, int64_t n) { return static_cast<int32_t>((p * n) >> 10); }
int32_t RoundScale(int64_t p, int64_t n) { return Round32(static_cast<double>(p) * static_cast<double>(n) / 1024.0); }

void CopyAll(const TFrames& f, const TBitmap& Source) {
  const size_t n = size_t(f.W) * 3;
  for (int32_t y = 0; y < f.H; ++y) std::memcpy(f.FrameRow(y), Source.ScanLine(y), n);
}

// Copies the rectangle X, Y, W x H of Source to the same place in the frame,
// clipped to the picture.
void CopyArea(const TFrames& f, const TBitmap& Source, int64_t X, int64_t Y, int64_t W, int64_t H) {
  const int64_t x1 = std::max<int64_t>(X, 0), x2 = std::min<int64_t>(X + W, f.W);
  const int64_t y1 = std::max<int64_t>(Y, 0), y2 = std::min<int64_t>(Y + H, f.H);
  if (x1 >= x2 || y1 >= y2) return;
  for (int64_t y = y1; y < y2; ++y)
    std::memcpy(f.FrameRow(int32_t(y)) + x1 * 3, static_cast<const uint8_t*>(Source.ScanLine(int32_t(y))) + x1 * 3,
                size_t(x2 - x1) * 3);
}

// Draws the whole of Source with its top-left corner at (X, Y), clipped.
void DrawAt(const TFrames& f, const TBitmap& Source, int64_t X, int64_t Y) {
  const int64_t x1 = std::max<int64_t>(X, 0), x2 = std::min<int64_t>(X + f.W, f.W);
  const int64_t y1 = std::max<int64_t>(Y, 0), y2 = std::min<int64_t>(Y + f.H, f.H);
  if (x1 >= x2 || y1 >= y2) return;
  for (int64_t y = y1; y < y2; ++y)
    std::memcpy(f.FrameRow(int32_t(y)) + x1 * 3,
                static_cast<const uint8_t*>(Source.ScanLine(int32_t(y - Y))) + (x1 - X) * 3, size_t(x2 - x1) * 3);
}

// The whole of Source stretched (nearest pixel) into X, Y, W x H, clipped.
void StretchInto(const TFrames& f, const TBitmap& Source, int64_t X, int64_t Y, int64_t W, int64_t H) {
  if (W <= 0 || H <= 0) return;
  const int64_t x1 = std::max<int64_t>(X, 0), x2 = std::min<int64_t>(X + W, f.W);
  const int64_t y1 = std::max<int64_t>(Y, 0), y2 = std::min<int64_t>(Y + H, f.H);
  for (int64_t y = y1; y < y2; ++y) {
    const int64_t sy = (y - Y) * f.H / H;
    const uint8_t* src = static_cast<const uint8_t*>(Source.ScanLine(int32_t(sy)));
    uint8_t* dst = f.FrameRow(int32_t(y));
    for (int64_t x = x1; x < x2; ++x) {
      const int64_t sx = (x - X) * f.W / W;
      std::memcpy(dst + x * 3, src + sx * 3, 3);
    }
  }
}

void VerticalLine(const TFrames& f, int64_t X) {
  if (X < 0 || X >= f.W) return;
  for (int32_t y = 0; y < f.H; ++y) {
    uint8_t* px = f.FrameRow(y) + X * 3;
    px[0] = 0, px[1] = 0, px[2] = 255;
  }
}

void HorizontalLine(const TFrames& f, int64_t Y) {
  if (Y < 0 || Y >= f.H) return;
  uint8_t* row = f.FrameRow(int32_t(Y));
  for (int32_t x = 0; x < f.W; ++x) row[x * 3] = 0, row[x * 3 + 1] = 0, row[x * 3 + 2] = 255;
}

// (A * WA + B * WB) shr 10 per channel, WA + WB = 1024; a null picture
// stands for the flat colour beside it.
void Blend(const TFrames& f, const TBitmap* A, const uint8_t* ColourA, int32_t WA, const TBitmap* B,
           const uint8_t* ColourB, int32_t WB) {
  for (int32_t y = 0; y < f.H; ++y) {
    const uint8_t* a = A ? static_cast<const uint8_t*>(A->ScanLine(y)) : nullptr;
    const uint8_t* b = B ? static_cast<const uint8_t*>(B->ScanLine(y)) : nullptr;
    uint8_t* dst = f.FrameRow(y);
    for (int32_t x = 0; x < f.W; ++x, dst += 3) {
      for (int c = 0; c < 3; ++c) {
        const int32_t va = a ? a[x * 3 + c] : ColourA[c];
        const int32_t vb = b ? b[x * 3 + c] : ColourB[c];
        dst[c] = static_cast<uint8_t>((va * WA + vb * WB) >> 10);
      }
    }
  }
}

void Fade(const TFrames& f, const uint8_t* Bgr, bool Out, int32_t p) {
  const int32_t q = kTransitionFull - p;
  if (Out)
    Blend(f, nullptr, Bgr, p, &f.From, nullptr, q);  // (B * p + from * q) shr 10
  else
    Blend(f, nullptr, Bgr, q, &f.To, nullptr, p);    // (B * q + to * p) shr 10
}

// Rows made of two pieces: Count pixels of First starting at FirstStart, then
// W - Count pixels of Second starting at 0.
void SplitRows(const TFrames& f, const TBitmap& First, int32_t FirstStart, const TBitmap& Second, int32_t Count) {
  Count = std::clamp(Count, 0, f.W);
  for (int32_t y = 0; y < f.H; ++y) {
    uint8_t* dst = f.FrameRow(y);
    std::memcpy(dst, static_cast<const uint8_t*>(First.ScanLine(y)) + size_t(FirstStart) * 3, size_t(Count) * 3);
    std::memcpy(dst + size_t(Count) * 3, Second.ScanLine(y), size_t(f.W - Count) * 3);
  }
}

// Rows 0..Count-1 from First's rows FirstStart.., the rest from Second's rows SecondStart...
void SplitColumns(const TFrames& f, const TBitmap& First, int32_t FirstStart, const TBitmap& Second,
                  int32_t SecondStart, int32_t Count) {
  Count = std::clamp(Count, 0, f.H);
  const size_t n = size_t(f.W) * 3;
  for (int32_t y = 0; y < Count; ++y) std::memcpy(f.FrameRow(y), First.ScanLine(FirstStart + y), n);
  for (int32_t y = Count; y < f.H; ++y) std::memcpy(f.FrameRow(y), Second.ScanLine(SecondStart + y - Count), n);
}

struct TCentre {
  int64_t X, Y, W, H;
};
TCentre CentredRect(const TFrames& f, int32_t p) {
  return {f.W / 2 - Scale(p, f.W / 2), f.H / 2 - Scale(p, f.H / 2), Scale(p, f.W), Scale(p, f.H)};
}

}  // namespace

void DrawTransitionFrame(TIMTransitionType Transition, int32_t Progress, const TBitmap& From, const TBitmap& To,
                         TBitmap& Frame, TColor Background, int32_t& LastCount) {
  const int32_t w = Frame.Width(), h = Frame.Height();
  if (w <= 0 || h <= 0 || Frame.PixelFormat() != pf24bit || From.PixelFormat() != pf24bit ||
      To.PixelFormat() != pf24bit || From.Width() != w || From.Height() != h || To.Width() != w || To.Height() != h)
    return;
  const TFrames f{From, To, Frame, w, h};
  const int32_t p = std::clamp(Progress, 0, kTransitionFull);
  const int32_t q = kTransitionFull - p;
  const TColorRef rgb = ColorToRGB(Background);
  const uint8_t bgr[3] = {GetBValue(rgb), GetGValue(rgb), GetRValue(rgb)};

  // The effects that grow over the last frame begin with the old picture.
  const bool grows = Transition != imttCrossDissolve && Transition != imttFadeOut && Transition != imttFadeIn &&
                     Transition != imttFadeOutIn && (Transition < imttMoveLeftRight1 || Transition > imttMoveDownUp2) &&
                     Transition != imttCenter2 && Transition != imttCenterZoom2;
  if (p == 0 && grows) CopyAll(f, From);

  switch (Transition) {
    case imttNone:
      break;
    case imttCrossDissolve:
      Blend(f, &From, nullptr, q, &To, nullptr, p);
      break;
    case imttFadeOut:
      Fade(f, bgr, true, p);
      break;
    case imttFadeIn:
      Fade(f, bgr, false, p);
      break;
    case imttFadeOutIn:
      if (p < 512)
        Fade(f, bgr, true, 2 * p);
      else
        Fade(f, bgr, false, 2 * p - kTransitionFull);
      break;
    case imttLeftRight1:
    case imttLeftRight2: {
      const int32_t x = Scale(p, w);
      CopyArea(f, To, 0, 0, x, h);
      if (Transition == imttLeftRight2) VerticalLine(f, x);
      break;
    }
    case imttRightLeft1:
    case imttRightLeft2: {
      const int32_t x = RoundScale(w, q);
      CopyArea(f, To, x, 0, RoundScale(p, w), h);
      if (Transition == imttRightLeft2) VerticalLine(f, x);
      break;
    }
    case imttUpDown1:
    case imttUpDown2: {
      const int32_t y = RoundScale(p, h);
      CopyArea(f, To, 0, 0, w, y);
      if (Transition == imttUpDown2) HorizontalLine(f, y);
      break;
    }
    case imttDownUp1:
    case imttDownUp2: {
      const int32_t y = RoundScale(h, q);
      CopyArea(f, To, 0, y, w, RoundScale(p, h));
      if (Transition == imttDownUp2) HorizontalLine(f, y);
      break;
    }
    case imttFromUpLeft:
      DrawAt(f, To, -Scale(q, w), -Scale(q, h));
      break;
    case imttFromUpRight:
      DrawAt(f, To, Scale(q, w), -Scale(q, h));
      break;
    case imttFromBottomLeft:
      DrawAt(f, To, -Scale(q, w), Scale(q, h));
      break;
    case imttFromBottomRight:
      DrawAt(f, To, Scale(q, w), Scale(q, h));
      break;
    case imttMoveLeftRight1: {
      const int32_t n = Scale(p, w);
      SplitRows(f, To, w - n, From, n);
      break;
    }
    case imttMoveLeftRight2:
      SplitRows(f, To, 0, From, Scale(p, w));
      break;
    case imttMoveRightLeft1: {
      const int32_t n = Scale(q, w);
      SplitRows(f, From, w - n, To, n);
      break;
    }
    case imttMoveRightLeft2:
      SplitRows(f, From, 0, To, Scale(q, w));
      break;
    case imttMoveUpDown1: {
      const int32_t n = Scale(p, h);
      SplitColumns(f, To, h - n, From, 0, n);
      break;
    }
    case imttMoveUpDown2:
      SplitColumns(f, To, 0, From, 0, Scale(p, h));
      break;
    case imttMoveDownUp1: {
      const int32_t n = Scale(q, h);
      SplitColumns(f, From, h - n, To, 0, n);
      break;
    }
    case imttMoveDownUp2: {
      const int32_t n = Scale(q, h);
      SplitColumns(f, From, h - n, To, n, n);
      break;
    }
    case imttRandomPoints:
      if (p == 0) break;
      {
        const int32_t c = Round32(double(p) * w * (p / 180.0) / 1024.0);
        const int32_t n = c - LastCount;
        for (int32_t y = 0; y < h && n > 0; ++y) {
          const uint8_t* src = f.ToRow(y);
          uint8_t* dst = f.FrameRow(y);
          for (int32_t i = 0; i < n; ++i) {
            const int32_t x = Random(w);
            std::memcpy(dst + size_t(x) * 3, src + size_t(x) * 3, 3);
          }
        }
        LastCount = c;
      }
      break;
    case imttRandomBoxes:
      if (p == 0) break;
      {
        const int32_t c = Round32(double(p) * ((int64_t(w) * h) / 64) * (p / 180.0) / 1024.0);
        for (int32_t i = LastCount; i < c; ++i) {
          const int32_t x = Random(w) / 8 * 8;
          const int32_t y = Random(h) / 8 * 8;
          CopyArea(f, To, x, y, 8, 8);
        }
        LastCount = c;
      }
      break;
    case imttCenter1: {
      const TCentre r = CentredRect(f, p);
      CopyArea(f, To, r.X, r.Y, r.W, r.H);
      break;
    }
    case imttCenter2: {
      CopyAll(f, To);
      const TCentre r = CentredRect(f, q);
      CopyArea(f, From, r.X, r.Y, r.W, r.H);
      break;
    }
    case imttCenterZoom1: {
      const TCentre r = CentredRect(f, p);
      StretchInto(f, To, r.X, r.Y, r.W, r.H);
      break;
    }
    case imttCenterZoom2: {
      CopyAll(f, To);
      const TCentre r = CentredRect(f, q);
      StretchInto(f, From, r.X, r.Y, r.W, r.H);
      break;
    }
  }
}

}  // namespace kv
