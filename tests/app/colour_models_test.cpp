// Colour models: names, channels and the conversions that channel separation uses.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <vector>

#include "app/filters/colour_models.h"
#include "support/outside_tools.h"

namespace kv {
namespace {

TEST(ColourModels, NamesChannelsAndLetters) {
  struct TCase {
    const char* Name;
    TColorModel Model;
    const char* Letters;
  } cases[] = {
      {"rgb", cmRGB, "RGB"}, {"HSV", cmHSV, "HSV"}, {"hsl", cmHSL, "HSL"},     {"Cmyk", cmCMYK, "CMYK"},
      {"Lab", cmLAB, "Lab"}, {"YUV", cmYUV, "YUV"}, {"xyz", cmXYZ, "XYZ"},     {"GRAY", cmGray, "G"},
      {"", cmRGB, "RGB"},    {"Sepia", cmRGB, "RGB"},
  };
  for (const TCase& c : cases) {
    const TColorModel m = ColorModelIndex(c.Name);
    EXPECT_EQ(m, c.Model) << c.Name;
    std::string letters;
    for (int32_t i = 0; i < ColorModelChannelCount(m); ++i) letters += ColorModelChannelLetter(m, i);
    EXPECT_EQ(letters, c.Letters) << c.Name;
  }
}

TEST(ColourModels, ConversionsOfKnownColours) {
  struct TCase {
    TColorModel Model;
    uint32_t Packed;
    TModelValues Values;
  } cases[] = {
      {cmCMYK, 0xFFFFFF, {0, 0, 0, 0}},     {cmCMYK, 0x000000, {0, 0, 0, 100}},
      {cmCMYK, 0xFF0000, {0, 100, 100, 0}}, {cmYUV, 0x808080, {128, 0, 0, 0}},
      {cmGray, 0xFFFFFF, {255, 0, 0, 0}},   {cmGray, 0x020202, {0, 0, 0, 0}},
      {cmRGB, 0x102030, {16, 32, 48, 0}},   {TColorModel(200), 0x102030, {16, 32, 48, 0}},
  };
  for (const TCase& c : cases) {
    const TModelValues v = ColorToModel(c.Model, c.Packed);
    for (size_t i = 0; i < 4; ++i) EXPECT_NEAR(v[i], c.Values[i], 1e-9) << ColorModelName(c.Model) << ' ' << i;
  }
}

// Every model gives back the colour it was made from (within rounding).
TEST(ColourModels, RoundTrips) {
  const uint32_t colours[] = {0x000000, 0xFFFFFF, 0x808080, 0xFF0000, 0x00FF00, 0x0000FF, 0x3C7A19};
  for (TColorModel m : {cmRGB, cmHSL, cmCMYK, cmLAB, cmYUV, cmXYZ})
    for (uint32_t c : colours) {
      const TBGRPixel p = ColorFromModel(ColorToModel(m, c), m);
      EXPECT_NEAR(p.r, int((c >> 16) & 0xFF), 3) << ColorModelName(m) << ' ' << std::hex << c;
      EXPECT_NEAR(p.g, int((c >> 8) & 0xFF), 3) << ColorModelName(m) << ' ' << std::hex << c;
      EXPECT_NEAR(p.b, int(c & 0xFF), 3) << ColorModelName(m) << ' ' << std::hex << c;
    }
}

TEST(ColourModels, NormalizedValuesStayInUnitRange) {
  for (int m = 0; m < kColorModelCount; ++m)
    for (uint32_t c : {0x000000u, 0xFFFFFFu, 0xFF00FFu, 0x00FFFFu, 0x123456u}) {
      const TModelValues n = NormalizeModelValues(ColorToModel(TColorModel(m), c), TColorModel(m));
      for (int32_t i = 0; i < ColorModelChannelCount(TColorModel(m)); ++i) {
        EXPECT_GE(n[size_t(i)], -1e-9) << m << ' ' << c;
        EXPECT_LE(n[size_t(i)], 1.1) << m << ' ' << c;  // XYZ's Z reaches the white point's 1.09
      }
    }
}

// The ends of every range convert without a division by zero and land where
// they should: hue 360 is hue 0, K 100 % is black, L* 0 and 100 are black and
// white.
TEST(ColourModels, EndsOfTheRanges) {
  struct TCase {
    TColorModel Model;
    TModelValues Values;
    uint32_t Packed;
  } cases[] = {
      {cmHSV, {360, 99, 99, 0}, 0xFF0000},      {cmHSV, {0, 99, 99, 0}, 0xFF0000}, {cmHSV, {-1, 0, 0, 0}, 0x000000},
      {cmHSL, {1, 1, 0.5, 0}, 0xFF0000},        {cmHSL, {0, 0, 1, 0}, 0xFFFFFF},   {cmCMYK, {0, 0, 0, 100}, 0x000000},
      {cmCMYK, {100, 100, 100, 100}, 0x000000}, {cmCMYK, {0, 0, 0, 0}, 0xFFFFFF},  {cmLAB, {0, 0, 0, 0}, 0x000000},
      {cmLAB, {100, 0, 0, 0}, 0xFFFFFF},        {cmXYZ, {0, 0, 0, 0}, 0x000000},   {cmYUV, {255, 0, 0, 0}, 0xFFFFFF},
      {cmGray, {300, 0, 0, 0}, 0xFFFFFF},
  };
  for (const TCase& c : cases) {
    const TBGRPixel p = ColorFromModel(c.Values, c.Model);
    const uint32_t got = uint32_t(p.r) << 16 | uint32_t(p.g) << 8 | p.b;
    EXPECT_EQ(got, c.Packed) << ColorModelName(c.Model) << ' ' << c.Values[0] << ',' << c.Values[1] << ','
                             << c.Values[2] << ',' << c.Values[3];
  }
  // And back: black and white in every model give finite values.
  for (int m = 0; m < kColorModelCount; ++m)
    for (uint32_t c : {0x000000u, 0xFFFFFFu}) {
      const TModelValues v = ColorToModel(TColorModel(m), c);
      for (double x : v) EXPECT_TRUE(std::isfinite(x)) << m << ' ' << c;
    }
}

TEST(ColourModels, StripsAndField) {
  const auto packed = [](TBGRPixel p) { return uint32_t(p.r) << 16 | uint32_t(p.g) << 8 | p.b; };
  const TModelValues green = ColorToModel(cmRGB, 0x00FF00);
  EXPECT_EQ(packed(StripColour(green, cmRGB, 0, 255, false)), 0xFFFF00u);
  EXPECT_EQ(packed(StripColour(green, cmRGB, 0, 0, false)), 0x00FF00u);
  // Separated channels show only their own share.
  EXPECT_EQ(packed(StripColour(green, cmRGB, 0, 255, true)), 0xFF0000u);
  EXPECT_EQ(packed(StripColour(green, cmRGB, 2, 300, true)), 0x0000FFu);  // columns past the end count as 255
  EXPECT_EQ(packed(StripColour(green, cmCMYK, 3, 255, true)), 0x000000u);
  EXPECT_EQ(packed(StripColour(green, cmCMYK, 3, 0, true)), 0xFFFFFFu);
  // The field beside blue's bar: red grows right, green grows upwards.
  const TModelValues blue = ColorToModel(cmRGB, 0x0000FF);
  EXPECT_EQ(packed(FieldColour(blue, cmRGB, 2, 255, 0)), 0xFFFFFFu);
  EXPECT_EQ(packed(FieldColour(blue, cmRGB, 2, 0, 255)), 0x0000FFu);
  EXPECT_EQ(packed(FieldColour(blue, cmRGB, 2, 255, 255)), 0xFF00FFu);
  // Beside red's bar: green grows right, blue upwards.
  EXPECT_EQ(packed(FieldColour(ColorToModel(cmRGB, 0), cmRGB, 0, 255, 255)), 0x00FF00u);
  EXPECT_EQ(packed(FieldColour(ColorToModel(cmRGB, 0), cmRGB, 0, 0, 0)), 0x0000FFu);
}

// ImageMagick's -colorspace conversions of a table of colours, read back as
// 16-bit raw channels, against ours in our units.
class ColourModelsAgainstImageMagick : public ::testing::Test {
 protected:
  static const std::vector<uint32_t>& Colours() {
    static const std::vector<uint32_t> c = {0x000000, 0xFFFFFF, 0x808080, 0xFF0000, 0x00FF00, 0x0000FF,
                                            0xFFFF00, 0x00FFFF, 0xFF00FF, 0x3C7A19, 0xC86432, 0x1E2D5A,
                                            0xF0E6D2, 0x646464, 0x7F3F9F, 0xA0C0E0};
    return c;
  }
  // Channels per colour, each 0..1.
  static std::vector<std::vector<double>> Convert(const std::string& Space) {
    std::string cmd = "convert";
    for (uint32_t c : Colours()) {
      char b[32];
      std::snprintf(b, sizeof b, " xc:'#%06X'", c);
      cmd += b;
    }
    const bool cmyk = Space == "CMYK";
    cmd += " +append -colorspace " + Space +
           (cmyk ? " -endian MSB -depth 16 cmyk:-" : " -set colorspace sRGB -endian MSB -depth 16 rgb:-");
    const std::string out = test::RunCapture(cmd + " 2>/dev/null");
    const size_t n = cmyk ? 4 : 3;
    std::vector<std::vector<double>> r;
    if (out.size() != Colours().size() * n * 2) return r;
    for (size_t i = 0; i < Colours().size(); ++i) {
      std::vector<double> ch;
      for (size_t k = 0; k < n; ++k) {
        const size_t at = (i * n + k) * 2;
        // Raw output is most significant byte first.
        ch.push_back((uint8_t(out[at]) << 8 | uint8_t(out[at + 1])) / 65535.0);
      }
      r.push_back(ch);
    }
    return r;
  }
  void SetUp() override {
    if (!test::HaveTool("convert")) GTEST_SKIP() << "ImageMagick is not installed";
  }
  // Compares channel k of ours (after Ours) with theirs (after Theirs) within
  // Tolerance.
  template <class FOurs, class FTheirs>
  void Check(const std::string& Space, TColorModel Model, int32_t Channels, double Tolerance, FOurs Ours,
             FTheirs Theirs) {
    const auto im = Convert(Space);
    ASSERT_EQ(im.size(), Colours().size()) << Space;
    for (size_t i = 0; i < Colours().size(); ++i) {
      const TModelValues v = ColorToModel(Model, Colours()[i]);
      for (int32_t k = 0; k < Channels; ++k)
        EXPECT_NEAR(Ours(v, k), Theirs(im[i], k), Tolerance)
            << Space << " #" << std::hex << Colours()[i] << std::dec << " channel " << k;
    }
  }
};

// Hue is compared on the circle: 359 and 0 are one step apart.
double HueDistance(double A, double B, double Full) {
  const double d = std::fabs(A - B);
  return std::min(d, Full - d);
}

TEST_F(ColourModelsAgainstImageMagick, HSLAndHSB) {
  Check(
      "HSL", cmHSL, 3, 1.0 / 255, [](const TModelValues& v, int32_t k) { return v[size_t(k)]; },
      [](const std::vector<double>& t, int32_t k) { return t[size_t(k)]; });
  // Our HSV counts hue 0..359 and saturation and value 0..99 in whole steps,
  // truncating on the way: two steps apart at most (and ImageMagick's 16-bit
  // rounding).
  const auto im = Convert("HSB");
  ASSERT_EQ(im.size(), Colours().size());
  for (size_t i = 0; i < Colours().size(); ++i) {
    const TModelValues v = ColorToModel(cmHSV, Colours()[i]);
    if (im[i][1] > 0) {  // grey has no hue
      EXPECT_LE(HueDistance(v[0], im[i][0] * 360, 360), 2.05) << std::hex << Colours()[i];
    }
    EXPECT_NEAR(v[1], im[i][1] * 99, 2.0) << std::hex << Colours()[i];
    EXPECT_NEAR(v[2], im[i][2] * 99, 2.0) << std::hex << Colours()[i];
  }
}

// ImageMagick scales C, M and Y by 1 - K; ours keeps them as the share above K,
// so C + K (ours) is C * (1 - K) + K (theirs).
TEST_F(ColourModelsAgainstImageMagick, CMYK) {
  Check(
      "CMYK", cmCMYK, 4, 0.01,
      [](const TModelValues& v, int32_t k) { return (k == 3 ? v[3] : v[size_t(k)] + v[3]) / 100; },
      [](const std::vector<double>& t, int32_t k) { return k == 3 ? t[3] : t[size_t(k)] * (1 - t[3]) + t[3]; });
}

// Our YUV is full-range ITU-R 601 YCbCr without the offset of 128 on U and V.
TEST_F(ColourModelsAgainstImageMagick, YUVAsYCbCr) {
  Check(
      "YCbCr", cmYUV, 3, 1.0, [](const TModelValues& v, int32_t k) { return v[size_t(k)]; },
      [](const std::vector<double>& t, int32_t k) { return k == 0 ? t[0] * 255 : (t[size_t(k)] - 0.5) * 255; });
}

// Our L*a*b* and XYZ share ImageMagick's primaries but take the white point
// rounded to (0.95, 1, 1.09) and a plain power of 1 / 0.45 for the transfer
// curve: on the primaries, black and white (where the curves meet) they agree
// within a unit of L*, a* and b*; in between the curve moves them by up to 2.5.
// ImageMagick's XYZ is limited to 0..1, so ours is compared limited as well.
TEST_F(ColourModelsAgainstImageMagick, LabAndXYZ) {
  const auto lab = Convert("Lab");
  const auto xyz = Convert("XYZ");
  ASSERT_EQ(lab.size(), Colours().size());
  ASSERT_EQ(xyz.size(), Colours().size());
  for (size_t i = 0; i < Colours().size(); ++i) {
    const uint32_t c = Colours()[i];
    bool ends = true;
    for (int shift : {0, 8, 16}) {
      const uint32_t byte = (c >> shift) & 0xFF;
      ends = ends && (byte == 0 || byte == 255);
    }
    const TModelValues l = ColorToModel(cmLAB, c);
    const TModelValues x = ColorToModel(cmXYZ, c);
    for (size_t k = 0; k < 3; ++k) {
      const double theirs = k == 0 ? lab[i][0] * 100 : (lab[i][k] - 0.5) * 255;
      EXPECT_NEAR(l[k], theirs, ends ? 1.0 : 2.5) << "Lab #" << std::hex << c << std::dec << " channel " << k;
      EXPECT_NEAR(std::min(x[k], 1.0), xyz[i][k], ends ? 0.01 : 0.03)
          << "XYZ #" << std::hex << c << std::dec << " channel " << k;
    }
  }
}

}  // namespace
}  // namespace kv
