// The information-text block below and above a rectangle.
#include <gtest/gtest.h>

#include <string>

#include "app/workflows/info_text.h"
#include "platform/graphics/bitmap.h"
#include "platform/graphics/canvas.h"
#include "support/bitmap_patterns.h"

namespace kv {
namespace {

using namespace kv::test;

TImageInfoTexts SampleInfo() {
  TImageInfoTexts info;
  info[tImageInfo::filepath] = "/bilder/";
  info[tImageInfo::filename] = "urlaub.jpg";
  info[tImageInfo::filedate] = "01.02.2003";
  info[tImageInfo::imagewidth] = "640";
  info[tImageInfo::imageheight] = "480";
  info[tImageInfo::numpixels] = "307200";
  info[tImageInfo::resolution] = "300";
  return info;
}

// Rows [First, Last] that hold anything but white, or {-1, -1}.
std::pair<int32_t, int32_t> InkedRows(TBitmap& B) {
  int32_t first = -1, last = -1;
  for (int32_t y = 0; y < B.Height(); ++y) {
    const auto* row = static_cast<const TBGRPixel*>(B.ScanLine(y));
    for (int32_t x = 0; x < B.Width(); ++x)
      if (row[x].r != 255 || row[x].g != 255 || row[x].b != 255) {
        if (first < 0) first = y;
        last = y;
        break;
      }
  }
  return {first, last};
}

TEST(InfoText, UpwardIsTheDownwardBlockEndingAtTheEdge) {
  tImageInfoset set;
  for (auto i : {tImageInfo::filename, tImageInfo::filedate, tImageInfo::imagewidth, tImageInfo::imageheight,
                 tImageInfo::numpixels, tImageInfo::resolution})
    set.Include(i);
  const std::string font = " FontHeight=-20 FontName=\"DejaVu Sans\"";
  TBitmap down(400, 300), up(400, 300);
  FillFlat24(down, Gray(255));
  FillFlat24(up, Gray(255));
  TCanvas cd(down), cu(up);
  const int32_t step = SetInfoTextFont(cd, font, 1.0);
  EXPECT_EQ(step, 22);  // round(20 x 1.1)
  // Four lines: name, date, size, resolution.
  DrawImageInfoText(cd, TRect{10, 0, 200, 50}, itdDown, 1.0, font, set, SampleInfo());
  DrawImageInfoText(cu, TRect{10, 0, 200, 50 + 4 * step}, itdUp, 1.0, font, set, SampleInfo());
  const auto ink = InkedRows(down);
  EXPECT_GE(ink.first, 50);
  EXPECT_LT(ink.second, 50 + 5 * step);  // four lines; the last one's descent may pass its step
  // Same lines in the same order, whichever way the block grows.
  for (int32_t y = 0; y < down.Height(); ++y)
    ASSERT_EQ(0, memcmp(down.ScanLine(y), up.ScanLine(y), size_t(down.Width()) * 3)) << "row " << y;
}

TEST(InfoText, ScaleShrinksTheFontAndNothingChosenDrawsNothing) {
  TBitmap b(200, 100);
  FillFlat24(b, Gray(255));
  TCanvas c(b);
  EXPECT_EQ(SetInfoTextFont(c, "", 0.5), 21);    // default height 38 -> 19
  EXPECT_EQ(SetInfoTextFont(c, "", 0.001), 1);   // never below one pixel
  DrawImageInfoText(c, TRect{0, 0, 100, 10}, itdDown, 1.0, "", tImageInfoset{}, SampleInfo());
  EXPECT_EQ(InkedRows(b).first, -1);
}

}  // namespace
}  // namespace kv
