// GIF pictures and icons through the clipboard and the picture class.
#include <gtest/gtest.h>

#include "components/graphics/clip_icon.h"
#include "components/graphics/gif_image.h"
#include "platform/graphics/canvas.h"
#include "platform/graphics/picture.h"
#include "support/bitmap_patterns.h"
#include "support/temp_files.h"

namespace kv {
namespace {

std::unique_ptr<TBitmap> Pattern(int32_t Seed) {
  return test::Make24(9, 7, [Seed](int32_t x, int32_t y) {
    return TBGRPixel{uint8_t((x + Seed) % 3 * 120), uint8_t(y % 2 * 200), uint8_t(Seed * 50)};
  });
}

TEST(GraphicsClipboard, GifKeepsItsFramesOnTheClipboard) {
  TGIFImage g;
  g.AppendFrame(*Pattern(1));
  g.AppendFrame(*Pattern(2));
  g.Frames(1).DelayMs = 40;
  TMemoryStream encoded;
  g.SaveToStream(encoded);  // codes the frames, so the GIF data go along
  g.SaveToClipboardFormat();
  EXPECT_TRUE(Clipboard().HasFormat(CF_GIF()));
  EXPECT_EQ(GetClipboardFormatName(CF_GIF()), "GIF Image");

  TGIFImage back;
  back.LoadFromClipboardFormat();
  ASSERT_EQ(back.FrameCount(), 2);
  EXPECT_EQ(back.CurrentFrame(), 0);
  EXPECT_EQ(back.Frames(1).DelayMs, 40);
  EXPECT_EQ(back.Frames(0).DecodedBitmap()->GetPixelColor(3, 1), Pattern(1)->GetPixelColor(3, 1));

  // With only a bitmap there, it becomes a one-frame image.
  Clipboard().SetBitmap(*Pattern(3));
  back.LoadFromClipboardFormat();
  ASSERT_EQ(back.FrameCount(), 1);
  EXPECT_EQ(back.Frames(0).DecodedBitmap()->GetPixelColor(4, 4), Pattern(3)->GetPixelColor(4, 4));
}

TEST(GraphicsClipboard, PictureLoadsGifFilesAndCopiesTheGraphic) {
  EXPECT_EQ(TPicture::FileFormatDescription("GIF"), "CompuServe GIF Bild");
  test::TScratchFolder dir;
  TGIFImage g;
  g.AppendFrame(*Pattern(4));
  g.SaveToFile(dir.Path() + "/p.gif");
  TPicture p;
  p.LoadFromFile(dir.Path() + "/p.gif");
  ASSERT_NE(dynamic_cast<TGIFImage*>(p.Graphic()), nullptr);
  EXPECT_EQ(p.Width(), 9);
  TPicture q;
  q.Assign(&p);
  EXPECT_NE(dynamic_cast<TGIFImage*>(q.Graphic()), nullptr);
  EXPECT_NE(dynamic_cast<TGIFImage*>(TPicture::GraphicForClipboardFormat(CF_GIF()).get()), nullptr);
}

TEST(GraphicsClipboard, IconsGoToTheClipboardAsIcons) {
  TBitmap b(8, 8, pf24bit);
  b.Canvas().Brush().SetColor(clNavy);
  b.Canvas().FillRect(Rect(0, 0, 8, 8));
  b.SetPixelColor(0, 0, clWhite);
  TIcon icon;
  icon.FromBitmap(b, clWhite);
  CopyIconToClipboard(icon);
  TIcon back;
  ASSERT_TRUE(PasteIconFromClipboard(back));
  EXPECT_TRUE(back.SameAs(icon));
  EXPECT_TRUE(back.IsTransparentPixel(0, 0));
  TBitmap shown;
  EXPECT_TRUE(Clipboard().GetBitmap(shown));
  EXPECT_NE(dynamic_cast<TIcon*>(TPicture::GraphicForClipboardFormat(CF_ICON()).get()), nullptr);
  Clipboard().Clear();
  EXPECT_FALSE(PasteIconFromClipboard(back));
}

}  // namespace
}  // namespace kv
