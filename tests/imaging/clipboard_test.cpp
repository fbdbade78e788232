// The clipboard methods of the processing component, through the desktop
// clipboard (headless): our own DIBs round trip, DIBs written by another
// program (ImageMagick's BMP files without their 14-byte file header) paste
// as that program decodes them, and what does not decode changes nothing.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "imaging/model/mask.h"
#include "imaging/processing/dib.h"
#include "imaging/processing/imager_proc.h"
#include "platform/ui/clipboard.h"
#include "platform/ui/qt_app.h"
#include "support/bitmap_patterns.h"
#include "support/netpbm_io.h"
#include "support/outside_tools.h"
#include "support/temp_files.h"
#include "test_view.h"

namespace kv {
namespace {

using test::TTestView;

TBGRPixel At(const TBitmap& B, int32_t X, int32_t Y) {
  const TColor c = B.GetPixelColor(X, Y);
  return TBGRPixel{uint8_t(c >> 16), uint8_t(c >> 8), uint8_t(c)};
}

std::vector<std::string> Captions(const TStringList& L) {
  std::vector<std::string> r;
  for (int32_t i = 0; i < L.Count(); ++i) r.push_back(L.Strings(i));
  return r;
}

struct Attached {
  TTestView View;
  TImagerProc Proc{nullptr};
  explicit Attached(int Seed = 1) {
    test::Fill24(*View.Bmp, [Seed](int32_t x, int32_t y) {
      return TBGRPixel{uint8_t(x * 29 + Seed), uint8_t(y * 41 + Seed), uint8_t(x * y + Seed * 3)};
    });
    Proc.SetUndoStorage(skHeap);
    Proc.SetAttachedImager(&View);
  }
  TBitmap& Bmp() { return *View.Bmp; }
};

class ClipboardProc : public ::testing::Test {
 protected:
  void SetUp() override {
    EnsureQtApplication();
    ASSERT_NE(ClipboardService(), nullptr);
    Clipboard().Clear();
  }
  // The clipboard's DIB, decoded.
  static bool ClipPicture(TBitmap& Out) {
    const std::vector<uint8_t> d = Clipboard().GetBuffer(CF_DIB);
    return DIBToBitmap(d.data(), d.size(), Out) >= 0;
  }
};

TEST_F(ClipboardProc, OwnBytesRoundTrip) {
  Attached from(1), to(7);
  from.Proc.CopyToClipboard();
  ASSERT_TRUE(Clipboard().HasFormat(CF_DIB));
  to.Proc.PasteFromClipboard();
  EXPECT_EQ(Captions(to.Proc.UndoCaptions()), std::vector<std::string>{"PastFromClipboard"});
  ASSERT_EQ(to.Bmp().Width(), 8);
  for (int32_t y = 0; y < 6; ++y)
    for (int32_t x = 0; x < 8; ++x) ASSERT_EQ(At(to.Bmp(), x, y), At(from.Bmp(), x, y));

  // A 1-bit picture comes back 1-bit.
  TBitmap bw(13, 3, pf1bit);
  bw.SetPixelColor(4, 1, clBlack);
  TImagerProc p(nullptr);
  p.SetAttachedBitmap(&bw);
  p.CopyToClipboard();
  to.Proc.PasteFromClipboard();
  EXPECT_EQ(to.Bmp().PixelFormat(), pf1bit);
  EXPECT_EQ(to.Bmp().GetPixelColor(4, 1), clBlack);
  EXPECT_EQ(to.Bmp().GetPixelColor(5, 1), clWhite);
}

TEST_F(ClipboardProc, SelectionsCopyCutAndStretch) {
  Attached a;
  TBitmap before;
  before.Assign(&a.Bmp());
  // An elliptic selection: its box on the clipboard, white outside the ellipse.
  a.View.Selection.AllocateBits(8, 6, 1);
  for (int32_t y = 0; y < 6; ++y)
    for (int32_t x = 0; x < 8; ++x)
      if ((x - 4) * (x - 4) * 9 + (y - 3) * (y - 3) * 16 <= 36) a.View.Selection.SetPixel(x, y, 1);
  a.View.Selected = true;
  a.Proc.SelCopyToClip();
  TBitmap clip;
  ASSERT_TRUE(ClipPicture(clip));
  const TIMMask& m = a.View.Selection;
  ASSERT_EQ(clip.Width(), m.X2 - m.X1 + 1);
  ASSERT_EQ(clip.Height(), m.Y2 - m.Y1 + 1);
  for (int32_t y = 0; y < clip.Height(); ++y)
    for (int32_t x = 0; x < clip.Width(); ++x)
      EXPECT_EQ(At(clip, x, y), m.GetPixel(x + m.X1, y + m.Y1) ? At(before, x + m.X1, y + m.Y1) : test::Gray(255));
  EXPECT_EQ(a.Proc.UndoCount(), 0);

  // Cut: the same on the clipboard, and the ellipse takes the background colour.
  a.Proc.SetBackground(clLime);
  a.Proc.SelCutToClip();
  EXPECT_EQ(Captions(a.Proc.UndoCaptions()), std::vector<std::string>{"SelCutToClip"});
  EXPECT_EQ(a.Bmp().GetPixelColor(4, 3), clLime);
  EXPECT_EQ(At(a.Bmp(), 0, 0), At(before, 0, 0));

  // Stretch: a 2 x 2 picture fills the box 2..5 x 1..4.
  auto small = test::Make24(2, 2, [](int32_t x, int32_t y) { return TBGRPixel{uint8_t(x * 200), uint8_t(y * 200), 0}; });
  const TDib d = BitmapRectToDIB(*small, 0, 0, 0, 0);
  Clipboard().SetBuffer(CF_DIB, d.data(), d.size());
  a.View.SelectRect(2, 1, 5, 4);
  a.Proc.SelPasteFromClipStretch();
  EXPECT_EQ(At(a.Bmp(), 2, 1), (TBGRPixel{0, 0, 0}));
  EXPECT_EQ(At(a.Bmp(), 5, 4), (TBGRPixel{200, 200, 0}));
  EXPECT_EQ(At(a.Bmp(), 3, 3), (TBGRPixel{0, 200, 0}));
  EXPECT_EQ(a.Bmp().GetPixelColor(6, 3), clLime) << "cut, outside the box";
}

TEST_F(ClipboardProc, NothingHappensWithoutSelectionOrPicture) {
  Attached a;
  TBitmap before;
  before.Assign(&a.Bmp());
  a.Proc.SelCutToClip();  // no selection
  EXPECT_EQ(a.Proc.UndoCount(), 0);
  EXPECT_FALSE(Clipboard().HasFormat(CF_DIB));
  // A DIB that does not decode: no snapshot, no change.
  const std::vector<uint8_t> junk = {40, 0, 0, 0, 1, 0, 0, 0, 1, 0, 0, 0, 1, 0, 24, 0};
  Clipboard().SetBuffer(CF_DIB, junk.data(), junk.size());
  a.Proc.PasteFromClipboard();
  a.View.SelectRect(1, 1, 2, 2);
  a.Proc.SelPasteFromClipStretch();
  EXPECT_EQ(a.Proc.UndoCount(), 0);
  for (int32_t y = 0; y < 6; ++y)
    for (int32_t x = 0; x < 8; ++x) ASSERT_EQ(At(a.Bmp(), x, y), At(before, x, y));
}

// DIBs another program wrote: ImageMagick's BMP files without their file
// header, pasted and compared with ImageMagick's own decoding of the file.
TEST_F(ClipboardProc, DibsOfAnotherProgramPaste) {
  if (!test::HaveTool("convert")) GTEST_SKIP() << "ImageMagick missing";
  const std::string src = test::TempPath("clip_src.ppm"), bmp = test::TempPath("clip.bmp");
  test::WritePnm(src, *test::Make24(23, 9, [](int32_t x, int32_t y) {
    return TBGRPixel{uint8_t(x * 11), uint8_t(y * 28), uint8_t((x * y) & 0xFF)};
  }));
  for (const char* kind : {"BMP3:", "-colors 40 -type palette BMP3:", "-colors 40 -type palette -compress RLE BMP3:",
                           "-colors 12 -type palette BMP3:", "-monochrome BMP3:", "BMP:",
                           "-define bmp:subtype=RGB565 BMP:", "-alpha set BMP:"}) {
    ASSERT_EQ(test::Run("convert '" + src + "' " + kind + "'" + bmp + "'"), 0) << kind;
    ASSERT_EQ(test::Run("convert '" + bmp + "' -alpha off -depth 8 ppm:'" + bmp + ".ppm'"), 0) << kind;
    TBitmap want;
    ASSERT_TRUE(test::ReadPnm(bmp + ".ppm", want));
    const std::vector<uint8_t> file = test::ReadBytes(bmp);
    ASSERT_GT(file.size(), 14u);
    Clipboard().SetBuffer(CF_DIB, file.data() + 14, file.size() - 14);
    Attached a;
    a.Proc.PasteFromClipboard();
    ASSERT_EQ(a.Proc.UndoCount(), 1) << kind;
    ASSERT_EQ(a.Bmp().Width(), 23) << kind;
    int diff = 0;
    for (int32_t y = 0; y < 9; ++y)
      for (int32_t x = 0; x < 23; ++x) {
        const TBGRPixel p = At(a.Bmp(), x, y), q = At(want, x, y);
        diff = std::max({diff, std::abs(p.r - q.r), std::abs(p.g - q.g), std::abs(p.b - q.b)});
      }
    EXPECT_LE(diff, 7) << kind;  // 5- and 6-bit channels are widened differently
  }
}

}  // namespace
}  // namespace kv
