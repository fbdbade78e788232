#include "imaging/model/mask.h"

#include <gtest/gtest.h>

#include <string>

#include "platform/graphics/canvas.h"
#include "platform/rtl/exceptions.h"
#include "support/bitmap_patterns.h"

namespace kv {
namespace {

struct Box {
  int32_t x1, y1, x2, y2;
  friend bool operator==(const Box&, const Box&) = default;
};
Box BoxOf(const TIMMask& m) { return Box{m.X1, m.Y1, m.X2, m.Y2}; }
constexpr Box kEmptyBox{MaxInt, MaxInt, 0, 0};

// The plane as text, one line a row: '#' set, '.' clear.
std::string Picture(const TIMMask& m) {
  std::string s;
  for (int32_t y = 0; y < m.Height; ++y) {
    for (int32_t x = 0; x < m.Width; ++x) s += m.GetPixel(x, y) ? '#' : '.';
    s += '\n';
  }
  return s;
}

int32_t CountSet(const TIMMask& m) {
  int32_t n = 0;
  for (int32_t y = 0; y < m.Height; ++y)
    for (int32_t x = 0; x < m.Width; ++x) n += m.GetPixel(x, y) != 0;
  return n;
}

TEST(IMMask, PixelsAndBox) {
  TIMMask m;
  EXPECT_TRUE(m.IsEmpty());
  EXPECT_EQ(BoxOf(m), kEmptyBox);
  m.AllocateBits(20, 10, 1);
  m.SetPixel(5, 7, 1);
  EXPECT_EQ(BoxOf(m), (Box{5, 7, 5, 7}));
  EXPECT_EQ(m.GetPixel(5, 7), 0x04);  // the masked byte
  EXPECT_TRUE(m.IsPointInside(5, 7));
  m.SetPixel(5, 7, 0);
  EXPECT_EQ(m.GetPixel(5, 7), 0);
  EXPECT_EQ(BoxOf(m), (Box{5, 7, 5, 7}));  // clearing never shrinks the box
  m.SetPixel(-1, 3, 1);
  m.SetPixel(20, 3, 1);
  m.SetPixel(3, 10, 1);
  EXPECT_EQ(BoxOf(m), (Box{5, 7, 5, 7}));
  EXPECT_EQ(m.GetPixel(-1, 3), 0);
  m.SetPixel(19, 0, 1);
  EXPECT_EQ(BoxOf(m), (Box{5, 0, 19, 7}));
  // Bottom-up storage: the top row is the last of the block.
  EXPECT_EQ(m.ScanLine(0), m.Bits.get() + 9 * m.RowBytes);
  EXPECT_EQ(m.ScanLine(10), nullptr);
  m.Empty();
  EXPECT_TRUE(m.IsEmpty());
  EXPECT_EQ(CountSet(m), 0);
}

TEST(IMMask, RowLengthsAndFullFlag) {
  TIMMask a, s;
  a.AllocateBits(3, 2, 8);
  s.AllocateBits(3, 2, 1);
  EXPECT_EQ(a.RowBytes, 3);
  EXPECT_EQ(s.RowBytes, 4);
  a.Fill(255);
  EXPECT_TRUE(a.Full);
  EXPECT_TRUE(a.IsEmpty());  // Fill leaves the box
  a.SetPixel(1, 1, 128);
  EXPECT_FALSE(a.Full);
  EXPECT_EQ(a.GetPixel(1, 1), 128);
  a.Fill(7);
  EXPECT_FALSE(a.Full);

  TIMMask other;
  other.AllocateBits(4, 4, 24);  // another depth: no plane, nothing happens
  EXPECT_EQ(other.Bits, nullptr);
  other.SetPixel(1, 1, 1);
  EXPECT_EQ(other.GetPixel(1, 1), 0);
  EXPECT_TRUE(other.IsEmpty());

  TIMMask copy;
  a.SetPixel(2, 0, 9);
  copy.Assign(&a);
  EXPECT_EQ(copy.GetPixel(1, 1), 7);
  EXPECT_EQ(copy.GetPixel(2, 0), 9);
  EXPECT_EQ(BoxOf(copy), BoxOf(a));
  copy.Assign(nullptr);
  EXPECT_EQ(copy.Width, 3);

  // A plane that cannot be had leaves an empty mask behind, not the old box.
  EXPECT_THROW(copy.AllocateBits(MaxInt, MaxInt, 8), EOutOfMemory);
  EXPECT_TRUE(copy.IsEmpty());
  EXPECT_EQ(copy.Width, 0);
  EXPECT_EQ(copy.Bits, nullptr);
}

TEST(IMMask, FillRowClipsAndWritesSpans) {
  TIMMask m;
  m.AllocateBits(40, 2, 1);
  EXPECT_EQ(m.FillRow(1, -5, 0, 100), 40);
  EXPECT_EQ(CountSet(m), 40);
  EXPECT_EQ(m.FillRow(1, 3, 2, 9), 0);   // row outside
  EXPECT_EQ(m.FillRow(1, 9, 1, 3), 0);   // reversed span
  EXPECT_EQ(m.FillRow(0, 3, 0, 36), 34); // zero clears
  EXPECT_EQ(Picture(m), "###..................................###\n"
                        "........................................\n");
  EXPECT_TRUE(m.IsEmpty());  // FillRow leaves the box

  TIMMask a;
  a.AllocateBits(5, 1, 8);
  a.Fill(255);
  EXPECT_EQ(a.FillRow(255, 1, 0, 2), 2);
  EXPECT_TRUE(a.Full);
  EXPECT_EQ(a.FillRow(4, 1, 0, 2), 2);
  EXPECT_FALSE(a.Full);
  EXPECT_EQ(a.GetPixel(2, 0), 4);
  EXPECT_EQ(a.GetPixel(3, 0), 255);
}

TEST(IMMask, PolygonFill) {
  TIMMask m;
  m.AllocateBits(12, 12, 1);
  const TPoint square[] = {{0, 0}, {10, 0}, {10, 10}, {0, 10}};
  m.DrawPolygons(1, square, 4);
  EXPECT_EQ(BoxOf(m), (Box{0, 0, 9, 9}));
  EXPECT_EQ(CountSet(m), 100);
  EXPECT_TRUE(m.IsPointInside(9, 9));
  EXPECT_FALSE(m.IsPointInside(10, 9));
  EXPECT_FALSE(m.IsPointInside(9, 10));

  // A right triangle: row y holds 10 - y pixels.
  m.AllocateBits(12, 12, 1);
  const TPoint tri[] = {{0, 0}, {10, 0}, {0, 10}};
  m.DrawPolygons(1, tri, 3);
  for (int32_t y = 0; y < 12; ++y) {
    int32_t n = 0;
    for (int32_t x = 0; x < 12; ++x) n += m.IsPointInside(x, y);
    EXPECT_EQ(n, y < 10 ? 10 - y : 0) << y;
  }

  // Crossings round to the nearest pixel, halves toward the upper point.
  m.AllocateBits(8, 4, 1);
  const TPoint slant[] = {{0, 0}, {2, 0}, {5, 4}, {0, 4}};
  m.DrawPolygons(1, slant, 4);
  EXPECT_EQ(Picture(m), "##......\n"    // right edge at x = 2
                        "###.....\n"    // 2.75 -> 3
                        "###.....\n"    // 3.5 -> 3
                        "####....\n");  // 4.25 -> 4

  // A polygon that crosses itself: both halves of the bow tie are filled.
  m.AllocateBits(10, 10, 1);
  const TPoint bowTie[] = {{0, 0}, {10, 0}, {0, 10}, {10, 10}};
  m.DrawPolygons(1, bowTie, 4);
  EXPECT_EQ(Picture(m), "##########\n"
                        ".########.\n"
                        "..######..\n"
                        "...####...\n"
                        "....##....\n"
                        "..........\n"
                        "....##....\n"
                        "...####...\n"
                        "..######..\n"
                        ".########.\n");
}

TEST(IMMask, PolygonsSeparatedAndDegenerate) {
  TIMMask m;
  m.AllocateBits(20, 5, 1);
  const TPoint two[] = {{0, 0}, {3, 0}, {3, 2}, {0, 2}, {kPolygonSeparator, 0},
                        {10, 1}, {12, 1}, {12, 4}, {10, 4}};
  m.DrawPolygons(1, two, 9);
  EXPECT_EQ(Picture(m), "###.................\n"
                        "###.......##........\n"
                        "..........##........\n"
                        "..........##........\n"
                        "....................\n");
  EXPECT_EQ(BoxOf(m), (Box{0, 0, 11, 3}));

  TIMMask fresh;
  fresh.AllocateBits(20, 5, 1);
  const TPoint line[] = {{1, 1}, {5, 1}, {9, 1}};
  fresh.DrawPolygons(1, line, 3);
  EXPECT_TRUE(fresh.IsEmpty());
  EXPECT_EQ(CountSet(fresh), 0);

  // A polygon that sets nothing keeps the box of what was selected before.
  const TPoint far[] = {{15, 0}, {19, 0}, {19, 0}};
  m.DrawPolygons(1, far, 3);
  EXPECT_EQ(BoxOf(m), (Box{0, 0, 11, 3}));
  m.DrawPolygons(1, line, 3);
  EXPECT_EQ(BoxOf(m), (Box{0, 0, 11, 3}));
}

TEST(IMMask, PolygonFarOutsideThePlaneIsClipped) {
  // The same star in a tall plane and moved 20 rows up in a short one: the
  // rows above the plane must still steer the edges that reach into it.
  const TPoint star[] = {{20, 0}, {26, 40}, {0, 14}, {40, 14}, {14, 40}};
  TIMMask tall;
  tall.AllocateBits(41, 41, 1);
  tall.DrawPolygons(1, star, 5);
  ASSERT_GT(CountSet(tall), 0);

  TPoint moved[5];
  for (int i = 0; i < 5; ++i) moved[i] = TPoint{star[i].X, star[i].Y - 20};
  TIMMask low;
  low.AllocateBits(41, 21, 1);
  low.DrawPolygons(1, moved, 5);
  for (int32_t y = 0; y < 21; ++y)
    for (int32_t x = 0; x < 41; ++x)
      ASSERT_EQ(low.GetPixel(x, y) != 0, tall.GetPixel(x, y + 20) != 0) << x << ',' << y;

  TIMMask m;
  m.AllocateBits(10, 10, 8);
  const TPoint huge[] = {{-2000000000, -2000000000}, {5, -2000000000}, {5, 5}, {-2000000000, 5}};
  m.DrawPolygons(200, huge, 4);
  EXPECT_EQ(CountSet(m), 25);
  EXPECT_EQ(BoxOf(m), (Box{0, 0, 4, 4}));
  EXPECT_EQ(m.GetPixel(4, 4), 200);
}

TEST(IMMask, TranslateBits) {
  TIMMask m;
  m.AllocateBits(20, 6, 1);
  m.FillRow(1, 3, 1, 13);
  m.SetPixel(3, 1, 1);
  m.SetPixel(13, 2, 1);
  ASSERT_EQ(BoxOf(m), (Box{3, 1, 13, 2}));

  // Without clipping the offset is cut down to reach the edge exactly.
  int32_t dx = 10, dy = 1;
  m.TranslateBits(dx, dy, false);
  EXPECT_EQ(dx, 6);
  EXPECT_EQ(dy, 1);
  EXPECT_EQ(Picture(m), "....................\n"
                        "....................\n"
                        ".........###########\n"
                        "...................#\n"
                        "....................\n"
                        "....................\n");
  EXPECT_EQ(BoxOf(m), (Box{9, 2, 19, 3}));

  // With clipping what leaves the plane is lost and the box shrinks to what stays.
  dx = -13;
  dy = 0;
  m.TranslateBits(dx, dy, true);
  EXPECT_EQ(dx, -13);
  EXPECT_EQ(Picture(m), "....................\n"
                        "....................\n"
                        "#######.............\n"
                        "......#.............\n"
                        "....................\n"
                        "....................\n");
  EXPECT_EQ(BoxOf(m), (Box{0, 2, 6, 3}));

  // 8 bits move byte runs.
  TIMMask a;
  a.AllocateBits(5, 3, 8);
  a.SetPixel(1, 0, 10);
  a.SetPixel(2, 1, 20);
  dx = 2;
  dy = 1;
  a.TranslateBits(dx, dy, true);
  EXPECT_EQ(a.GetPixel(3, 1), 10);
  EXPECT_EQ(a.GetPixel(4, 2), 20);
  EXPECT_EQ(a.GetPixel(1, 0), 0);
  EXPECT_EQ(BoxOf(a), (Box{3, 1, 4, 2}));

  // Nothing selected: nothing moves and the box stays empty.
  TIMMask e;
  e.AllocateBits(5, 5, 1);
  dx = 3;
  dy = 3;
  e.TranslateBits(dx, dy, false);
  EXPECT_TRUE(e.IsEmpty());
}

TEST(IMMask, CopyThroughMask) {
  // 1 bit, box-sized source: only the selected pixels change.
  TIMMask m;
  m.AllocateBits(6, 4, 1);
  m.SetPixel(2, 1, 1);
  m.SetPixel(4, 2, 1);
  TBitmap dst(6, 4, pf24bit);
  test::FillFlat24(dst, test::Gray(0));
  TBitmap src(3, 2, pf24bit);  // the box: (2,1)-(4,2)
  test::FillFlat24(src, test::Gray(0));
  static_cast<uint8_t*>(src.ScanLine(0))[0] = 11;  // box pixel (0,0) = plane (2,1)
  static_cast<uint8_t*>(src.ScanLine(1))[6] = 22;  // box pixel (2,1) = plane (4,2)
  static_cast<uint8_t*>(src.ScanLine(1))[0] = 33;  // not selected
  m.CopyThroughMask(dst, src, true, false);
  EXPECT_EQ(static_cast<uint8_t*>(dst.ScanLine(1))[6], 11);
  EXPECT_EQ(static_cast<uint8_t*>(dst.ScanLine(2))[12], 22);
  EXPECT_EQ(static_cast<uint8_t*>(dst.ScanLine(2))[6], 0);

  // A source smaller than it claims to be is clipped, not overrun.
  TBitmap tiny(1, 1, pf24bit);
  test::FillFlat24(tiny, test::Gray(5));
  m.CopyThroughMask(dst, tiny, false, false);
  EXPECT_EQ(static_cast<uint8_t*>(dst.ScanLine(1))[6], 11);

  // 1 bit on 1-bit bitmaps.
  TBitmap d1(6, 4, pf1bit), s1(6, 4, pf1bit);
  for (int32_t y = 0; y < 4; ++y) static_cast<uint8_t*>(s1.ScanLine(y))[0] = 0xFF;
  for (int32_t y = 0; y < 4; ++y) static_cast<uint8_t*>(d1.ScanLine(y))[0] = 0x00;
  m.CopyThroughMask(d1, s1, false, false);
  EXPECT_EQ(static_cast<uint8_t*>(d1.ScanLine(1))[0], 0x20);
  EXPECT_EQ(static_cast<uint8_t*>(d1.ScanLine(2))[0], 0x08);

  // 8 bits blend d + floor((s - d) * a / 256) over the box.
  TIMMask a;
  a.AllocateBits(4, 1, 8);
  a.SetPixel(0, 0, 128);
  a.SetPixel(1, 0, 255);
  a.SetPixel(3, 0, 1);
  a.SetPixel(2, 0, 0);
  TBitmap bd(4, 1, pf24bit), bs(4, 1, pf24bit);
  test::FillFlat24(bd, test::Gray(0));
  test::FillFlat24(bs, test::Gray(255));
  static_cast<uint8_t*>(bd.ScanLine(0))[9] = 255;  // pixel 3: blue 255 toward 0
  static_cast<uint8_t*>(bs.ScanLine(0))[9] = 0;
  a.CopyThroughMask(bd, bs, false, false);
  const auto* r = static_cast<const uint8_t*>(bd.ScanLine(0));
  EXPECT_EQ(r[0], 127);
  EXPECT_EQ(r[3], 254);
  EXPECT_EQ(r[6], 0);
  EXPECT_EQ(r[9], 254);  // 255 + floor(-255 / 256) = 254
  EXPECT_EQ(r[10], 0);

  // Formats that do not pair: nothing.
  TBitmap b8(4, 1, pf8bit);
  static_cast<uint8_t*>(b8.ScanLine(0))[0] = 3;
  a.CopyThroughMask(b8, bs, false, false);
  EXPECT_EQ(static_cast<uint8_t*>(b8.ScanLine(0))[0], 3);
}

TEST(IMMask, DrawInvertedTwiceRestores) {
  TIMMask m;
  m.AllocateBits(4, 4, 1);
  m.SetPixel(1, 1, 1);
  m.SetPixel(3, 0, 1);
  for (TPixelFormat pf : {pf24bit, pf32bit}) {
    TBitmap canvasBmp(10, 10, pf);
    for (int32_t y = 0; y < 10; ++y)
      for (int32_t x = 0; x < 10; ++x) canvasBmp.SetPixelColor(x, y, TColor(RGB(uint8_t(x * 20), uint8_t(y * 20), 7)));
    TBitmap before;
    before.Assign(&canvasBmp);
    // Twice the size, at (2, 3), cut by the bitmap's right edge.
    m.DrawInverted(canvasBmp.Canvas(), 2, 3, 8, 8, 0, 0, 4, 4);
    EXPECT_EQ(canvasBmp.GetPixelColor(4, 5), TColor(RGB(uint8_t(4 * 20 ^ 255), uint8_t(5 * 20 ^ 255), 7 ^ 255)));
    EXPECT_EQ(canvasBmp.GetPixelColor(5, 6), TColor(RGB(uint8_t(5 * 20 ^ 255), uint8_t(6 * 20 ^ 255), 7 ^ 255)));
    EXPECT_EQ(canvasBmp.GetPixelColor(6, 5), before.GetPixelColor(6, 5));
    EXPECT_EQ(canvasBmp.GetPixelColor(9, 3), TColor(RGB(uint8_t(9 * 20 ^ 255), uint8_t(3 * 20 ^ 255), 7 ^ 255)));
    EXPECT_EQ(m.DrawHeader.biWidth, 4);
    EXPECT_EQ(m.DrawHeader.biSizeImage, 16u);
    m.DrawInverted(canvasBmp.Canvas(), 2, 3, 8, 8, 0, 0, 4, 4);
    for (int32_t y = 0; y < 10; ++y)
      for (int32_t x = 0; x < 10; ++x) ASSERT_EQ(canvasBmp.GetPixelColor(x, y), before.GetPixelColor(x, y)) << x << ',' << y;
    // The canvas's clip rectangle holds too.
    int changes = 0;
    canvasBmp.Canvas().OnChange = [&changes](TObject*) { ++changes; };
    canvasBmp.Canvas().SetClipRect(Rect(0, 0, 5, 10));
    m.DrawInverted(canvasBmp.Canvas(), 2, 3, 8, 8, 0, 0, 4, 4);
    EXPECT_NE(canvasBmp.GetPixelColor(4, 5), before.GetPixelColor(4, 5));
    EXPECT_EQ(canvasBmp.GetPixelColor(9, 3), before.GetPixelColor(9, 3));
    EXPECT_EQ(changes, 1);
  }
}

// Where the outline puts its pixels on a white canvas: '#' first colour, '+' second.
std::string OutlinePicture(TIMMask& M, int32_t Sx, int32_t Sy, int32_t Sw, int32_t Sh, int32_t Dw, int32_t Dh,
                           int32_t Phase = 0) {
  TBitmap b(Dw, Dh, pf24bit);
  test::FillFlat24(b, test::Gray(255));
  M.DrawOutline(b.Canvas(), 0, 0, clBlack, clRed, Phase, Sx, Sy, Sw, Sh, Dw, Dh);
  std::string s;
  for (int32_t y = 0; y < Dh; ++y) {
    for (int32_t x = 0; x < Dw; ++x) {
      const TColor c = b.GetPixelColor(x, y);
      s += c == TColor(RGB(255, 255, 255)) ? '.' : (c == clBlack ? '#' : '+');
    }
    s += '\n';
  }
  return s;
}

TEST(IMMask, DrawOutline) {
  TIMMask m;
  m.AllocateBits(10, 8, 1);
  const TPoint rect[] = {{2, 1}, {8, 1}, {8, 6}, {2, 6}};
  m.DrawPolygons(1, rect, 4);
  // 1:1: the border of the selected rectangle, stripes 4 pixels wide.
  EXPECT_EQ(OutlinePicture(m, 0, 0, 10, 8, 10, 8), "..........\n"
                                                   "..#++++#..\n"
                                                   "..+....#..\n"
                                                   "..+....#..\n"
                                                   "..+....#..\n"
                                                   "..+####+..\n"
                                                   "..........\n"
                                                   "..........\n");
  // The phase moves the stripes.
  EXPECT_EQ(OutlinePicture(m, 0, 0, 10, 8, 10, 8, 4).substr(11, 11), "..+####+..\n");
  // Zoomed 2x.
  const std::string zoomed = OutlinePicture(m, 0, 0, 10, 8, 20, 16);
  EXPECT_EQ(zoomed.substr(0, 21), std::string(21 - 1, '.') + "\n");
  EXPECT_NE(zoomed[2 * 21 + 4], '.');   // top-left corner (4, 2)
  EXPECT_EQ(zoomed[6 * 21 + 10], '.');  // inside

  // A view that shows only the middle of the selection draws no border where it cuts it.
  TIMMask all;
  all.AllocateBits(10, 8, 1);
  all.Fill(0xFF);
  const TPoint whole[] = {{0, 0}, {10, 0}, {10, 8}, {0, 8}};
  all.DrawPolygons(1, whole, 4);
  EXPECT_EQ(OutlinePicture(all, 3, 2, 4, 3, 4, 3), "....\n....\n....\n");
  // Showing its left edge draws that column.
  EXPECT_EQ(OutlinePicture(all, 0, 2, 4, 3, 4, 3), "#...\n#...\n#...\n");
  // Nothing for an empty selection or a destination without size.
  TIMMask none;
  none.AllocateBits(10, 8, 1);
  std::string blank;
  for (int i = 0; i < 8; ++i) blank += "..........\n";
  EXPECT_EQ(OutlinePicture(none, 0, 0, 10, 8, 10, 8), blank);
  EXPECT_EQ(OutlinePicture(m, 0, 0, 10, 8, 0, 8), std::string(8, '\n'));
}

}  // namespace
}  // namespace kv
