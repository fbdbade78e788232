// The GIF graphic against giflib's and netpbm's tools and ImageMagick, and on
// hand-made files for the damaged cases.
#include <gtest/gtest.h>

#include "components/graphics/gif_image.h"
#include "components/graphics/gif_lzw.h"
#include "platform/graphics/canvas.h"
#include "platform/rtl/exceptions.h"
#include "support/bitmap_patterns.h"
#include "support/netpbm_io.h"
#include "support/outside_tools.h"
#include "support/temp_files.h"

namespace kv {
namespace {

using Bytes = std::vector<uint8_t>;

// A picture of at most 64 colours, so palette files keep it exactly.
std::unique_ptr<TBitmap> Picture(int32_t W, int32_t H, int32_t Seed) {
  return test::Make24(W, H, [Seed](int32_t x, int32_t y) {
    const int32_t k = (x / 3 + y / 2 + Seed) % 4, j = (x * y + Seed) % 4;
    return TBGRPixel{uint8_t(k * 85), uint8_t(j * 85), uint8_t(((x + Seed) % 4) * 85)};
  });
}

void ExpectSamePixels(const TBitmap& A, const TBitmap& B, const std::string& What) {
  ASSERT_EQ(A.Width(), B.Width()) << What;
  ASSERT_EQ(A.Height(), B.Height()) << What;
  for (int32_t y = 0; y < A.Height(); ++y)
    for (int32_t x = 0; x < A.Width(); ++x)
      ASSERT_EQ(A.GetPixelColor(x, y), B.GetPixelColor(x, y)) << What << " at " << x << "," << y;
}

std::unique_ptr<TGIFImage> LoadBytes(const Bytes& B) {
  auto g = std::make_unique<TGIFImage>();
  TReadOnlyMemoryStream s(B.data(), int64_t(B.size()));
  g->LoadFromStream(s);
  return g;
}

Bytes SaveBytes(TGIFImage& G) {
  TMemoryStream s;
  G.SaveToStream(s);
  const uint8_t* m = static_cast<const uint8_t*>(s.Memory());
  return Bytes(m, m + s.Size());
}

// A 4 x 2 picture of a two-colour global table, coded by our own coder, with
// room for extensions before the image and a choice of signature.
Bytes HandMade(const std::string& Sig, const Bytes& Before, uint16_t FrameW = 4, const Bytes* Coded = nullptr) {
  Bytes b(Sig.begin(), Sig.end());
  const Bytes screen = {4, 0, 2, 0, 0x80, 0, 0, 255, 0, 0, 0, 0, 255};
  b.insert(b.end(), screen.begin(), screen.end());
  b.insert(b.end(), Before.begin(), Before.end());
  const Bytes desc = {',', 0, 0, 0, 0, uint8_t(FrameW), 0, 2, 0, 0};
  b.insert(b.end(), desc.begin(), desc.end());
  const uint8_t px[8] = {0, 1, 1, 0, 1, 1, 0, 0};
  const Bytes coded = Coded ? *Coded : GifLzwEncode(px, 4, 2, 1, false);
  b.insert(b.end(), coded.begin(), coded.end());
  b.push_back(';');
  return b;
}

TEST(GifLzw, RoundTripsEveryDepthAndLongRuns) {
  for (int32_t bits : {1, 4, 8}) {
    for (bool interlaced : {false, true}) {
      const int32_t w = 173, h = 61;
      Bytes px(size_t(w * h));
      for (size_t i = 0; i < px.size(); ++i) px[i] = uint8_t(((i * 7) / (i % 13 + 1)) & ((1 << bits) - 1));
      std::fill(px.begin(), px.begin() + 5000, uint8_t(1));  // a run long enough to fill the table
      const Bytes coded = GifLzwEncode(px.data(), w, h, bits, interlaced);
      Bytes back(px.size(), 0xEE);
      const TGifDecodeResult r = GifLzwDecode(coded.data(), coded.size(), w, h, interlaced, false, back.data());
      EXPECT_FALSE(r.Corrupt);
      EXPECT_EQ(back, px) << bits << " " << interlaced;
    }
  }
}

TEST(GifLzw, DamagedCodesAreRefused) {
  // Minimum code size 2: clear 4, end 5. After a root, code 7 is beyond the next free code (6).
  const Bytes beyond = {2, 2, 0xC4, 0x01, 0};  // clear, 0, 7 at 3 bits each
  Bytes px(8, 0);
  EXPECT_THROW(GifLzwDecode(beyond.data(), beyond.size(), 4, 2, false, false, px.data()), EInvalidGraphicOperation);
  EXPECT_TRUE(GifLzwDecode(beyond.data(), beyond.size(), 4, 2, false, true, px.data()).Corrupt);
  const Bytes badSize = {12, 1, 0, 0};
  EXPECT_THROW(GifLzwDecode(badSize.data(), badSize.size(), 4, 2, false, false, px.data()), EInvalidGraphicOperation);
  const Bytes shortBlock = {2, 9, 0x44};
  EXPECT_TRUE(GifLzwDecode(shortBlock.data(), shortBlock.size(), 4, 2, false, true, px.data()).Corrupt);
}

class GifFiles : public test::TTempFolderTest {};

// Several frames with delays, a transparent colour, interlace and looping,
// made by ImageMagick, read by us pixel for pixel.
TEST_F(GifFiles, ReadsWhatImageMagickWrites) {
  if (!test::HaveTool("convert")) GTEST_SKIP() << "ImageMagick missing";
  auto a = Picture(21, 13, 0), b = Picture(21, 13, 1);
  test::WritePnm(Dir + "a.ppm", *a);
  test::WritePnm(Dir + "b.ppm", *b);
  ASSERT_EQ(test::Run("convert -delay 25 " + Dir + "a.ppm -delay 7 " + Dir + "b.ppm -loop 3 -interlace GIF "
                      "-transparent 'rgb(0,0,0)' " + Dir + "anim.gif"), 0);
  TGIFImage g;
  g.LoadFromFile(Dir + "anim.gif");
  ASSERT_EQ(g.FrameCount(), 2);
  EXPECT_EQ(g.Width(), 21);
  EXPECT_EQ(g.Height(), 13);
  EXPECT_TRUE(g.LoopEnabled());
  // ImageMagick's own idea of the stored count is the judge.
  const std::string dump = test::RunCapture("gifbuild -d " + Dir + "anim.gif 2>&1");
  EXPECT_NE(dump.find("netscape loop " + std::to_string(g.LoopCount())), std::string::npos) << dump;
  EXPECT_EQ(g.FormatVersion(), gfv89a);
  EXPECT_EQ(g.Frames(0).DelayMs, 250);
  EXPECT_EQ(g.Frames(1).DelayMs, 70);
  EXPECT_TRUE(g.Frames(0).IsInterlaced);
  EXPECT_EQ(g.Frames(0).KeyColor, clBlack);
  ExpectSamePixels(*g.Frames(0).DecodedBitmap(), *a, "frame 0");
  ExpectSamePixels(*g.Frames(1).DecodedBitmap(), *b, "frame 1");
}

TEST_F(GifFiles, WritesWhatTheToolsRead) {
  if (!test::HaveTool("giftopnm") || !test::HaveTool("gifbuild")) GTEST_SKIP() << "netpbm or giflib missing";
  auto a = Picture(33, 9, 2), b = Picture(33, 9, 3);
  TGIFImage g;
  g.AppendFrame(*a);
  g.AppendFrame(*b);
  g.Frames(0).DelayMs = 120;
  g.Frames(1).KeyColor = TColor(RGB(0, 0, 0));
  g.Frames(1).Disposal = 2;
  g.SetLoopEnabled(true);
  g.SetLoopCount(0);
  g.SaveToFile(Dir + "ours.gif");

  for (int32_t i = 0; i < 2; ++i) {
    ASSERT_EQ(test::Run("giftopnm -image=" + std::to_string(i + 1) + " " + Dir + "ours.gif > " + Dir + "f.ppm 2>/dev/null"), 0);
    TBitmap back;
    ASSERT_TRUE(test::ReadPnm(Dir + "f.ppm", back));
    ExpectSamePixels(back, i == 0 ? *a : *b, "frame " + std::to_string(i));
  }
  const std::string dump = test::RunCapture("gifbuild -d " + Dir + "ours.gif 2>&1");
  EXPECT_NE(dump.find("netscape loop 0"), std::string::npos) << dump;
  EXPECT_NE(dump.find("delay 12"), std::string::npos) << dump;
  EXPECT_NE(dump.find("disposal mode 2"), std::string::npos) << dump;
  EXPECT_NE(dump.find("transparent index"), std::string::npos) << dump;
  // The first frame's colours became the global table; the second frame keeps its own.
  EXPECT_NE(dump.find("screen colors"), std::string::npos) << dump;
}

TEST_F(GifFiles, InterlacedFileFromGifbuildAndBackThroughUs) {
  if (!test::HaveTool("gifbuild") || !test::HaveTool("giftopnm")) GTEST_SKIP() << "giflib missing";
  // Twelve rows, each its own colour index, so a wrong pass order shows at once.
  std::string text = "screen width 3\nscreen height 12\nscreen colors 16\nscreen background 0\n\nscreen map\n";
  for (int i = 0; i < 16; ++i)
    text += "\trgb " + std::to_string(i * 16) + " " + std::to_string(255 - i * 16) + " 7 is " + "abcdefghijklmnop"[i] + "\n";
  text += "end\n\nimage # 0\nimage left 0\nimage top 0\nimage interlaced\nimage bits 3 by 12\n";
  for (int y = 0; y < 12; ++y) text += std::string(3, "abcdefghijkl"[y]) + "\n";
  test::WriteText(Dir + "il.txt", text);
  ASSERT_EQ(test::Run("gifbuild " + Dir + "il.txt > " + Dir + "il.gif"), 0);
  TGIFImage g;
  g.LoadFromFile(Dir + "il.gif");
  ASSERT_EQ(g.FrameCount(), 1);
  EXPECT_TRUE(g.Frames(0).IsInterlaced);
  TBitmap* b = g.Frames(0).DecodedBitmap();
  for (int32_t y = 0; y < 12; ++y) EXPECT_EQ(b->GetPixelColor(1, y), TColor(RGB(uint8_t(y * 16), uint8_t(255 - y * 16), 7))) << y;
}

TEST(GifImage, OneTrueColourFrameWritesA87aFileWithAGlobalTable) {
  auto src = test::Make24(40, 30, [](int32_t x, int32_t y) { return TBGRPixel{uint8_t(x * 6), uint8_t(y * 8), 99}; });
  TGIFImage g;
  g.Assign(src.get());
  const Bytes out = SaveBytes(g);
  ASSERT_GE(out.size(), 13u);
  EXPECT_EQ(std::string(out.begin(), out.begin() + 6), "GIF87a");
  EXPECT_EQ(out[10] & 0x80, 0x80);  // global table
  EXPECT_FALSE(g.Frames(0).HasLocalTable);
  EXPECT_EQ(g.Frames(0).Item->BitsPerPixel, 8);
  const size_t desc = 13 + 768;
  ASSERT_EQ(out[desc], ',');
  EXPECT_EQ(out[desc + 9] & 0x80, 0);  // no local table
  EXPECT_EQ(std::string(out.begin(), out.begin() + 6), "GIF87a");
  // No loop block for a single frame, even with looping on.
  g.SetLoopEnabled(true);
  const Bytes again = SaveBytes(g);
  EXPECT_EQ(std::search(again.begin(), again.end(), std::begin("NETSCAPE2.0"), std::end("NETSCAPE2.0") - 1), again.end());
}

TEST(GifImage, HandMadeEdgeCases) {
  // Case-insensitive signature; a zero frame width takes the screen's.
  auto g = LoadBytes(HandMade("gif89A", {}, 0));
  ASSERT_EQ(g->FrameCount(), 1);
  EXPECT_EQ(g->Frames(0).Width(), 4);
  EXPECT_EQ(g->Frames(0).DecodedBitmap()->GetPixelColor(1, 0), clBlue);
  EXPECT_EQ(g->BackColor(), clRed);

  // A repeat count of 65535 reads as 30000.
  const Bytes loop = {'!', 0xFF, 11, 'N', 'E', 'T', 'S', 'C', 'A', 'P', 'E', '2', '.', '0', 3, 1, 0xFF, 0xFF, 0};
  g = LoadBytes(HandMade("GIF89a", loop));
  EXPECT_TRUE(g->LoopEnabled());
  EXPECT_EQ(g->LoopCount(), 30000);

  // 7000 hundredths do not fit 16-bit milliseconds: clamped, not wrapped.
  const Bytes gce = {'!', 0xF9, 4, 0x09, 0x58, 0x1B, 1, 0};
  g = LoadBytes(HandMade("GIF89a", gce));
  EXPECT_EQ(g->Frames(0).DelayMs, 65535);
  EXPECT_EQ(g->Frames(0).KeyColor, clBlue);
  EXPECT_EQ(g->Frames(0).Disposal, 2);

  // A transparent index outside the table gives no key colour.
  const Bytes gceOut = {'!', 0xF9, 4, 0x01, 0, 0, 9, 0};
  EXPECT_EQ(LoadBytes(HandMade("GIF89a", gceOut))->Frames(0).KeyColor, clNone);

  // Comments with no picture after them describe the image.
  Bytes tail = HandMade("GIF89a", {});
  tail.pop_back();
  const Bytes comments = {'!', 0xFE, 2, 'h', 'i', 0, '!', 0xFE, 2, 'y', 'o', 0, ';'};
  tail.insert(tail.end(), comments.begin(), comments.end());
  g = LoadBytes(tail);
  EXPECT_EQ(g->Data().ImageComment.Text(), "hi\n\nyo\n");
}

TEST(GifImage, DamagedFiles) {
  EXPECT_THROW(LoadBytes(HandMade("GIF90a", {})), EInvalidGraphicOperation);
  EXPECT_THROW(LoadBytes({'G', 'I'}), EInvalidGraphicOperation);
  const Bytes unknown = {'!', 0x33, 0};
  try {
    LoadBytes(HandMade("GIF89a", unknown));
    FAIL();
  } catch (const EInvalidGraphicOperation& e) {
    EXPECT_EQ(e.Message(), "Unerkannter Erweiterungsblock: 33");
  }
  // A last sub-block cut short: loaded, flagged, no exception.
  Bytes cut = HandMade("GIF89a", {});
  cut.resize(cut.size() - 3);
  auto g = LoadBytes(cut);
  ASSERT_EQ(g->FrameCount(), 1);
  EXPECT_TRUE(g->Frames(0).IsCorrupt);
  GIFTolerantDecoding = false;
  EXPECT_THROW(LoadBytes(cut), EInvalidGraphicOperation);
  GIFTolerantDecoding = true;

  // A code past the next free one in the pixel data.
  const Bytes beyond = {2, 2, 0xC4, 0x01, 0};
  g = LoadBytes(HandMade("GIF89a", {}, 4, &beyond));
  EXPECT_TRUE(g->Frames(0).IsCorrupt);

  // A huge frame in a tiny file is refused before any allocation.
  Bytes huge = HandMade("GIF89a", {});
  huge[13 + 6 + 5] = 0xFF, huge[13 + 6 + 6] = 0xFF, huge[13 + 6 + 7] = 0xFF, huge[13 + 6 + 8] = 0xFF;
  EXPECT_THROW(LoadBytes(huge), EInvalidGraphicOperation);

  // A frame of no height on a screen of no height cannot be written back as it was read.
  const Bytes flat = {'G', 'I', 'F', '8', '9', 'a', 7, 4, 0, 0, 0, 0, 0, ',', 0, 0, 0, 0, 7, 4, 0, 0, 0, 2, 2, 0x4C, 1, 0, ';'};
  g = LoadBytes(flat);
  ASSERT_EQ(g->FrameCount(), 1);
  TMemoryStream out;
  EXPECT_THROW(g->SaveToStream(out), EInvalidGraphicOperation);

  TGIFImage empty;
  TMemoryStream s;
  EXPECT_THROW(empty.SaveToStream(s), EInvalidGraphicOperation);
  EXPECT_THROW(empty.SetWidth(3), EInvalidGraphicOperation);
}

TEST(GifImage, AssignmentSharesDataAndStreamsThroughTheFormProperty) {
  auto a = Picture(12, 10, 5);
  TGIFImage g;
  g.AppendFrame(*a);
  g.AppendFrame(*Picture(12, 10, 6));
  g.Frames(1).DelayMs = 300;
  g.Data().ImageComment.Add("made here");
  const std::string text = GetPropValue(&g, "Data");
  ASSERT_FALSE(text.empty());
  TGIFImage h;
  SetPropValue(&h, "Data", text);
  ASSERT_EQ(h.FrameCount(), 2);
  EXPECT_EQ(h.Frames(1).DelayMs, 300);
  EXPECT_EQ(h.Data().ImageComment.Get(0), "made here");
  ExpectSamePixels(*h.Frames(0).DecodedBitmap(), *a, "streamed frame");

  TGIFImage c;
  c.Assign(&h);
  EXPECT_TRUE(c.Equals(h));
  EXPECT_EQ(c.Frames(1).Item, h.Frames(1).Item);
  TBitmap out;
  out.Assign(&c);
  EXPECT_EQ(out.Width(), 12);

  // Drawing leaves the key colour out.
  h.Frames(0).KeyColor = h.Frames(0).DecodedBitmap()->GetPixelColor(0, 0);
  TBitmap canvas(12, 10, pf24bit);
  canvas.Canvas().Brush().SetColor(TColor(RGB(1, 2, 3)));
  canvas.Canvas().FillRect(Rect(0, 0, 12, 10));
  h.SetCurrentFrame(0);
  h.Draw(canvas.Canvas(), Rect(0, 0, 12, 10));
  EXPECT_EQ(canvas.GetPixelColor(0, 0), TColor(RGB(1, 2, 3)));
}

}  // namespace
}  // namespace kv
