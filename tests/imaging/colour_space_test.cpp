#include "imaging/model/colour_space.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <regex>

#include "support/outside_tools.h"

namespace kv {
namespace {

TBGRPixel RGB8(int r, int g, int b) {
  TBGRPixel p;
  p.r = uint8_t(r);
  p.g = uint8_t(g);
  p.b = uint8_t(b);
  return p;
}

struct LabBytes {
  int L, a, b;
};

LabBytes ToLab(const TBGRPixel& p) {
  uint8_t L;
  int8_t a, b;
  RGBToCIELab(p, L, a, b);
  return {L, a, b};
}

// Reference values of the standard sRGB/D65 conversion, encoded as TIFF's 8-bit CIELab:
// L byte = round(L* * 2.55), a and b rounded.
TEST(CIELab, KnownColours) {
  struct Case {
    int r, g, b;
    LabBytes lab;
  };
  const Case cases[] = {
      {255, 255, 255, {255, 0, 0}},      // L* 100: the D65 white point
      {0, 0, 0, {0, 0, 0}},
      {255, 0, 0, {136, 80, 67}},        // 53.24, 80.09, 67.20
      {0, 255, 0, {224, -86, 83}},       // 87.73, -86.18, 83.18
      {0, 0, 255, {82, 79, -108}},       // 32.30, 79.19, -107.86
      {128, 128, 128, {137, 0, 0}},      // 53.59, gray stays neutral
      {255, 255, 0, {248, -22, 94}},     // 97.14, -21.55, 94.48
  };
  for (const Case& c : cases) {
    const LabBytes got = ToLab(RGB8(c.r, c.g, c.b));
    EXPECT_EQ(got.L, c.lab.L) << c.r << ',' << c.g << ',' << c.b;
    EXPECT_EQ(got.a, c.lab.a) << c.r << ',' << c.g << ',' << c.b;
    EXPECT_EQ(got.b, c.lab.b) << c.r << ',' << c.g << ',' << c.b;
  }
}

TEST(CIELab, NeutralBytesGiveGrays) {
  EXPECT_EQ(CIELabToRGB(255, 0, 0), RGB8(255, 255, 255));
  EXPECT_EQ(CIELabToRGB(0, 0, 0), RGB8(0, 0, 0));
  for (int L = 0; L < 256; L += 5) {
    const TBGRPixel p = CIELabToRGB(uint8_t(L), 0, 0);
    EXPECT_EQ(p.r, p.g) << L;
    EXPECT_EQ(p.g, p.b) << L;
  }
  // Extreme a/b bytes lie outside sRGB: each channel clips instead of wrapping.
  for (int L : {0, 128, 255})
    for (int a : {-128, 127})
      for (int b : {-128, 127}) CIELabToRGB(uint8_t(L), int8_t(a), int8_t(b));
}

// a* and b* in whole units are coarse where a channel is near 0 (sRGB is steep there), so
// an exact colour round trip cannot be asked for. What must hold: the colour we give back
// encodes to the same L, a, b bytes (within one step), and errors stay small on average.
TEST(CIELab, RoundTripStaysClose) {
  double sum = 0;
  int n = 0, worstMid = 0;
  for (int r = 0; r < 256; r += 5)
    for (int g = 0; g < 256; g += 5)
      for (int b = 0; b < 256; b += 5) {
        const LabBytes lab = ToLab(RGB8(r, g, b));
        const TBGRPixel back = CIELabToRGB(uint8_t(lab.L), int8_t(lab.a), int8_t(lab.b));
        const LabBytes again = ToLab(back);
        ASSERT_LE(std::abs(again.L - lab.L), 1) << r << ',' << g << ',' << b;
        ASSERT_LE(std::abs(again.a - lab.a), 1) << r << ',' << g << ',' << b;
        ASSERT_LE(std::abs(again.b - lab.b), 1) << r << ',' << g << ',' << b;
        const int d = std::max({std::abs(back.r - r), std::abs(back.g - g), std::abs(back.b - b)});
        sum += std::abs(back.r - r) + std::abs(back.g - g) + std::abs(back.b - b);
        n += 3;
        if (r >= 64 && g >= 64 && b >= 64) worstMid = std::max(worstMid, d);
      }
  EXPECT_LT(sum / n, 1.0);
  EXPECT_LE(worstMid, 6);
}

TEST(CIELab, AgreesWithImageMagick) {
  if (!test::HaveTool("convert")) GTEST_SKIP() << "ImageMagick's convert is not installed";
  const TBGRPixel colours[] = {RGB8(255, 0, 0),   RGB8(0, 128, 255), RGB8(10, 20, 30),   RGB8(200, 150, 100),
                               RGB8(1, 2, 3),     RGB8(90, 250, 17), RGB8(255, 0, 255),  RGB8(33, 33, 34),
                               RGB8(250, 240, 5), RGB8(0, 60, 0),    RGB8(128, 64, 192), RGB8(255, 255, 255)};
  std::string cmd = "convert";
  for (const TBGRPixel& c : colours)
    cmd += " xc:'rgb(" + std::to_string(c.r) + "," + std::to_string(c.g) + "," + std::to_string(c.b) + ")'";
  cmd += " +append -colorspace Lab txt:- 2>/dev/null";
  const test::TToolRun convert = test::RunTool(cmd);
  ASSERT_TRUE(convert.Started);
  const std::string& out = convert.Output;

  const std::regex re(R"(^(\d+),0: .*cielab\(([-0-9.e]+)%?,([-0-9.e]+),([-0-9.e]+)\))");
  int seen = 0;
  std::smatch m;
  size_t pos = 0;
  while (pos < out.size()) {
    const size_t end = out.find('\n', pos);
    const std::string line = out.substr(pos, end == std::string::npos ? std::string::npos : end - pos);
    pos = end == std::string::npos ? out.size() : end + 1;
    if (!std::regex_search(line, m, re)) continue;
    const int i = std::stoi(m[1]);
    ASSERT_LT(i, int(std::size(colours)));
    const LabBytes want = {int(std::lround(std::stod(m[2]) * 2.55)), int(std::lround(std::stod(m[3]))),
                           int(std::lround(std::stod(m[4])))};
    const LabBytes got = ToLab(colours[i]);
    EXPECT_NEAR(got.L, want.L, 1) << "colour " << i;
    EXPECT_NEAR(got.a, want.a, 1) << "colour " << i;
    EXPECT_NEAR(got.b, want.b, 1) << "colour " << i;
    ++seen;
  }
  EXPECT_EQ(seen, int(std::size(colours))) << out;
}

}  // namespace
}  // namespace kv
