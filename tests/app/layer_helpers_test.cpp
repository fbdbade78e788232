// The free helpers of the image control: byte sizes, file facts, comment
// texts, proportional sizes and scaled drawing.
#include <gtest/gtest.h>

#include <string>

#include "app/layer/layer_helpers.h"
#include "app/layer/stretch_draw.h"
#include "platform/rtl/file_utils.h"
#include "platform/rtl/string_list.h"
#include "platform/ui/dialogs.h"
#include "support/bitmap_patterns.h"
#include "support/temp_files.h"

namespace kv {
namespace {

TEST(LayerHelpers, FormatByteSize) {
  struct Case {
    int64_t Size;
    const char* Text;
  };
  for (const Case& c : {Case{0, "0.00 Byte"}, Case{1024, "1024.00 Byte"}, Case{1025, "1.00 KB"},
                        Case{1536, "1.50 KB"}, Case{1048576, "1024.00 KB"}, Case{2097152, "2.00 MB"},
                        Case{int64_t(5) << 40, "5242880.00 MB"}})
    EXPECT_EQ(FormatByteSize(c.Size), c.Text) << c.Size;
}

TEST(LayerHelpers, ProportionalSizes) {
  struct Case {
    int32_t IW, IH, BW, BH, FitW, FitH, CoverW, CoverH;
  };
  for (const Case& c : {Case{400, 200, 100, 100, 100, 50, 200, 100}, Case{200, 400, 100, 100, 50, 100, 100, 200},
                        Case{300, 300, 100, 50, 50, 50, 100, 100}, Case{3, 2, 5, 5, 5, 3, 8, 5},
                        // no aspect to keep: the box where the divisor is 0
                        Case{0, 0, 70, 40, 70, 40, 70, 40}, Case{0, 10, 70, 40, 0, 40, 70, 40}}) {
    int32_t w = -1, h = -1;
    ProportionalSize(c.IW, c.IH, c.BW, c.BH, w, h);
    EXPECT_EQ(w, c.FitW) << c.IW << 'x' << c.IH << " in " << c.BW << 'x' << c.BH;
    EXPECT_EQ(h, c.FitH) << c.IW << 'x' << c.IH << " in " << c.BW << 'x' << c.BH;
    ProportionalCoverSize(c.IW, c.IH, c.BW, c.BH, w, h);
    EXPECT_EQ(w, c.CoverW) << c.IW << 'x' << c.IH << " over " << c.BW << 'x' << c.BH;
    EXPECT_EQ(h, c.CoverH) << c.IW << 'x' << c.IH << " over " << c.BW << 'x' << c.BH;
  }
}

TEST(LayerHelpers, EscapedTextRoundTripDropsTheUnterminatedTail) {
  TStringList list;
  list.Add("eins");
  list.Add("");
  list.Add("drei \\ r");
  const std::string text = ListToEscapedText(list);
  EXPECT_EQ(text, "eins\\r\\n\\r\\ndrei \\ r\\r\\n");
  TStringList back;
  back.Add("old");
  EscapedTextToList(text + "tail", back);
  ASSERT_EQ(back.Count(), 3);
  EXPECT_EQ(back.Get(0), "eins");
  EXPECT_EQ(back.Get(1), "");
  EXPECT_EQ(back.Get(2), "drei \\ r");
}

class LayerFiles : public test::TTempFolderTest {};

TEST_F(LayerFiles, SizeDateAndCommentOfAFile) {
  const std::string name = Dir + "bild.jpg";
  EXPECT_EQ(GetFileSizeByName(name), 0);
  EXPECT_EQ(GetFileDateByName(name), 0);
  EXPECT_EQ(ReadTextComment(name), "");
  test::WriteText(name, "12345");
  EXPECT_EQ(GetFileSizeByName(name), 5);
  EXPECT_NEAR(GetFileDateByName(name), FileAge(name), 1e-9);
  EXPECT_GT(GetFileDateByName(name), 0);
  test::WriteText(name + ".txt", "Urlaub\r\nam Meer");
  EXPECT_EQ(ReadTextComment(name), "Urlaub\\r\\nam Meer\\r\\n");
  EXPECT_EQ(ReadTextComment(""), "");
}

// Every pixel tells its coordinates: blue = x, green = y.
TBGRPixel Coords(int32_t x, int32_t y) { return TBGRPixel{uint8_t(x), uint8_t(y), 9}; }

TBGRPixel At(const TBitmap& B, int32_t X, int32_t Y) { return static_cast<const TBGRPixel*>(B.ScanLine(Y))[X]; }

TEST(StretchDraw, IntoABitmapByNearestNeighbourClipped) {
  auto src = test::Make24(10, 10, Coords);
  auto dst = test::Make24(8, 8, [](int32_t, int32_t) { return test::Gray(0); });
  // 2x enlargement of the source part 2..6 x 2..6 at -4, -4: only the last
  // 4 x 4 source pixels land, each twice in both directions.
  StretchDrawClipped(*src, nullptr, Rect(2, 2, 6, 6), dst.get(), 8, 8, Rect(-4, -4, 4, 4));
  for (int32_t y = 0; y < 4; ++y)
    for (int32_t x = 0; x < 4; ++x) {
      EXPECT_EQ(At(*dst, x, y).b, 4 + x / 2) << x << ',' << y;
      EXPECT_EQ(At(*dst, x, y).g, 4 + y / 2) << x << ',' << y;
    }
  EXPECT_EQ(At(*dst, 4, 4).b, 0);  // outside the target rectangle: untouched

  // Halving the whole source takes every second pixel.
  StretchDrawToSize(*src, nullptr, dst.get(), 5, 5);
  EXPECT_EQ(At(*dst, 3, 2).b, 6);
  EXPECT_EQ(At(*dst, 3, 2).g, 4);

  // A source rectangle reaching past the source reads its edge, never beyond.
  StretchDrawPart(*src, nullptr, Rect(5, 5, 25, 25), dst.get(), Rect(0, 0, 8, 8));
  EXPECT_EQ(At(*dst, 7, 7).b, 9);
}

TEST(StretchDraw, OntoACanvasAveragesWhenShrinking) {
  // Alternating black and white columns become mid gray when halved.
  auto src = test::Make24(40, 20, [](int32_t x, int32_t) { return test::Gray(x % 2 ? 255 : 0); });
  TBitmap dst(30, 30, pf24bit);
  test::FillFlat24(dst, test::Gray(7));
  StretchDrawWhole(*src, &dst.Canvas(), nullptr, 30, 30, Rect(5, 5, 25, 15));
  EXPECT_NEAR(At(dst, 15, 10).b, 128, 20);
  EXPECT_EQ(At(dst, 4, 10).b, 7);
  EXPECT_EQ(At(dst, 15, 15).b, 7);
  // Enlarging repeats pixels.
  StretchDrawPart(*src, &dst.Canvas(), Rect(0, 0, 2, 1), nullptr, Rect(0, 0, 4, 2));
  EXPECT_EQ(At(dst, 1, 1).b, 0);
  EXPECT_EQ(At(dst, 2, 1).b, 255);
}

}  // namespace
}  // namespace kv
