// Colour models: names, channels and the conversions that channel separation uses.
#include <gtest/gtest.h>

#include "app/filters/colour_models.h"

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

}  // namespace
}  // namespace kv
