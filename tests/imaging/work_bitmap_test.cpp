#include "imaging/model/work_bitmap.h"

#include <gtest/gtest.h>

#include "platform/rtl/exceptions.h"

namespace kv {
namespace {

TEST(TIMWorkBitmap, RowBytesAndBottomUpRows) {
  struct Case {
    int32_t width, bits, rowBytes;
  };
  const Case cases[] = {{1, 1, 4},  {32, 1, 4},  {33, 1, 8},  {5, 8, 8},   {1, 24, 4},
                        {3, 24, 12}, {3, 32, 12}, {3, 64, 24}, {7, 16, 16}};
  for (const Case& c : cases) {
    TIMWorkBitmap w(c.width, 5, c.bits);  // width, height, bits as Allocate takes them
    EXPECT_EQ(w.Width(), c.width);
    EXPECT_EQ(w.Height(), 5);
    EXPECT_EQ(w.BitsPerPixel(), c.bits);
    EXPECT_EQ(w.RowBytes(), c.rowBytes) << c.width << 'x' << c.bits;
    ASSERT_NE(w.Bits(), nullptr);
    EXPECT_EQ(w.ScanLine(0), w.Bits() + 4 * c.rowBytes);  // the top row is stored last
    EXPECT_EQ(w.ScanLine(4), w.Bits());
  }
}

TEST(TIMWorkBitmap, PixelAddressPerDepth) {
  struct Case {
    int32_t bits, column, offset;
  };
  const Case cases[] = {{1, 13, 1}, {8, 13, 13}, {24, 13, 39}, {32, 13, 52}, {64, 13, 104}, {16, 13, -1}};
  for (const Case& c : cases) {
    TIMWorkBitmap w(20, 3, c.bits);
    uint8_t* want = c.offset < 0 ? w.Bits() : w.ScanLine(1) + c.offset;  // other depths: the start of Bits
    EXPECT_EQ(w.PixelAddress(1, c.column), want) << c.bits;
  }
}

TEST(TIMWorkBitmap, FloatsAndIntsFillTheRasterExactly) {
  TIMWorkBitmap w(7, 4, 32);  // width, height, bits, as Allocate takes them
  ASSERT_EQ(w.Height(), 4);
  ASSERT_EQ(w.BitsPerPixel(), 32);
  for (int32_t y = 0; y < 4; ++y)
    for (int32_t x = 0; x < 7; ++x) w.FloatAt(y, x) = float(y * 10 + x) + 0.5f;
  for (int32_t y = 0; y < 4; ++y)
    for (int32_t x = 0; x < 7; ++x) EXPECT_EQ(w.FloatAt(y, x), float(y * 10 + x) + 0.5f);
  EXPECT_EQ(*reinterpret_cast<float*>(w.Bits()), 30.5f);  // bottom-left pixel at the start
  w.IntAt(3, 6) = -123456789;
  EXPECT_EQ(w.IntAt(3, 6), -123456789);
}

TEST(TIMWorkBitmap, AllocateFreeAndEmpty) {
  TIMWorkBitmap w(10, 10, 8);
  uint8_t* first = w.Bits();
  w.Allocate(10, 10, 8);
  EXPECT_EQ(w.Bits(), first);  // unchanged: kept
  w.Allocate(10, 11, 8);
  EXPECT_EQ(w.Height(), 11);
  EXPECT_EQ(w.RowBytes(), 12);
  w.Allocate(10, 11, 64);
  EXPECT_EQ(w.RowBytes(), 80);
  w.FreeBits();
  EXPECT_EQ(w.Bits(), nullptr);
  EXPECT_EQ(w.Width() | w.Height() | w.BitsPerPixel() | w.RowBytes(), 0);

  for (auto [width, height] : {std::pair{0, 5}, {5, 0}, {-3, 5}, {5, -1}}) {
    TIMWorkBitmap e(width, height, 8);
    EXPECT_EQ(e.Bits(), nullptr) << width << 'x' << height;
    EXPECT_EQ(e.RowBytes(), 0);
  }
}

TEST(TIMWorkBitmap, AbsurdSizesAreRefused) {
  TIMWorkBitmap w(4, 4, 8);
  EXPECT_THROW(w.Allocate(INT32_MAX, 1, 64), EOutOfMemory);        // a row beyond 32-bit sizes
  EXPECT_EQ(w.Bits(), nullptr);
  EXPECT_EQ(w.Width(), 0);
  EXPECT_THROW(w.Allocate(1 << 20, 1 << 20, 64), EOutOfMemory);    // 8 TiB
  EXPECT_THROW(TIMWorkBitmap(INT32_MAX, INT32_MAX, 32), EOutOfMemory);
  w.Allocate(4, 4, 8);                                             // still usable afterwards
  EXPECT_NE(w.Bits(), nullptr);
}

}  // namespace
}  // namespace kv
