// The print layout: picture rectangles of the four modes on A4 and Letter in
// both orientations, what is drawn (cells, poster parts, cut lines, the
// information text, catalog entries past the 256th) and the layouts refused.
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <string>
#include <vector>

#include "app/catalog/thumbnail_cache.h"
#include "app/params/param_strings.h"
#include "app/workflows/print_layout.h"
#include "imaging/formats/imager_io.h"
#include "platform/graphics/bitmap.h"
#include "platform/graphics/canvas.h"
#include "platform/rtl/string_list.h"
#include "platform/system/paths.h"
#include "platform/ui/qt_app.h"
#include "support/bitmap_patterns.h"
#include "support/temp_files.h"

namespace kv {
namespace {

using namespace kv::test;

struct TPage {
  const char* Name;
  int32_t W, H;  // printable area at 300 dpi
};
// A4 and Letter at 300 dpi, portrait and landscape, no margins.
const TPage kPages[] = {{"A4", 2480, 3508}, {"A4 quer", 3508, 2480}, {"Letter", 2550, 3300}, {"Letter quer", 3300, 2550}};

TPrintSource PictureSource(const TBitmap& B, int32_t Dpi = 0) {
  TPrintSource s;
  s.Picture = &B;
  s.PictureDpi = Dpi;
  s.Info[tImageInfo::filename] = "bild.png";
  return s;
}

// The rectangles of the four modes. Modes 0 to 2 lay out the picture; mode 3
// lays out a catalog's thumbnails, so its sizes start from the thumbnail
// size (100 x 70) and, having no resolution of their own, the screen's.
TEST(PrintLayout, PictureRectanglesOnA4AndLetter) {
  EnsureQtApplication();
  tcache().SetImageSize(100, 70);
  TBitmap pic(1200, 800);
  TPrintSource src = PictureSource(pic, 150);
  TStringList noEntries;
  src.CatalogFiles = &noEntries;
  TPrintDevice dev;  // 300 dpi, screen 96 ppi
  dev.OffsetX = 50;
  dev.OffsetY = 60;
  struct Case {
    std::string Params;
    TPrintGeometry Picture[4];  // modes 0, 1 and 2, per page of kPages
    TPrintGeometry Catalog[4];  // mode 3
  } cases[] = {
      // Fitted and centred.
      {" Specialsize=1 DirectionPos=0",
       {{0, 927.3333, 2480, 1653.3333}, {0, 70.6667, 3508, 2338.6667}, {0, 800, 2550, 1700}, {0, 175, 3300, 2200}},
       {{0, 886, 2480, 1736}, {0, 12.2, 3508, 2455.6}, {0, 757.5, 2550, 1785}, {0, 120, 3300, 2310}}},
      // Filling, anchored top left.
      {" Specialsize=2 DirectionPos=10",
       {{0, 0, 5262, 3508}, {0, 0, 3720, 2480}, {0, 0, 4950, 3300}, {0, 0, 3825, 2550}},
       {{0, 0, 5011.4286, 3508}, {0, 0, 3542.8571, 2480}, {0, 0, 4714.2857, 3300}, {0, 0, 3642.8571, 2550}}},
      // Its own size by its 150 dpi (thumbnails: the screen's 96), anchored bottom right.
      {" Specialsize=3 DirectionPos=5",
       {{80, 1908, 2400, 1600}, {1108, 880, 2400, 1600}, {150, 1700, 2400, 1600}, {900, 950, 2400, 1600}},
       {{2167.5, 3289.25, 312.5, 218.75},
        {3195.5, 2261.25, 312.5, 218.75},
        {2237.5, 3081.25, 312.5, 218.75},
        {2987.5, 2331.25, 312.5, 218.75}}},
      // Half its pixels wide (percent), 5 cm high, 10 % of the page from the left, 1 inch down.
      {" width=50 vwidth=7 height=5 vheight=2 left=10 vleft=7 top=1 vtop=1",
       {{248, 300, 600, 590.5512}, {350.8, 300, 600, 590.5512}, {255, 300, 600, 590.5512},
        {330, 300, 600, 590.5512}},
       {{248, 300, 50, 590.5512}, {350.8, 300, 50, 590.5512}, {255, 300, 50, 590.5512}, {330, 300, 50, 590.5512}}},
      // Measured from the paper: reported as given, drawn further up and left.
      {" Withoffset=1 width=100 height=100",
       {{0, 0, 100, 100}, {0, 0, 100, 100}, {0, 0, 100, 100}, {0, 0, 100, 100}},
       {{0, 0, 100, 100}, {0, 0, 100, 100}, {0, 0, 100, 100}, {0, 0, 100, 100}}},
      // Anchored and measured from the paper: the anchored place on the
      // printable page, reported from the paper's edge (offsets 50 and 60).
      {" Withoffset=1 Specialsize=3 DirectionPos=5",
       {{130, 1968, 2400, 1600}, {1158, 940, 2400, 1600}, {200, 1760, 2400, 1600}, {950, 1010, 2400, 1600}},
       {{2217.5, 3349.25, 312.5, 218.75},
        {3245.5, 2321.25, 312.5, 218.75},
        {2287.5, 3141.25, 312.5, 218.75},
        {3037.5, 2391.25, 312.5, 218.75}}},
  };
  for (const Case& c : cases)
    for (int p = 0; p < 4; ++p)
      for (const char* extra : {"", " cutlines=1 ImageInfoSet=2047"})
        for (const int mode : {0, 1, 2, 3}) {
          const std::string params = "Print Mode=" + std::to_string(mode) + c.Params + extra;
          const TPrintGeometry g = PrintWithLayout(src, nullptr, kPages[p].W, kPages[p].H, 1, false, params, dev);
          const TPrintGeometry& e = mode == 3 ? c.Catalog[p] : c.Picture[p];
          SCOPED_TRACE(std::string(kPages[p].Name) + ":" + params);
          EXPECT_NEAR(g.Left, e.Left, 1e-3);
          EXPECT_NEAR(g.Top, e.Top, 1e-3);
          EXPECT_NEAR(g.Width, e.Width, 1e-3);
          EXPECT_NEAR(g.Height, e.Height, 1e-3);
        }
  // Without a resolution of its own the picture takes the screen's; so does
  // the 1 dpi of a JFIF density that states the aspect only.
  for (const int32_t dpi : {0, 1}) {
    const TPrintGeometry g =
        PrintWithLayout(PictureSource(pic, dpi), nullptr, 2480, 3508, 1, false, "Print Specialsize=3", dev);
    EXPECT_NEAR(g.Width, 3750, 1e-6) << dpi;
    EXPECT_NEAR(g.Height, 2500, 1e-6) << dpi;
  }
}

bool IsColour(TBitmap& B, int32_t X, int32_t Y, TColor C) { return B.GetPixelColor(X, Y) == C; }

TEST(PrintLayout, DrawsPictureCutLinesAndInformationAtScale) {
  TBitmap pic;
  Paint24(pic, 40, 20, [](int32_t, int32_t) { return TBGRPixel{0, 0, 255}; });  // red
  TPrintDevice dev;
  dev.Dpi = 254;  // 100 pixels per cm
  TBitmap page(1000, 1000);
  FillFlat24(page, Gray(255));
  TCanvas c(page);
  // Drawn at half scale: the picture covers 200..400 x 300..500 of the bitmap.
  PrintWithLayout(PictureSource(pic), &c, 2000, 2000, 0.5, true,
                  "Print left=400 top=600 width=400 height=400 cutlines=1 ImageInfoSet=1 FontHeight=-40", dev);
  EXPECT_TRUE(IsColour(page, 200, 300, clRed));
  EXPECT_TRUE(IsColour(page, 399, 499, clRed));
  EXPECT_TRUE(IsColour(page, 199, 300, clWhite));
  // Cut lines run from 0.3 cm to 2 cm beyond each corner: 15 to 100 pixels here.
  EXPECT_TRUE(IsColour(page, 200 - 16, 300, clBlack));
  EXPECT_TRUE(IsColour(page, 200 - 99, 300, clBlack));
  EXPECT_TRUE(IsColour(page, 200 - 10, 300, clWhite));
  EXPECT_TRUE(IsColour(page, 200, 300 - 50, clBlack));
  EXPECT_TRUE(IsColour(page, 400 + 50, 500, clBlack));
  EXPECT_TRUE(IsColour(page, 400, 500 + 50, clBlack));
  // The file name under the picture, in a 20 pixel font.
  bool ink = false;
  for (int32_t y = 500; y < 522 && !ink; ++y)
    for (int32_t x = 200; x < 400 && !ink; ++x) ink = page.GetPixelColor(x, y) != clWhite;
  EXPECT_TRUE(ink);
}

// An anchored layout measured from the paper reports its place from the
// paper's edge; that place, typed back as the position, draws the same page.
TEST(PrintLayout, AnchoredPositionFromThePaperEdgeDrawsInPlace) {
  TBitmap pic;
  Paint24(pic, 40, 20, [](int32_t, int32_t) { return TBGRPixel{0, 0, 255}; });
  TPrintDevice dev;
  dev.OffsetX = 30;
  dev.OffsetY = 40;
  TBitmap anchored(200, 300), typed(200, 300);
  FillFlat24(anchored, Gray(255));
  FillFlat24(typed, Gray(255));
  TCanvas ca(anchored), ct(typed);
  const TPrintGeometry g = PrintWithLayout(PictureSource(pic), &ca, 200, 300, 1, true,
                                           "Print Withoffset=1 DirectionPos=5 width=40 height=20", dev);
  EXPECT_DOUBLE_EQ(g.Left, 200 - 40 + 30);
  EXPECT_DOUBLE_EQ(g.Top, 300 - 20 + 40);
  EXPECT_TRUE(IsColour(anchored, 160, 280, clRed));  // bottom right of the printable page
  EXPECT_TRUE(IsColour(anchored, 199, 299, clRed));
  EXPECT_TRUE(IsColour(anchored, 159, 279, clWhite));
  PrintWithLayout(PictureSource(pic), &ct, 200, 300, 1, true,
                  "Print Withoffset=1 DirectionPos=-1 width=40 height=20" + WriteParamFloat("left", g.Left) +
                      WriteParamFloat("top", g.Top),
                  dev);
  for (int32_t y = 0; y < 300; ++y)
    ASSERT_EQ(std::memcmp(anchored.ScanLine(y), typed.ScanLine(y), 200 * 3), 0) << "row " << y;
}

TEST(PrintLayout, CellsPostersAndWhatIsRefused) {
  TBitmap pic;
  Paint24(pic, 30, 30, [](int32_t, int32_t) { return TBGRPixel{0, 0, 255}; });
  TPrintDevice dev;
  TBitmap page(250, 350);
  auto drawn = [&](const std::string& Params) {
    FillFlat24(page, Gray(255));
    TCanvas c(page);
    PrintWithLayout(PictureSource(pic), &c, 2500, 3500, 0.1, true, Params, dev);
  };
  // Mode 1: whole cells only, 4 x 5 of 600 pixels on 2500 x 3500.
  drawn("Print Mode=1 width=600 height=600");
  for (int32_t y = 0; y < 6; ++y)
    for (int32_t x = 0; x < 4; ++x)
      EXPECT_EQ(IsColour(page, x * 60 + 30, y * 60 + 30, clRed), y < 5) << x << "," << y;
  EXPECT_TRUE(IsColour(page, 245, 30, clWhite));  // no fifth column
  // A cell larger than the page leaves the page empty.
  drawn("Print Mode=1 width=2600 height=600");
  EXPECT_TRUE(IsColour(page, 10, 10, clWhite));
  // Mode 2: 2.5 pages wide and one high is three pages; the overview shows them in red.
  int32_t cols = 0, rows = 0;
  PosterPages(TPrintGeometry{0, 0, 6250, 3500}, 2500, 3500, cols, rows);
  EXPECT_EQ(cols, 3);
  EXPECT_EQ(rows, 1);
  drawn("Print Mode=2 width=6250 height=3500 Page=3");
  EXPECT_TRUE(IsColour(page, 10, 10, clRed));    // the last half page
  EXPECT_TRUE(IsColour(page, 140, 10, clWhite));
  drawn("Print Mode=2 width=6250 height=3500 Page=-1");
  EXPECT_TRUE(IsColour(page, 83, 200, clRed));  // outlines of 3 x 3 pages
  EXPECT_TRUE(IsColour(page, 0, 300, clRed));
  EXPECT_TRUE(IsColour(page, 40, 300, clWhite));

  const struct {
    int32_t W, H;
    std::string Params;
  } refused[] = {
      {0, 3500, "Print"},
      {2500, 0, "Print Mode=1"},
      {2500, 3500, "Print width=0 height=100"},
      {2500, 3500, "Print Mode=1 width=0.2 height=100"},
      {2500, 3500, "Print Mode=2 width=2500000 height=350000"},  // 1000 x 100 pages
      {2500, 3500, "Print Mode=3"},                               // no catalog
  };
  for (const auto& r : refused)
    EXPECT_THROW(PrintWithLayout(PictureSource(pic), nullptr, r.W, r.H, 1, false, r.Params, dev), EPrintLayout)
        << r.Params;
  TBitmap none;
  EXPECT_THROW(PrintWithLayout(PictureSource(none), nullptr, 2500, 3500, 1, false, "Print", dev), EPrintLayout);
}

TEST(PrintLayout, CatalogPrintsEveryEntryPastThe256th) {
  EnsureQtApplication();
  TScratchFolder folder("kvprintcat");
  SetProgramFolder(folder.Path() + "/");
  tcache().SetImageSize(16, 16);
  const std::string file = folder.Path() + "/rot.bmp";
  {
    TBitmap b;
    Paint24(b, 16, 16, [](int32_t, int32_t) { return TBGRPixel{0, 0, 255}; });
    TImagerIO io(nullptr);
    io.AttachBitmap(&b);
    io.SaveToFileByExtension(file);
  }
  TStringList entries;
  for (int i = 0; i < 300; ++i) entries.Add(file);
  TPrintSource src;
  src.CatalogFiles = &entries;
  TPrintDevice dev;
  int32_t lastPercent = 0;
  dev.Progress = [&](int32_t P) { lastPercent = P; };
  // 10 x 10 cells a page: entry 300 is the last cell of page 3.
  TBitmap page(160, 160);
  FillFlat24(page, Gray(255));
  TCanvas c(page);
  PrintWithLayout(src, &c, 160, 160, 1, true, "Print Mode=3 width=16 height=16 Page=3", dev);
  EXPECT_TRUE(IsColour(page, 9 * 16 + 8, 9 * 16 + 8, clRed));
  EXPECT_EQ(lastPercent, 100);
  tcache().SetImageSize(100, 70);
  tcache().Clear();
  SetProgramFolder("");
}

}  // namespace
}  // namespace kv
