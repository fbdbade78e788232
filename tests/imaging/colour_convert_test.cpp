#include "imaging/processing/colour_convert.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>

namespace kv {
// Found by argument-dependent lookup, so it must sit in kv itself.
static std::ostream& operator<<(std::ostream& o, const TBGRPixel& p) {
  return o << "rgb(" << int(p.r) << ',' << int(p.g) << ',' << int(p.b) << ')';
}

namespace {

struct HSV {
  int32_t h, s, v;
  friend bool operator==(const HSV&, const HSV&) = default;
};
std::ostream& operator<<(std::ostream& o, const HSV& c) { return o << '(' << c.h << ',' << c.s << ',' << c.v << ')'; }

HSV ToHSV(uint8_t r, uint8_t g, uint8_t b) {
  HSV c{-1, -1, -1};
  RGBToHSV(PackedColour(CreateRGB(r, g, b)), c.h, c.s, c.v);
  return c;
}
TBGRPixel FromHSV(int32_t h, int32_t s, int32_t v) {
  TBGRPixel p = CreateRGB(1, 2, 3);
  HSVToRGB(p, h, s, v);
  return p;
}

TEST(ColourConvert, RGBToHSVKnownColours) {
  struct Case {
    uint8_t r, g, b;
    HSV hsv;
  };
  const Case cases[] = {
      {255, 0, 0, {0, 99, 99}},       {0, 255, 0, {120, 99, 99}},   {0, 0, 255, {240, 99, 99}},
      {255, 255, 0, {60, 99, 99}},    // red and green tie: red is tested first
      {255, 0, 255, {300, 99, 99}},   // red first gives -60, which wraps to 300
      {0, 255, 255, {180, 99, 99}},   {0, 0, 0, {0, 0, 0}},         {255, 255, 255, {0, 0, 99}},
      {128, 128, 128, {0, 0, 50}},    // 128 / 255 * 99 = 49.7 rounds to 50
      {255, 128, 0, {30, 99, 99}},    {100, 50, 25, {18, 73, 39}},
  };
  for (const Case& c : cases)
    EXPECT_EQ(ToHSV(c.r, c.g, c.b), c.hsv) << int(c.r) << ',' << int(c.g) << ',' << int(c.b);
}

TEST(ColourConvert, HSVToRGBKnownValuesAndClamping) {
  struct Case {
    int32_t h, s, v;
    TBGRPixel rgb;
  };
  const Case cases[] = {
      {0, 99, 99, CreateRGB(255, 0, 0)},      {120, 99, 99, CreateRGB(0, 255, 0)},
      {240, 99, 99, CreateRGB(0, 0, 255)},    {0, 0, 99, CreateRGB(255, 255, 255)},
      {200, 0, 33, CreateRGB(85, 85, 85)},    // without saturation the hue does not matter
      {400, 150, -5, CreateRGB(0, 0, 0)},     // treated as (359, 99, 0)
      {-20, 99, 99, CreateRGB(255, 0, 0)},    // hue clamped to 0
      {400, 99, 99, CreateRGB(255, 0, 5)},    // hue clamped to 359: q = 99 - 59 * 9801 / 5940 = 2
      {30, 99, 99, CreateRGB(255, 129, 0)},   // sector 0: t = 99 - 9801 * 30 div 5940 = 50
      {300, 50, 80, CreateRGB(206, 103, 206)},
  };
  for (const Case& c : cases) EXPECT_EQ(FromHSV(c.h, c.s, c.v), c.rgb) << c.h << ',' << c.s << ',' << c.v;
}

// The integer form keeps 100 steps a channel: a round trip may move a channel
// by a few units but never further, and the six pure hues come back exactly.
TEST(ColourConvert, HSVRoundTripStaysClose) {
  for (int r = 0; r < 256; r += 15)
    for (int g = 0; g < 256; g += 17)
      for (int b = 0; b < 256; b += 19) {
        const HSV c = ToHSV(uint8_t(r), uint8_t(g), uint8_t(b));
        ASSERT_GE(c.h, 0);
        ASSERT_LE(c.h, 359);
        ASSERT_LE(c.s, 99);
        ASSERT_LE(c.v, 99);
        const TBGRPixel p = FromHSV(c.h, c.s, c.v);
        EXPECT_NEAR(p.r, r, 12) << r << ',' << g << ',' << b;
        EXPECT_NEAR(p.g, g, 12) << r << ',' << g << ',' << b;
        EXPECT_NEAR(p.b, b, 12) << r << ',' << g << ',' << b;
      }
  for (const TBGRPixel& p : {CreateRGB(255, 0, 0), CreateRGB(255, 255, 0), CreateRGB(0, 255, 0),
                             CreateRGB(0, 255, 255), CreateRGB(0, 0, 255), CreateRGB(255, 0, 255)}) {
    const HSV c = ToHSV(p.r, p.g, p.b);
    EXPECT_EQ(FromHSV(c.h, c.s, c.v), p) << p;
  }
}

TEST(ColourConvert, HSLKnownValues) {
  struct Case {
    uint8_t r, g, b;
    double h, s, l;
  };
  const Case cases[] = {
      {255, 0, 0, 0, 1, 0.5},           {0, 255, 0, 1.0 / 3, 1, 0.5},   {0, 0, 255, 2.0 / 3, 1, 0.5},
      {255, 0, 255, 5.0 / 6, 1, 0.5},   // negative h' gets 1 added
      {255, 255, 255, 0, 0, 1},         {0, 0, 0, 0, 0, 0},
      {128, 128, 128, 0, 0, 128 / 255.0},
      {255, 128, 128, 0, 1, (255 + 128) / 510.0},  // l >= 0.5: s = d / (2 - max - min)
      {64, 32, 32, 0, 1.0 / 3, 48 / 255.0},        // l < 0.5: s = d / (max + min)
  };
  for (const Case& c : cases) {
    double h = -1, s = -1, l = -1;
    RGBToHSL(PackedColour(CreateRGB(c.r, c.g, c.b)), h, s, l);
    EXPECT_NEAR(h, c.h, 1e-12) << int(c.r) << ',' << int(c.g) << ',' << int(c.b);
    EXPECT_NEAR(s, c.s, 1e-12) << int(c.r) << ',' << int(c.g) << ',' << int(c.b);
    EXPECT_NEAR(l, c.l, 1e-12) << int(c.r) << ',' << int(c.g) << ',' << int(c.b);
  }
}

TEST(ColourConvert, HSLToRGBLimitsItsInputs) {
  struct Case {
    double h, s, l;
    TBGRPixel rgb;
  };
  const Case cases[] = {
      {0, 1, 0.5, CreateRGB(255, 0, 0)},          {1.0 / 3, 1, 0.5, CreateRGB(0, 255, 0)},
      {0.5, 0, 0.5, CreateRGB(127, 127, 127)},    // trunc(127.5)
      {-3, 1, 0.5, CreateRGB(255, 0, 0)},         // hue below 0 becomes 0
      {7, 1, 0.5, CreateRGB(255, 0, 0)},          // hue above 1 becomes 1, the same angle
      {0, 5, 2, CreateRGB(255, 255, 255)},        // s and l limited to 1
      {0.25, -1, -1, CreateRGB(0, 0, 0)},
      {NAN, NAN, NAN, CreateRGB(0, 0, 0)},
  };
  for (const Case& c : cases) {
    TBGRPixel p = CreateRGB(9, 9, 9);
    HSLToRGB(p, c.h, c.s, c.l);
    EXPECT_EQ(p, c.rgb) << c.h << ',' << c.s << ',' << c.l;
  }
}

// Storing by truncation can lose one unit to rounding in the double arithmetic.
TEST(ColourConvert, HSLRoundTripWithinOne) {
  for (int r = 0; r < 256; r += 15)
    for (int g = 0; g < 256; g += 17)
      for (int b = 0; b < 256; b += 19) {
        double h, s, l;
        RGBToHSL(PackedColour(CreateRGB(uint8_t(r), uint8_t(g), uint8_t(b))), h, s, l);
        TBGRPixel p;
        HSLToRGB(p, h, s, l);
        EXPECT_NEAR(p.r, r, 1) << r << ',' << g << ',' << b;
        EXPECT_NEAR(p.g, g, 1) << r << ',' << g << ',' << b;
        EXPECT_NEAR(p.b, b, 1) << r << ',' << g << ',' << b;
      }
}

TEST(ColourConvert, SmallRoutines) {
  EXPECT_EQ(RGBToGray(0xFFFFFF), 252);  // the weights add up to 99
  EXPECT_EQ(RGBToGray(0xFF0000), 53);
  EXPECT_EQ(RGBToGray(0x0000FF), 17);
  EXPECT_EQ(RGBToGray(0x00FF00), 181);

  EXPECT_EQ(TBGRPixelToTColor(0x112233), 0x332211);
  EXPECT_EQ(TBGRPixelToTColor(uint32_t(TBGRPixelToTColor(0x80A1B2C3u))), TColor(0x80A1B2C3u));
  EXPECT_EQ(RGBToTColor(0x11, 0x22, 0x33), 0x332211);
  EXPECT_EQ(TColorToTBGRPixel(clRed), CreateRGB(255, 0, 0));
  EXPECT_EQ(TColorToTBGRPixel(0x332211), CreateRGB(0x11, 0x22, 0x33));
  SetSysColor(COLOR_WINDOW, RGB(1, 2, 3));
  EXPECT_EQ(TColorToTBGRPixel(clWindow), CreateRGB(1, 2, 3));

  EXPECT_TRUE(std::signbit(DMin(-0.0, 0.0)));  // the first of two equal values
  EXPECT_FALSE(std::signbit(DMin(0.0, -0.0)));
  EXPECT_EQ(DMax(1.5, 2.5), 2.5);
  EXPECT_EQ(IMin(-3, 2), -3);
  EXPECT_EQ(IMax(-3, 2), 2);
  EXPECT_EQ(IClamp(-5, 0, 10), 0);
  EXPECT_EQ(IClamp(50, 0, 10), 10);
  EXPECT_EQ(IClamp(7, 0, 10), 7);
  EXPECT_EQ(Clamp255(-1), 0);
  EXPECT_EQ(Clamp255(256), 255);
  EXPECT_EQ(Clamp255(int64_t(1) << 40), 255);
  EXPECT_EQ(Clamp255(77), 77);

  int32_t a = 1, b = 2;
  ISwap(a, b);
  EXPECT_EQ(a, 2);
  EXPECT_EQ(b, 1);
  uint8_t c = 3, d = 4;
  BSwap(c, d);
  EXPECT_EQ(c, 4);
  EXPECT_EQ(d, 3);
  EXPECT_TRUE(EqualRGB(CreateRGB(1, 2, 3), CreateRGB(1, 2, 3)));
  EXPECT_FALSE(EqualRGB(CreateRGB(1, 2, 3), CreateRGB(1, 2, 4)));

  int32_t x1 = 9, y1 = 2, x2 = 3, y2 = 8;
  OrderCorners(x1, y1, x2, y2);
  EXPECT_EQ(x1, 3);
  EXPECT_EQ(x2, 9);
  EXPECT_EQ(y1, 2);
  EXPECT_EQ(y2, 8);
}

}  // namespace
}  // namespace kv
