#include "platform/graphics/canvas.h"

#include <gtest/gtest.h>

#include <chrono>
#include <cstring>

namespace kv {
namespace {

const TPixelFormat kAllFormats[] = {pf1bit, pf4bit, pf8bit, pf15bit, pf16bit, pf24bit, pf32bit};

// A bitmap filled with one colour, pen black, brush as given.
std::unique_ptr<TBitmap> Make(int32_t W, int32_t H, TPixelFormat F = pf24bit, TColor Fill = clWhite) {
  auto b = std::make_unique<TBitmap>(W, H, F);
  b->Canvas().Brush().SetColor(Fill);
  b->Canvas().FillRect(Rect(0, 0, W, H));
  return b;
}

// The pixels (as a picture of characters) that differ from Background.
std::string Changed(TBitmap& B, TColor Background = clWhite) {
  std::string s;
  for (int32_t y = 0; y < B.Height(); ++y) {
    for (int32_t x = 0; x < B.Width(); ++x) s += B.GetPixelColor(x, y) == Background ? '.' : '#';
    s += '\n';
  }
  return s;
}

// Bounding box of the pixels that differ from Background (Right/Bottom exclusive).
TRect ChangedBox(TBitmap& B, TColor Background = clWhite) {
  TRect r{INT32_MAX, INT32_MAX, INT32_MIN, INT32_MIN};
  for (int32_t y = 0; y < B.Height(); ++y)
    for (int32_t x = 0; x < B.Width(); ++x)
      if (B.GetPixelColor(x, y) != Background) {
        r.Left = std::min(r.Left, x);
        r.Top = std::min(r.Top, y);
        r.Right = std::max(r.Right, x + 1);
        r.Bottom = std::max(r.Bottom, y + 1);
      }
  return r;
}

bool SamePixels(const TBitmap& A, const TBitmap& B) {
  for (int32_t y = 0; y < A.Height(); ++y)
    if (std::memcmp(A.ScanLine(y), B.ScanLine(y), size_t(A.RowBytes())) != 0) return false;
  return true;
}

// Something to draw on that is not flat, so lost or doubled pixels show.
std::unique_ptr<TBitmap> Busy(TPixelFormat F) {
  auto b = Make(24, 16, F);
  const TColor colours[] = {clRed, clBlue, clBlack, clYellow, clLime, clWhite};
  for (int32_t y = 0; y < 16; ++y)
    for (int32_t x = 0; x < 24; ++x) b->SetPixelColor(x, y, colours[(x / 3 + y) % 6]);
  return b;
}

TEST(Canvas, LineToLeavesOutItsEndPointInEveryFormat) {
  for (TPixelFormat f : kAllFormats) {
    auto b = Make(10, 10, f);
    TCanvas& c = b->Canvas();
    c.MoveTo(1, 1);
    c.LineTo(6, 1);  // horizontal: (6, 1) is left to the next line
    c.LineTo(6, 5);  // vertical
    c.LineTo(2, 9);  // diagonal: (2, 9) never drawn
    EXPECT_EQ(Changed(*b),
              "..........\n"
              ".######...\n"
              "......#...\n"
              "......#...\n"
              "......#...\n"
              "......#...\n"
              ".....#....\n"
              "....#.....\n"
              "...#......\n"
              "..........\n")
        << int(f);
    EXPECT_EQ(c.PenPos(), Point(2, 9));
    EXPECT_EQ(b->GetPixelColor(1, 1), clBlack) << int(f);
  }
}

TEST(Canvas, ShapesExcludeRightAndBottomEdges) {
  auto b = Make(12, 9);
  TCanvas& c = b->Canvas();
  c.Brush().SetColor(clRed);
  c.Rectangle(2, 1, 9, 6);
  EXPECT_EQ(Changed(*b),
            "............\n"
            "..#######...\n"
            "..#######...\n"
            "..#######...\n"
            "..#######...\n"
            "..#######...\n"
            "............\n"
            "............\n"
            "............\n");
  EXPECT_EQ(b->GetPixelColor(2, 1), clBlack);  // pen on x1..x2-1, y1..y2-1
  EXPECT_EQ(b->GetPixelColor(8, 5), clBlack);
  EXPECT_EQ(b->GetPixelColor(3, 2), clRed);    // brush inside
  EXPECT_EQ(b->GetPixelColor(7, 4), clRed);

  // Without a pen the brush fills one pixel less on the right and bottom.
  auto n = Make(12, 9);
  n->Canvas().Pen().SetStyle(psClear);
  n->Canvas().Brush().SetColor(clRed);
  n->Canvas().Rectangle(2, 1, 9, 6);
  EXPECT_EQ(ChangedBox(*n), Rect(2, 1, 8, 5));

  // FillRect: Left..Right-1 x Top..Bottom-1 whatever the pen; FrameRect one pixel inside.
  auto f = Make(12, 9);
  f->Canvas().Brush().SetColor(clBlue);
  f->Canvas().Pen().SetMode(pmXor);
  f->Canvas().FillRect(Rect(3, 2, 7, 5));
  EXPECT_EQ(ChangedBox(*f), Rect(3, 2, 7, 5));
  EXPECT_EQ(f->GetPixelColor(5, 3), clBlue);
  f->Canvas().FillRect(Rect(7, 2, 3, 5));  // inverted: nothing
  auto fr = Make(12, 9);
  fr->Canvas().Brush().SetColor(clBlue);
  fr->Canvas().FrameRect(Rect(1, 1, 6, 5));
  EXPECT_EQ(Changed(*fr),
            "............\n"
            ".#####......\n"
            ".#...#......\n"
            ".#...#......\n"
            ".#####......\n"
            "............\n"
            "............\n"
            "............\n"
            "............\n");
}

TEST(Canvas, EllipsesAndRoundRectsFillTheirExclusiveBox) {
  for (TRect r : {Rect(1, 1, 11, 8), Rect(0, 0, 2, 2), Rect(3, 2, 4, 9), Rect(2, 3, 13, 4)}) {
    auto b = Make(16, 12);
    b->Canvas().Brush().SetColor(clRed);
    b->Canvas().Ellipse(r);
    EXPECT_EQ(ChangedBox(*b), r) << r.Left << "," << r.Top << "," << r.Right << "," << r.Bottom;
    // Symmetric about both axes of the box.
    for (int32_t y = r.Top; y < r.Bottom; ++y)
      for (int32_t x = r.Left; x < r.Right; ++x)
        ASSERT_EQ(b->GetPixelColor(x, y), b->GetPixelColor(r.Left + r.Right - 1 - x, r.Top + r.Bottom - 1 - y));
  }
  auto b = Make(16, 12);
  b->Canvas().Brush().SetColor(clRed);
  b->Canvas().Ellipse(2, 2, 12, 10);
  EXPECT_EQ(b->GetPixelColor(7, 6), clRed);    // inside takes the brush
  EXPECT_EQ(b->GetPixelColor(2, 6), clBlack);  // left edge is the pen
  EXPECT_EQ(b->GetPixelColor(2, 2), clWhite);  // corners stay

  auto rr = Make(16, 12);
  rr->Canvas().RoundRect(1, 1, 14, 10, 6, 6);
  EXPECT_EQ(ChangedBox(*rr), Rect(1, 1, 14, 10));
  EXPECT_EQ(rr->GetPixelColor(1, 1), clWhite);
  EXPECT_EQ(rr->GetPixelColor(7, 1), clBlack);
  EXPECT_EQ(rr->GetPixelColor(1, 5), clBlack);
}

TEST(Canvas, PiesAndArcsKeepToTheirSector) {
  // A quarter from the ray to the right (3 o'clock) counter-clockwise to the ray up (12 o'clock).
  auto b = Make(21, 21);
  b->Canvas().Brush().SetColor(clRed);
  b->Canvas().Pie(0, 0, 21, 21, 20, 10, 10, 0);
  EXPECT_EQ(ChangedBox(*b), Rect(10, 0, 21, 11));
  EXPECT_EQ(b->GetPixelColor(15, 5), clRed);
  auto a = Make(21, 21);
  a->Canvas().Arc(0, 0, 21, 21, 10, 0, 20, 10);  // the other three quarters
  const TRect box = ChangedBox(*a);
  EXPECT_EQ(box, Rect(0, 0, 21, 21));
  for (int32_t y = 1; y < 10; ++y)
    for (int32_t x = 11; x < 21; ++x) EXPECT_EQ(a->GetPixelColor(x, y), clWhite) << x << "," << y;
}

TEST(Canvas, PolygonFillsWithTheBrushAndOutlinesWithThePen) {
  const std::vector<TPoint> square = {Point(2, 2), Point(8, 2), Point(8, 7), Point(2, 7)};
  auto b = Make(12, 10);
  b->Canvas().Pen().SetStyle(psClear);
  b->Canvas().Brush().SetColor(clRed);
  b->Canvas().Polygon(square);
  EXPECT_EQ(ChangedBox(*b), Rect(2, 2, 8, 7));  // pixel centres inside: right and bottom edges left out
  b->Canvas().Pen().SetStyle(psSolid);
  b->Canvas().Polygon(square);
  EXPECT_EQ(ChangedBox(*b), Rect(2, 2, 9, 8));  // the outline passes through every corner
  EXPECT_EQ(b->GetPixelColor(8, 7), clBlack);
  EXPECT_EQ(b->GetPixelColor(5, 4), clRed);

  // Alternate fill: the overlap of a self-crossing figure stays empty.
  auto s = Make(12, 12);
  s->Canvas().Pen().SetStyle(psClear);
  s->Canvas().Brush().SetColor(clRed);
  s->Canvas().Polygon({Point(0, 0), Point(8, 0), Point(8, 8), Point(4, 8), Point(4, 4), Point(12, 4), Point(12, 12),
                       Point(0, 12)});
  EXPECT_EQ(s->GetPixelColor(2, 2), clRed);
  EXPECT_EQ(s->GetPixelColor(6, 6), clWhite);
}

TEST(Canvas, PenModesWorkOnRgbAndOnPaletteIndexes) {
  // pen P = 0x33CC0F over destination D = 0x5A0FF0 on 24 bits, per mode.
  const uint32_t P = 0x0FCC33, D = 0xF00F5A;  // as TColor: 0x00BBGGRR
  struct Case {
    TPenMode Mode;
    uint32_t Want;
  };
  const Case cases[] = {
      {pmBlack, 0},           {pmWhite, 0xFFFFFF},      {pmNop, D},
      {pmNot, ~D & 0xFFFFFF}, {pmCopy, P},              {pmNotCopy, ~P & 0xFFFFFF},
      {pmMergePenNot, (P | ~D) & 0xFFFFFF}, {pmMaskPenNot, P & ~D}, {pmMergeNotPen, (~P | D) & 0xFFFFFF},
      {pmMaskNotPen, ~P & D}, {pmMerge, P | D},         {pmNotMerge, ~(P | D) & 0xFFFFFF},
      {pmMask, P & D},        {pmNotMask, ~(P & D) & 0xFFFFFF}, {pmXor, P ^ D},
      {pmNotXor, ~(P ^ D) & 0xFFFFFF},
  };
  for (const Case& k : cases) {
    auto b = Make(4, 1, pf24bit, TColor(D));
    b->Canvas().Pen().SetColor(TColor(P));
    b->Canvas().Pen().SetMode(k.Mode);
    b->Canvas().MoveTo(0, 0);
    b->Canvas().LineTo(3, 0);
    EXPECT_EQ(uint32_t(b->GetPixelColor(1, 0)), k.Want) << int(k.Mode);
    EXPECT_EQ(uint32_t(b->GetPixelColor(3, 0)), D) << int(k.Mode);
  }
  // On 8 bits the op works on the index: not of index i is 255 - i.
  auto b = Make(4, 1, pf8bit, clRed);
  b->Canvas().Pen().SetMode(pmNot);
  b->Canvas().MoveTo(0, 0);
  b->Canvas().LineTo(2, 0);
  EXPECT_EQ(static_cast<uint8_t*>(b->ScanLine(0))[0], 255 - b->NearestPaletteIndex(RGB(255, 0, 0)));
}

TEST(Canvas, NotAndXorTwiceRestoreThePicture) {
  for (TPixelFormat f : kAllFormats)
    for (TPenMode m : {pmNot, pmXor}) {
      auto b = Busy(f);
      TBitmap ref;
      ref.Assign(b.get());
      TCanvas& c = b->Canvas();
      c.Pen().SetMode(m);
      c.Pen().SetColor(clAqua);
      c.Brush().SetColor(clFuchsia);
      for (int pass = 0; pass < 2; ++pass) {
        c.MoveTo(0, 0);
        c.LineTo(23, 11);
        c.Rectangle(3, 3, 15, 12);
        c.Ellipse(10, 2, 22, 14);
        c.Pen().SetWidth(3);
        c.Polyline({Point(1, 14), Point(12, 2), Point(20, 14)});
        c.Pen().SetWidth(1);
        c.DrawFocusRect(Rect(1, 1, 20, 15));
        if (pass == 0) {
          EXPECT_FALSE(SamePixels(*b, ref)) << int(f);
        }
      }
      EXPECT_TRUE(SamePixels(*b, ref)) << int(f) << " mode " << int(m);
    }
}

TEST(Canvas, WidePensAndStyledPens) {
  auto b = Make(20, 10);
  b->Canvas().Pen().SetWidth(3);
  b->Canvas().MoveTo(5, 5);
  b->Canvas().LineTo(14, 5);
  EXPECT_EQ(ChangedBox(*b), Rect(4, 4, 16, 7));  // three rows, round ends take in both end points
  auto e = Make(20, 10);
  e->Canvas().Pen().SetWidth(2);
  e->Canvas().MoveTo(5, 5);
  e->Canvas().LineTo(14, 5);
  EXPECT_EQ(ChangedBox(*e).Height(), 2);

  // psDot: 3 on, 3 off; gaps take the brush colour behind an opaque brush, nothing behind a clear one.
  auto d = Make(14, 2);
  d->Canvas().Pen().SetStyle(psDot);
  d->Canvas().Brush().SetStyle(bsClear);
  d->Canvas().MoveTo(0, 0);
  d->Canvas().LineTo(14, 0);
  d->Canvas().Brush().SetStyle(bsSolid);
  d->Canvas().Brush().SetColor(clRed);
  d->Canvas().MoveTo(0, 1);
  d->Canvas().LineTo(14, 1);
  EXPECT_EQ(Changed(*d), "###...###...##\n##############\n");
  EXPECT_EQ(d->GetPixelColor(3, 1), clRed);
  EXPECT_EQ(d->GetPixelColor(0, 1), clBlack);

  // psInsideFrame keeps a wide pen inside the box; a plain wide pen straddles it.
  auto in = Make(20, 20);
  in->Canvas().Pen().SetStyle(psInsideFrame);
  in->Canvas().Pen().SetWidth(4);
  in->Canvas().Rectangle(4, 4, 16, 16);
  EXPECT_EQ(ChangedBox(*in), Rect(4, 4, 16, 16));
  EXPECT_EQ(in->GetPixelColor(7, 10), clBlack);
  EXPECT_EQ(in->GetPixelColor(8, 10), clWhite);
  auto out = Make(20, 20);
  out->Canvas().Pen().SetWidth(4);
  out->Canvas().Rectangle(4, 4, 16, 16);
  EXPECT_EQ(ChangedBox(*out), Rect(2, 2, 17, 17));
}

TEST(Canvas, HatchBrushesAreAlignedToTheBitmapOrigin) {
  auto a = Make(16, 16);
  a->Canvas().Brush().SetStyle(bsCross);
  a->Canvas().Brush().SetColor(clBlue);
  a->Canvas().FillRect(Rect(0, 0, 16, 16));
  auto b = Make(16, 16);
  b->Canvas().Brush().SetStyle(bsCross);
  b->Canvas().Brush().SetColor(clBlue);
  b->Canvas().FillRect(Rect(3, 5, 16, 16));
  for (int32_t y = 5; y < 16; ++y)
    for (int32_t x = 3; x < 16; ++x) ASSERT_EQ(a->GetPixelColor(x, y), b->GetPixelColor(x, y)) << x << "," << y;
  EXPECT_EQ(a->GetPixelColor(0, 0), clWhite);  // only the hatch lines are painted
  EXPECT_NE(Changed(*a).find('#'), std::string::npos);
}

TEST(Canvas, FloodFillSurfaceAndBorder) {
  auto b = Make(12, 10);
  TCanvas& c = b->Canvas();
  c.Brush().SetStyle(bsClear);
  c.Rectangle(2, 2, 9, 8);
  c.Brush().SetStyle(bsSolid);
  c.Brush().SetColor(clRed);
  c.FloodFill(5, 5, clWhite, fsSurface);  // the inside only
  EXPECT_EQ(ChangedBox(*b, clWhite), Rect(2, 2, 9, 8));
  EXPECT_EQ(b->GetPixelColor(3, 3), clRed);
  EXPECT_EQ(b->GetPixelColor(0, 0), clWhite);
  c.Brush().SetColor(clLime);
  c.FloodFill(0, 0, clBlack, fsBorder);  // everything outside the black frame
  EXPECT_EQ(b->GetPixelColor(0, 0), clLime);
  EXPECT_EQ(b->GetPixelColor(11, 9), clLime);
  EXPECT_EQ(b->GetPixelColor(3, 3), clRed);
  EXPECT_EQ(b->GetPixelColor(2, 2), clBlack);
}

TEST(Canvas, ClipRectBoundsEveryOperation) {
  auto src = Make(20, 20, pf24bit, clBlue);
  auto b = Make(20, 20);
  TCanvas& c = b->Canvas();
  c.SetClipRect(Rect(5, 6, 12, 14));
  EXPECT_EQ(c.ClipRect(), Rect(5, 6, 12, 14));
  c.Brush().SetColor(clRed);
  c.FillRect(Rect(0, 0, 20, 20));
  c.Ellipse(0, 0, 20, 20);
  c.Pen().SetWidth(5);
  c.MoveTo(0, 0);
  c.LineTo(19, 19);
  c.Draw(0, 0, *src);
  c.FloodFill(6, 7, clBlue, fsSurface);
  c.SetPixel(0, 0, clBlack);
  c.TextOut(0, 8, "Clipped");
  EXPECT_EQ(ChangedBox(*b), Rect(5, 6, 12, 14));
  EXPECT_EQ(c.Pixel(0, 0), -1);
  EXPECT_EQ(c.Pixel(5, 6), clRed);
  c.ResetClipRect();
  EXPECT_EQ(c.ClipRect(), Rect(0, 0, 20, 20));
  EXPECT_EQ(c.Pixel(0, 0), clWhite);
  EXPECT_EQ(c.Pixel(20, 0), -1);
}

TEST(Canvas, HugeCoordinatesStayCheapAndInside) {
  auto b = Make(50, 40);
  TCanvas& c = b->Canvas();
  const auto start = std::chrono::steady_clock::now();
  c.MoveTo(-2000000000, -1900000000);
  c.LineTo(2000000000, 1900000000);
  c.Pen().SetWidth(7);
  c.LineTo(-2000000000, 2000000000);
  c.Ellipse(-2000000000, -2000000000, 2000000000, 2000000000);
  c.RoundRect(-2000000000, 10, 2000000000, 30, 2000000000, 2000000000);
  c.Polygon({Point(-2000000000, 0), Point(2000000000, 5), Point(0, 2000000000)});
  c.StretchDraw(Rect(-2000000000, -2000000000, 2000000000, 2000000000), *Make(3, 3, pf8bit, clRed));
  c.TextOut(2147483000, 2147483000, "far");
  c.Draw(2147483000, -2147483000, *Make(3000, 3, pf8bit, clRed));
  // The very ends of the coordinate range, with wide, inside-frame and no pens.
  constexpr int32_t lo = INT32_MIN, hi = INT32_MAX;
  for (TPenStyle style : {psSolid, psInsideFrame, psClear})
    for (int32_t width : {1, 6, 7, hi}) {
      c.Pen().SetStyle(style);
      c.Pen().SetWidth(width);
      c.Rectangle(lo, lo, hi, hi);
      c.Rectangle(hi, hi, lo, lo);
      c.Rectangle(lo, lo, lo, lo);
      c.Ellipse(lo, 0, hi, 30);
      c.RoundRect(lo, lo, hi, hi, hi, lo);
      c.Pie(lo, lo, hi, hi, hi, 0, lo, 0);
      c.Arc(lo, lo, hi, hi, lo, hi, hi, lo);
      c.MoveTo(lo, lo);
      c.LineTo(hi, hi);
      c.Polygon({Point(lo, lo), Point(hi, 5), Point(0, hi)});
    }
  c.FillRect(Rect(lo, lo, hi, hi));
  c.FrameRect(Rect(lo, lo, hi, hi));
  c.DrawFocusRect(Rect(lo, lo, hi, hi));
  c.StretchDraw(Rect(lo, lo, hi, hi), *Make(3, 3, pf8bit, clRed));
  c.StretchDraw(Rect(hi, hi, lo, lo), *Make(3, 3, pf8bit, clRed));
  c.TextOut(hi, hi, "far");
  c.TextOut(lo, lo, "far");
  c.Draw(lo, lo, *Make(3, 3, pf8bit, clRed));
  c.Draw(hi, hi, *Make(3, 3, pf8bit, clRed));
  EXPECT_EQ(c.Pixel(lo, lo), -1);
  EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(30));
}

TEST(Canvas, CopyModesAndFormatConversion) {
  for (TPixelFormat f : kAllFormats) {
    // cmSrcInvert twice restores the destination, whatever the formats.
    auto dst = Busy(f);
    auto src = Busy(f == pf24bit ? pf8bit : pf24bit);
    TBitmap ref;
    ref.Assign(dst.get());
    dst->Canvas().SetCopyMode(cmSrcInvert);
    dst->Canvas().CopyRect(Rect(2, 1, 20, 13), src->Canvas(), Rect(0, 0, 18, 12));
    EXPECT_FALSE(SamePixels(*dst, ref)) << int(f);
    dst->Canvas().CopyRect(Rect(2, 1, 20, 13), src->Canvas(), Rect(0, 0, 18, 12));
    EXPECT_TRUE(SamePixels(*dst, ref)) << int(f);
  }
  // cmSrcCopy converts through RGB between formats.
  auto src = Busy(pf8bit);
  for (TPixelFormat f : {pf4bit, pf15bit, pf16bit, pf24bit, pf32bit}) {
    auto dst = Make(24, 16, f, clBlack);
    dst->Canvas().Draw(0, 0, *src);
    for (int32_t y = 0; y < 16; ++y)
      for (int32_t x = 0; x < 24; ++x) ASSERT_EQ(dst->GetPixelColor(x, y), src->GetPixelColor(x, y)) << int(f);
  }
  // Copy modes without a source, and the source-and-destination ones.
  struct Case {
    TCopyMode Mode;
    TColor Want;
  };
  const Case cases[] = {{cmBlackness, clBlack}, {cmWhiteness, clWhite}, {cmDstInvert, TColor(0x00FFFF)},
                        {cmPatCopy, clLime},    {cmSrcAnd, clBlack},    {cmSrcPaint, clFuchsia},
                        {cmNotSrcCopy, clAqua}, {cmMergePaint, clAqua},
                        {cmSrcErase, clRed},    {cmNotSrcErase, clLime}, {cmMergeCopy, clBlack},
                        {cmPatInvert, clAqua}};
  auto red = Make(2, 2, pf24bit, clRed);
  for (const Case& k : cases) {
    auto dst = Make(4, 4, pf24bit, clBlue);  // destination blue, source red, brush lime
    dst->Canvas().Brush().SetColor(clLime);
    dst->Canvas().SetCopyMode(k.Mode);
    dst->Canvas().Draw(1, 1, *red);
    EXPECT_EQ(dst->GetPixelColor(1, 1), k.Want) << std::hex << k.Mode;
    EXPECT_EQ(dst->GetPixelColor(0, 0), clBlue) << std::hex << k.Mode;
  }
}

// Each copy mode bit for bit against its boolean formula, on bytes where every bit varies.
TEST(Canvas, CopyModesFollowTheirFormulas) {
  using F = uint32_t (*)(uint32_t P, uint32_t S, uint32_t D);
  struct Case {
    TCopyMode Mode;
    F Formula;
  };
  const Case cases[] = {
      {cmBlackness, [](uint32_t, uint32_t, uint32_t) { return 0u; }},
      {cmDstInvert, [](uint32_t, uint32_t, uint32_t D) { return ~D; }},
      {cmMergeCopy, [](uint32_t P, uint32_t S, uint32_t) { return P & S; }},
      {cmMergePaint, [](uint32_t, uint32_t S, uint32_t D) { return ~S | D; }},
      {cmNotSrcCopy, [](uint32_t, uint32_t S, uint32_t) { return ~S; }},
      {cmNotSrcErase, [](uint32_t, uint32_t S, uint32_t D) { return ~(S | D); }},
      {cmPatCopy, [](uint32_t P, uint32_t, uint32_t) { return P; }},
      {cmPatInvert, [](uint32_t P, uint32_t, uint32_t D) { return P ^ D; }},
      {cmPatPaint, [](uint32_t P, uint32_t S, uint32_t D) { return P | ~S | D; }},
      {cmSrcAnd, [](uint32_t, uint32_t S, uint32_t D) { return S & D; }},
      {cmSrcCopy, [](uint32_t, uint32_t S, uint32_t) { return S; }},
      {cmSrcErase, [](uint32_t, uint32_t S, uint32_t D) { return S & ~D; }},
      {cmSrcInvert, [](uint32_t, uint32_t S, uint32_t D) { return S ^ D; }},
      {cmSrcPaint, [](uint32_t, uint32_t S, uint32_t D) { return S | D; }},
      {cmWhiteness, [](uint32_t, uint32_t, uint32_t) { return ~0u; }},
  };
  auto varied = [](uint32_t Seed) {
    auto b = Make(16, 4);
    for (int32_t y = 0; y < 4; ++y)
      for (int32_t x = 0; x < 16; ++x) b->SetPixelColor(x, y, TColor((uint32_t(x * 16 + y) * Seed) & 0xFFFFFF));
    return b;
  };
  auto src = varied(0x9E3779);
  const TColor brush = TColor(0x5AC396);
  for (const Case& k : cases) {
    auto dst = varied(0x2545F5);
    TBitmap before;
    before.Assign(dst.get());
    dst->Canvas().Brush().SetColor(brush);
    dst->Canvas().SetCopyMode(k.Mode);
    dst->Canvas().Draw(0, 0, *src);
    for (int32_t y = 0; y < 4; ++y)
      for (int32_t x = 0; x < 16; ++x)
        ASSERT_EQ(uint32_t(dst->GetPixelColor(x, y)),
                  k.Formula(uint32_t(brush), uint32_t(src->GetPixelColor(x, y)), uint32_t(before.GetPixelColor(x, y))) &
                      0xFFFFFF)
            << std::hex << k.Mode << " at " << std::dec << x << "," << y;
  }
}

TEST(Canvas, StretchDuplicatesMirrorsAndHonoursTransparency) {
  auto src = Make(3, 2, pf24bit);
  src->SetPixelColor(0, 0, clRed);
  src->SetPixelColor(1, 0, clLime);
  src->SetPixelColor(2, 0, clBlue);
  src->SetPixelColor(0, 1, clBlack);
  auto b = Make(8, 6);
  b->Canvas().StretchDraw(Rect(1, 1, 7, 5), *src);
  for (int32_t y = 0; y < 4; ++y)
    for (int32_t x = 0; x < 6; ++x) ASSERT_EQ(b->GetPixelColor(1 + x, 1 + y), src->GetPixelColor(x / 2, y / 2)) << x << "," << y;
  EXPECT_EQ(ChangedBox(*b), Rect(1, 1, 7, 5));

  auto m = Make(3, 2);
  m->Canvas().StretchDraw(Rect(3, 0, 0, 2), *src);  // right < left: mirrored
  EXPECT_EQ(m->GetPixelColor(0, 0), clBlue);
  EXPECT_EQ(m->GetPixelColor(2, 0), clRed);
  EXPECT_EQ(m->GetPixelColor(2, 1), clBlack);

  // Transparent: the bottom-left colour (black here) is left out by Draw, not by CopyRect.
  src->SetTransparent(true);
  auto t = Make(3, 2, pf24bit, clYellow);
  t->Canvas().Draw(0, 0, *src);
  EXPECT_EQ(t->GetPixelColor(0, 1), clYellow);
  EXPECT_EQ(t->GetPixelColor(0, 0), clRed);
  t->Canvas().CopyRect(Rect(0, 0, 3, 2), src->Canvas(), Rect(0, 0, 3, 2));
  EXPECT_EQ(t->GetPixelColor(0, 1), clBlack);

  // Copying within one bitmap over an overlapping area reads the picture as it was.
  auto o = Busy(pf24bit);
  TBitmap ref;
  ref.Assign(o.get());
  o->Canvas().CopyRect(Rect(2, 0, 24, 16), o->Canvas(), Rect(0, 0, 22, 16));
  for (int32_t x = 2; x < 24; ++x) ASSERT_EQ(o->GetPixelColor(x, 5), ref.GetPixelColor(x - 2, 5)) << x;
  // A source rectangle partly outside the source leaves those pixels alone.
  auto p = Make(4, 4, pf24bit, clYellow);
  p->Canvas().CopyRect(Rect(0, 0, 4, 4), src->Canvas(), Rect(1, 0, 5, 4));
  EXPECT_EQ(p->GetPixelColor(0, 0), clLime);
  EXPECT_EQ(p->GetPixelColor(2, 0), clYellow);
  EXPECT_EQ(p->GetPixelColor(0, 2), clYellow);
}

TEST(CanvasText, TextStaysInsideItsExtent) {
  for (TPixelFormat f : {pf1bit, pf4bit, pf8bit, pf15bit, pf16bit, pf24bit, pf32bit}) {
    auto b = Make(120, 40, f);
    TCanvas& c = b->Canvas();
    c.Font().SetColor(clBlack);
    c.Brush().SetStyle(bsClear);
    const TSize ext = c.TextExtent("Kavrelin Wg");
    ASSERT_GT(ext.cx, 20) << int(f);
    ASSERT_GT(ext.cy, 8) << int(f);
    c.TextOut(10, 8, "Kavrelin Wg");
    const TRect box = ChangedBox(*b);
    ASSERT_LT(box.Left, box.Right) << int(f) << ": no text drawn";
    EXPECT_GE(box.Left, 10) << int(f);
    EXPECT_GE(box.Top, 8) << int(f);
    EXPECT_LE(box.Right, 10 + ext.cx) << int(f);
    EXPECT_LE(box.Bottom, 8 + ext.cy) << int(f);
    EXPECT_EQ(c.PenPos(), Point(10 + ext.cx, 8));
    if (f == pf1bit) {
      for (int32_t y = 0; y < 40; ++y)
        for (int32_t x = 0; x < 120; ++x) {
          const TColor p = b->GetPixelColor(x, y);
          ASSERT_TRUE(p == clBlack || p == clWhite);
        }
    }
  }
}

TEST(CanvasText, OpaqueBackgroundFillsTheCellAndFontsScale) {
  auto b = Make(200, 80);
  TCanvas& c = b->Canvas();
  c.Brush().SetColor(clYellow);
  const TSize ext = c.TextExtent("Hello");
  c.TextOut(5, 5, "Hello");
  EXPECT_EQ(ChangedBox(*b), Rect(5, 5, 5 + ext.cx, 5 + ext.cy));
  EXPECT_EQ(b->GetPixelColor(5, 5), clYellow);

  auto r = Make(60, 30);
  r->Canvas().Brush().SetColor(clYellow);
  r->Canvas().TextRect(Rect(10, 5, 30, 25), 12, 6, "Clipped text");
  EXPECT_EQ(ChangedBox(*r), Rect(10, 5, 30, 25));

  EXPECT_EQ(c.Font().Name(), "MS Sans Serif");
  EXPECT_EQ(c.Font().Size(), 8);
  c.Font().SetSize(24);
  EXPECT_EQ(c.Font().Height(), -32);
  const TSize big = c.TextExtent("Hello");
  EXPECT_GT(big.cy, ext.cy * 2);
  EXPECT_GT(big.cx, ext.cx * 2);
  c.Font().SetStyle(TFontStyles{fsBold});
  EXPECT_GT(c.TextExtent("Hello").cx, big.cx);
  for (const char* name : {"Arial", "Times New Roman", "Courier New", "Tahoma"}) {
    c.Font().SetName(name);
    EXPECT_GT(c.TextExtent("Hello").cx, 0) << name;
  }
  EXPECT_EQ(c.TextExtent("").cx, 0);
}

}  // namespace
}  // namespace kv
