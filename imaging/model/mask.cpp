#include "imaging/model/mask.h"

#include <algorithm>
#include <cstring>
#include <new>

#include "imaging/model/pixel.h"
#include "platform/graphics/canvas.h"
#include "platform/rtl/exceptions.h"
#include "platform/rtl/pascal_math.h"

namespace kv {

namespace {

// Largest plane a mask (or its outline work plane) may hold.
constexpr int64_t kMaxPlaneBytes = int64_t(1) << 34;

std::unique_ptr<uint8_t[]> ZeroedBlock(int64_t Size) {
  if (Size > kMaxPlaneBytes) throw EOutOfMemory();
  std::unique_ptr<uint8_t[]> p(new (std::nothrow) uint8_t[size_t(Size)]());
  if (!p) throw EOutOfMemory();
  return p;
}

int32_t Clamp32(int64_t V, int64_t Lo, int64_t Hi) { return static_cast<int32_t>(std::clamp(V, Lo, Hi)); }

// An edge of the polygon fill: upper point, lower y, and the offsets to the lower point.
struct TPolyEdge {
  int64_t X;  // crossing at the present scan line
  int64_t XUpper;
  int64_t YUpper;
  int64_t YEnd;
  int64_t DX;
  int64_t DY;  // > 0
};

// Crossing of an edge with scan line Y: the exact crossing rounded to the
// nearest pixel, halves toward the upper point's x. This is where the
// incremental error-term walk lands, without walking the rows above the plane.
int64_t CrossingAt(const TPolyEdge& E, int64_t Y) {
  if (E.DX == 0) return E.XUpper;
  const __int128 t = static_cast<__int128>(Y - E.YUpper) * (E.DX < 0 ? -E.DX : E.DX);
  const __int128 a = 2 * t - E.DY, b = 2 * static_cast<__int128>(E.DY);
  const __int128 n = a >= 0 ? (a + b - 1) / b : -((-a) / b);  // ceil(a / b)
  return E.XUpper + static_cast<int64_t>(E.DX < 0 ? -n : n);
}

// dx/dy of A is not smaller than that of B (dy > 0 for both).
bool SlopeNotSmaller(const TPolyEdge& A, const TPolyEdge& B) {
  return static_cast<__int128>(A.DX) * B.DY >= static_cast<__int128>(B.DX) * A.DY;
}

bool ByX(const TPolyEdge& A, const TPolyEdge& B) { return A.X < B.X; }

}  // namespace

TIMMask::TIMMask() = default;
TIMMask::~TIMMask() = default;

void TIMMask::EmptyBox() {
  X1 = Y1 = MaxInt;
  X2 = Y2 = 0;
}

void TIMMask::ClampBox() {
  X1 = std::max(X1, 0);
  Y1 = std::max(Y1, 0);
  X2 = std::min(X2, Width - 1);
  Y2 = std::min(Y2, Height - 1);
}

void TIMMask::GrowBox(int32_t X, int32_t Y) {
  X1 = std::min(X1, X);
  X2 = std::max(X2, X);
  Y1 = std::min(Y1, Y);
  Y2 = std::max(Y2, Y);
  ClampBox();
}

void TIMMask::AllocateBits(int32_t AWidth, int32_t AHeight, int32_t ABitsPerPixel) {
  FreeBits();
  // Emptied first: a plane that cannot be had leaves an empty mask, not a stale box.
  EmptyBox();
  Full = false;
  if (AWidth <= 0 || AHeight <= 0) {
    BitsPerPixel = ABitsPerPixel;
    return;
  }
  if (ABitsPerPixel == 1 || ABitsPerPixel == 8) {
    const int64_t rowBytes = ABitsPerPixel == 1 ? BytesPerScanLine(AWidth, 1) : AWidth;
    Bits = ZeroedBlock(rowBytes * AHeight);
    RowBytes = static_cast<int32_t>(rowBytes);
  }
  Width = AWidth;
  Height = AHeight;
  BitsPerPixel = ABitsPerPixel;
}

void TIMMask::FreeBits() {
  Bits.reset();
  Width = Height = BitsPerPixel = RowBytes = 0;
}

void TIMMask::Assign(const TIMMask* Source) {
  if (!Source || Source == this) return;
  AllocateBits(Source->Width, Source->Height, Source->BitsPerPixel);
  if (Bits && Source->Bits) std::memcpy(Bits.get(), Source->Bits.get(), size_t(int64_t(RowBytes) * Height));
  X1 = Source->X1;
  Y1 = Source->Y1;
  X2 = Source->X2;
  Y2 = Source->Y2;
  Full = Source->Full;
}

uint8_t* TIMMask::ScanLine(int32_t Y) {
  if (!Bits || Y < 0 || Y >= Height) return nullptr;
  return Bits.get() + int64_t(RowBytes) * (Height - Y - 1);
}

const uint8_t* TIMMask::ScanLine(int32_t Y) const { return const_cast<TIMMask*>(this)->ScanLine(Y); }

void TIMMask::SetPixel(int32_t X, int32_t Y, uint8_t Value) {
  if (!Bits || X < 0 || Y < 0 || X >= Width || Y >= Height) return;
  uint8_t* row = ScanLine(Y);
  if (BitsPerPixel == 1) {
    SetBit(row, X, Value != 0);
  } else {
    row[X] = Value;
    if (Value != 255) Full = false;
  }
  if (Value != 0) GrowBox(X, Y);
}

uint8_t TIMMask::GetPixel(int32_t X, int32_t Y) const {
  if (!Bits || X < 0 || Y < 0 || X >= Width || Y >= Height) return 0;
  const uint8_t* row = ScanLine(Y);
  return BitsPerPixel == 1 ? TestBit(row, X) : row[X];
}

void TIMMask::Fill(uint8_t Value) {
  if (BitsPerPixel != 1 && BitsPerPixel != 8) return;
  if (Bits) std::memset(Bits.get(), Value, size_t(int64_t(RowBytes) * Height));
  Full = BitsPerPixel == 1 || Value == 255;
}

void TIMMask::Empty() {
  Fill(0);
  EmptyBox();
}

int32_t TIMMask::FillRow(uint8_t Value, int32_t XFrom, int32_t Y, int32_t XTo) {
  uint8_t* row = ScanLine(Y);
  if (!row) return 0;
  XFrom = std::max(XFrom, 0);
  XTo = std::min(XTo, Width - 1);
  if (XTo < XFrom) return 0;
  if (BitsPerPixel == 1) {
    // A zero value clears, as a 1-bit pixel write does everywhere else.
    FillBitRun(row, XFrom, XTo, Value != 0);
  } else {
    std::memset(row + XFrom, Value, size_t(XTo - XFrom + 1));
    if (Value != 255) Full = false;
  }
  return XTo - XFrom + 1;
}

void TIMMask::DrawPolygons(uint8_t Value, const TPoint* Points, int32_t Count) {
  if (!Bits || !Points || Count <= 0) return;
  int32_t start = 0;
  for (int32_t i = 0; i <= Count; ++i) {
    if (i < Count && Points[i].X != kPolygonSeparator) continue;
    if (i > start) FillPolygon(Value, Points + start, i - start);
    start = i + 1;
  }
}

void TIMMask::FillPolygon(uint8_t Value, const TPoint* P, int32_t N) {
  const int32_t oldX1 = X1, oldY1 = Y1, oldX2 = X2, oldY2 = Y2;
  int64_t ymin = P[0].Y, ymax = P[0].Y;
  for (int32_t i = 0; i < N; ++i) {
    const int32_t x = P[i].X, y = P[i].Y;
    if (Value != 0) {
      // Right and bottom edges are exclusive.
      X1 = std::min(X1, x);
      Y1 = std::min(Y1, y);
      if (x > X2) X2 = x - 1;
      if (y > Y2) Y2 = y - 1;
    }
    ymin = std::min<int64_t>(ymin, y);
    ymax = std::max<int64_t>(ymax, y);
  }
  if (Value != 0) ClampBox();

  std::vector<TPolyEdge> edges;
  edges.reserve(size_t(N));
  for (int32_t i = 0; i < N; ++i) {
    const TPoint& a = P[i];
    const TPoint& b = P[(i + 1) % N];
    if (a.Y == b.Y) continue;
    const TPoint& up = a.Y < b.Y ? a : b;
    const TPoint& lo = a.Y < b.Y ? b : a;
    edges.push_back(TPolyEdge{up.X, up.X, up.Y, lo.Y, int64_t(lo.X) - up.X, int64_t(lo.Y) - up.Y});
  }
  // The edge table: edges by the scan line they start on, in point order.
  std::stable_sort(edges.begin(), edges.end(),
                   [](const TPolyEdge& a, const TPolyEdge& b) { return a.YUpper < b.YUpper; });

  std::vector<TPolyEdge> active;
  size_t next = 0;
  int64_t written = 0;
  const int64_t yLast = std::min<int64_t>(ymax, int64_t(Height) - 1);
  for (int64_t y = ymin; y <= yLast;) {
    std::erase_if(active, [y](const TPolyEdge& e) { return e.YEnd <= y; });
    for (TPolyEdge& e : active) e.X = CrossingAt(e, y);
    // Edges of a polygon that crosses itself swap places where they cross:
    // keep the list in x order so that every pair is a span.
    if (!std::is_sorted(active.begin(), active.end(), ByX))
      std::stable_sort(active.begin(), active.end(), ByX);
    for (; next < edges.size() && edges[next].YUpper == y; ++next) {
      const TPolyEdge& e = edges[next];
      auto at = std::find_if(active.begin(), active.end(), [&e](const TPolyEdge& a) {
        return a.X > e.X || (a.X == e.X && SlopeNotSmaller(a, e));
      });
      active.insert(at, e);
    }
    if (y >= 0) {
      for (size_t k = 0; k + 1 < active.size(); k += 2)
        written += FillRow(Value, Clamp32(active[k].X, -1, Width), int32_t(y),
                           Clamp32(active[k + 1].X - 1, -1, Width));
      ++y;
    } else {
      // Rows above the plane fill nothing: go straight to the next row where
      // the active list changes (or the top row).
      int64_t to = 0;
      if (next < edges.size()) to = std::min(to, edges[next].YUpper);
      for (const TPolyEdge& e : active) to = std::min(to, e.YEnd);
      y = std::max(y + 1, to);
    }
  }
  // A polygon that sets nothing leaves the box as it found it (an earlier
  // selection keeps its box).
  if (written == 0) {
    X1 = oldX1;
    Y1 = oldY1;
    X2 = oldX2;
    Y2 = oldY2;
  }
}

void TIMMask::TranslateBits(int32_t& DX, int32_t& DY, bool Clip) {
  if (!Bits || IsEmpty()) return;  // nothing selected, nothing to move
  int64_t dx = DX, dy = DY;
  int64_t bx1 = X1, by1 = Y1, bx2 = X2, by2 = Y2;
  const int64_t w = Width, h = Height;
  if (Clip) {
    if (bx1 + dx < 0) bx1 = -dx;
    if (by1 + dy < 0) by1 = -dy;
    if (bx2 + dx >= w) bx2 = w - 1 - dx;
    if (by2 + dy >= h) by2 = h - 1 - dy;
  } else {
    if (bx1 + dx < 0) dx = -bx1;
    if (bx2 + dx > w - 1) dx = w - 1 - bx2;
    if (by1 + dy < 0) dy = -by1;
    if (by2 + dy > h - 1) dy = h - 1 - by2;
    DX = static_cast<int32_t>(dx);
    DY = static_cast<int32_t>(dy);
  }
  if (dx == 0 && dy == 0) return;

  const int64_t size = int64_t(RowBytes) * Height;
  std::unique_ptr<uint8_t[]> copy = ZeroedBlock(size);
  std::memcpy(copy.get(), Bits.get(), size_t(size));
  std::memset(Bits.get(), 0, size_t(size));
  // Source columns and rows whose target lies inside the plane.
  const int64_t xs0 = std::max({bx1, int64_t(0), -dx}), xs1 = std::min({bx2, w - 1, w - 1 - dx});
  const int64_t ys0 = std::max({by1, int64_t(0), -dy}), ys1 = std::min({by2, h - 1, h - 1 - dy});
  if (xs0 <= xs1) {
    const int32_t n = static_cast<int32_t>(xs1 - xs0 + 1);
    for (int64_t y = ys0; y <= ys1; ++y) {
      const uint8_t* src = copy.get() + int64_t(RowBytes) * (h - y - 1);
      uint8_t* dst = ScanLine(static_cast<int32_t>(y + dy));
      if (BitsPerPixel == 1)
        OrBitRun(src, RowBytes, static_cast<int32_t>(xs0), dst, static_cast<int32_t>(xs0 + dx), n);
      else
        std::memcpy(dst + xs0 + dx, src + xs0, size_t(n));
    }
  }
  X1 = Clamp32(bx1 + dx, 0, w - 1);
  Y1 = Clamp32(by1 + dy, 0, h - 1);
  X2 = Clamp32(bx2 + dx, 0, w - 1);
  Y2 = Clamp32(by2 + dy, 0, h - 1);
}

void TIMMask::CopyThroughMask(TBitmap& Dest, const TBitmap& Source, bool SrcBoxSized, bool DstBoxSized) {
  if (!Bits || (BitsPerPixel != 1 && BitsPerPixel != 8)) return;
  if (X2 < X1 || Y2 < Y1) return;
  const TPixelFormat pf = Source.PixelFormat();
  if (pf != Dest.PixelFormat() || (pf != pf24bit && pf != pf1bit)) return;
  const int64_t sx = SrcBoxSized ? X1 : 0, sy = SrcBoxSized ? Y1 : 0;
  const int64_t dx = DstBoxSized ? X1 : 0, dy = DstBoxSized ? Y1 : 0;
  // Only positions inside the plane and inside both bitmaps.
  const int64_t xa = std::max({int64_t(X1), int64_t(0), sx, dx});
  const int64_t xb = std::min({int64_t(X2), int64_t(Width) - 1, sx + Source.Width() - 1, dx + Dest.Width() - 1});
  const int64_t ya = std::max({int64_t(Y1), int64_t(0), sy, dy});
  const int64_t yb = std::min({int64_t(Y2), int64_t(Height) - 1, sy + Source.Height() - 1, dy + Dest.Height() - 1});
  if (xa > xb || ya > yb) return;

  for (int64_t y = ya; y <= yb; ++y) {
    const uint8_t* m = ScanLine(static_cast<int32_t>(y));
    const auto* s = static_cast<const uint8_t*>(Source.ScanLine(static_cast<int32_t>(y - sy)));
    auto* d = static_cast<uint8_t*>(Dest.ScanLine(static_cast<int32_t>(y - dy)));
    if (pf == pf24bit) {
      const uint8_t* sp = s + (xa - sx) * 3;
      uint8_t* dp = d + (xa - dx) * 3;
      if (BitsPerPixel == 1) {
        for (int64_t x = xa; x <= xb; ++x, sp += 3, dp += 3)
          if (TestBit(m, int32_t(x))) {
            dp[0] = sp[0];
            dp[1] = sp[1];
            dp[2] = sp[2];
          }
      } else {
        for (int64_t x = xa; x <= xb; ++x, sp += 3, dp += 3) {
          const int32_t a = m[x];
          if (a == 0) continue;
          // d + floor((s - d) * a / 256)
          for (int c = 0; c < 3; ++c) dp[c] = uint8_t(dp[c] + Sar32((sp[c] - dp[c]) * a * 1024, 18));
        }
      }
    } else if (BitsPerPixel == 1) {
      for (int64_t x = xa; x <= xb; ++x)
        if (TestBit(m, int32_t(x))) SetBit(d, int32_t(x - dx), GetBit(s, int32_t(x - sx)));
    } else {
      for (int64_t x = xa; x <= xb; ++x)
        if (m[x]) SetBit(d, int32_t(x - dx), GetBit(s, int32_t(x - sx)));
    }
  }
}

void TIMMask::DrawInverted(TCanvas& Canvas, int32_t DstX, int32_t DstY, int32_t DstWidth, int32_t DstHeight,
                           int32_t SrcX, int32_t SrcY, int32_t SrcWidth, int32_t SrcHeight) {
  if (BitsPerPixel != 1 || !Bits || IsEmpty()) return;
  DrawHeader.biWidth = Width;
  DrawHeader.biHeight = Height;
  DrawHeader.biSizeImage = static_cast<uint32_t>(int64_t(RowBytes) * Height);
  if (DstWidth <= 0 || DstHeight <= 0 || SrcWidth <= 0 || SrcHeight <= 0) return;

  TBitmap& bmp = Canvas.Bitmap();
  const TRect clip = Canvas.ClipRect();
  const int64_t x0 = std::max({int64_t(DstX), int64_t(clip.Left), int64_t(0)});
  const int64_t x1 = std::min({int64_t(DstX) + DstWidth, int64_t(clip.Right), int64_t(bmp.Width())});
  const int64_t y0 = std::max({int64_t(DstY), int64_t(clip.Top), int64_t(0)});
  const int64_t y1 = std::min({int64_t(DstY) + DstHeight, int64_t(clip.Bottom), int64_t(bmp.Height())});
  if (x0 >= x1 || y0 >= y1) return;

  // Nearest-neighbour source column of every destination column; -1 outside the plane.
  std::vector<int32_t> cols(size_t(x1 - x0));
  for (int64_t x = x0; x < x1; ++x) {
    const int64_t c = SrcX + (x - DstX) * SrcWidth / DstWidth;
    cols[size_t(x - x0)] = c >= 0 && c < Width ? int32_t(c) : -1;
  }
  const TRGBQuad q[2] = {DrawHeader.bmiColors[0], DrawHeader.bmiColors[1]};
  // The pixels change behind the canvas's back: tell its listeners as its own drawing does.
  if (Canvas.OnChanging) Canvas.OnChanging(&Canvas);
  const TPixelFormat pf = bmp.PixelFormat();
  const int64_t bpp = pf == pf24bit ? 3 : (pf == pf32bit ? 4 : 0);
  for (int64_t y = y0; y < y1; ++y) {
    const int64_t r = SrcY + (y - DstY) * SrcHeight / DstHeight;
    const uint8_t* m = r >= 0 && r < Height ? ScanLine(int32_t(r)) : nullptr;
    if (!m) continue;
    if (bpp) {
      uint8_t* d = static_cast<uint8_t*>(bmp.ScanLine(int32_t(y))) + x0 * bpp;
      for (size_t i = 0; i < cols.size(); ++i, d += bpp) {
        if (cols[i] < 0) continue;
        const TRGBQuad& c = q[TestBit(m, cols[i]) ? 1 : 0];
        d[0] ^= c.rgbBlue;
        d[1] ^= c.rgbGreen;
        d[2] ^= c.rgbRed;
      }
    } else {
      // Indexed and 16-bit targets: through the colour value.
      for (size_t i = 0; i < cols.size(); ++i) {
        if (cols[i] < 0) continue;
        const TRGBQuad& c = q[TestBit(m, cols[i]) ? 1 : 0];
        const int32_t px = int32_t(x0 + int64_t(i));
        const TColorRef v = TColorRef(bmp.GetPixelColor(px, int32_t(y))) ^ RGB(c.rgbRed, c.rgbGreen, c.rgbBlue);
        bmp.SetPixelColor(px, int32_t(y), TColor(v));
      }
    }
  }
  if (Canvas.OnChange) Canvas.OnChange(&Canvas);
}

void TIMMask::DrawOutline(TCanvas& Canvas, int32_t DstX, int32_t DstY, TColor Color1, TColor Color2, int32_t Phase,
                          int32_t SrcX, int32_t SrcY, int32_t SrcWidth, int32_t SrcHeight, int32_t DstWidth,
                          int32_t DstHeight) {
  if (BitsPerPixel != 1 || !Bits || IsEmpty() || DstWidth <= 0 || DstHeight <= 0) return;
  if (SrcWidth <= 0 || SrcHeight <= 0) return;
  const TColor rgb1 = TColor(ColorToRGB(Color1)), rgb2 = TColor(ColorToRGB(Color2));
  const int64_t dw = DstWidth, dh = DstHeight, sx = SrcX, sy = SrcY;

  const int64_t rowBytes = RowBytesForBits(DstWidth, 1);
  if (DstWidth != OutlineWidth || DstHeight != OutlineHeight || !OutlineBuffer) {
    OutlineBuffer = ZeroedBlock(rowBytes * dh);
    OutlineRows.resize(size_t(dh));
    for (int64_t i = 0; i < dh; ++i) OutlineRows[size_t(i)] = OutlineBuffer.get() + i * rowBytes;
    OutlineWidth = DstWidth;
    OutlineHeight = DstHeight;
  } else {
    std::memset(OutlineBuffer.get(), 0, size_t(rowBytes * dh));  // only the box's part is recomputed
  }

  // 2.14 fixed point; at least 1 so that extreme zooms cannot divide by zero.
  const int64_t stepX = std::max<int64_t>(1, Trunc(double(SrcWidth) / double(DstWidth) * 16384));
  const int64_t stepY = std::max<int64_t>(1, Trunc(double(SrcHeight) / double(DstHeight) * 16384));
  auto srcCol = [&](int64_t j) { return sx + ((stepX * j) >> 14); };
  auto srcRow = [&](int64_t i) { return sy + ((stepY * i) >> 14); };

  // Zoom the rows and columns that cover the box.
  {
    const int64_t r0 = std::max<int64_t>(0, (Y1 - sy) * dh / SrcHeight);
    const int64_t r1 = std::min<int64_t>((Y2 - sy + 1) * dh / SrcHeight, dh - 1);
    const int64_t c0 = std::max<int64_t>(0, (X1 - sx) * dw / SrcWidth);
    const int64_t c1 = std::min<int64_t>((X2 - sx + 1) * dw / SrcWidth, dw - 1);
    if (c0 <= c1) {
      std::vector<int32_t> cols(size_t(c1 - c0 + 1));
      for (int64_t j = c0; j <= c1; ++j) {
        const int64_t c = srcCol(j);
        cols[size_t(j - c0)] = c >= 0 && c < Width ? int32_t(c) : -1;
      }
      for (int64_t i = r0; i <= r1; ++i) {
        const int64_t r = srcRow(i);
        const uint8_t* m = r >= 0 && r < Height ? ScanLine(int32_t(r)) : nullptr;
        if (!m) continue;
        uint8_t* w = OutlineRows[size_t(i)];
        for (int64_t j = c0; j <= c1; ++j) {
          const int32_t c = cols[size_t(j - c0)];
          if (c >= 0 && TestBit(m, c)) SetBit(w, int32_t(j), true);
        }
      }
    }
  }

  Canvas.Pen().SetStyle(psSolid);
  Canvas.Pen().SetMode(pmCopy);
  const int64_t dr0 = std::max<int64_t>(0, (Y1 - sy) * 16384 / stepY);
  const int64_t dr1 = std::min<int64_t>((Y2 - sy + 1) * 16384 / stepY + 1, dh - 1);
  const int64_t dc0 = std::max<int64_t>(0, (X1 - sx) * 16384 / stepX);
  const int64_t dc1 = std::min<int64_t>((X2 - sx + 1) * 16384 / stepX + 1, dw - 1);
  const int32_t stripe = WrapAdd(WrapAdd(DstX, DstY), Phase);
  for (int64_t i = dr0; i <= dr1; ++i) {
    const uint8_t* row = OutlineRows[size_t(i)];
    for (int64_t j = dc0; j <= dc1; ++j) {
      if (!GetBit(row, int32_t(j))) continue;
      bool border;
      // At the edges of the shown area the border is drawn only where the
      // selection really ends, not where the view cuts it.
      if (j == 0) border = X1 >= srcCol(0);
      else if (j == dc1) border = srcCol(j) >= X2;
      else if (i == 0) border = Y1 >= srcRow(0);
      else if (i == dr1) border = srcRow(i) >= Y2;
      else {
        const uint8_t* up = OutlineRows[size_t(i - 1)];
        const uint8_t* dn = OutlineRows[size_t(i + 1)];
        border = false;
        for (int64_t k = j - 1; k <= j + 1 && !border; ++k)
          border = !GetBit(up, int32_t(k)) || !GetBit(row, int32_t(k)) || !GetBit(dn, int32_t(k));
      }
      if (!border) continue;
      const bool second = (WrapAdd(stripe, int32_t(i + j)) & 4) != 0;
      Canvas.SetPixel(int32_t(DstX + j), int32_t(DstY + i), second ? rgb2 : rgb1);
    }
  }
}

}  // namespace kv
