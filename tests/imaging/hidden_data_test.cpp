#include "imaging/processing/hidden_data.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "imaging/formats/imager_io.h"
#include "imaging/processing/imager_proc.h"
#include "support/bitmap_patterns.h"
#include "support/outside_tools.h"
#include "support/temp_files.h"

namespace kv {
namespace {

std::unique_ptr<TBitmap> Noise(int32_t W, int32_t H, int Seed) {
  return test::Make24(W, H, [Seed](int32_t x, int32_t y) {
    return TBGRPixel{uint8_t(x * 37 + y * 11 + Seed), uint8_t(x * y + Seed * 5), uint8_t(x ^ (y * 3))};
  });
}

std::vector<uint8_t> Bytes(int32_t N, int Seed) {
  std::vector<uint8_t> d(static_cast<size_t>(N));
  for (int32_t i = 0; i < N; ++i) d[size_t(i)] = uint8_t(i * 97 + Seed);
  return d;
}

// Sets the low bit of carrier byte K (row 0 only: the tests keep K within it).
void SetCarrierBit(TBitmap& B, int32_t K, bool Bit) {
  uint8_t& v = static_cast<uint8_t*>(B.ScanLine(0))[K];
  v = uint8_t((v & ~1) | (Bit ? 1 : 0));
}

// A component on a bare bitmap.
struct OnBitmap {
  std::unique_ptr<TBitmap> Bmp;
  TImagerProc Proc{nullptr};
  explicit OnBitmap(std::unique_ptr<TBitmap> B) : Bmp(std::move(B)) { Proc.SetAttachedBitmap(Bmp.get()); }
};

TEST(HiddenData, RoundTripsAtEverySize) {
  struct Case {
    int32_t W, H, N;
  };
  // Odd widths, one-pixel columns, an empty message and a message that fills the carrier.
  const Case cases[] = {{100, 100, 3}, {100, 100, 0}, {100, 100, 3717}, {1, 200, 17}, {7, 9, 13}, {333, 5, 400}};
  for (const Case& c : cases) {
    SCOPED_TRACE(std::to_string(c.W) + "x" + std::to_string(c.H) + " n=" + std::to_string(c.N));
    OnBitmap t(Noise(c.W, c.H, c.N));
    const auto before = Noise(c.W, c.H, c.N);
    const auto data = Bytes(c.N, c.W);
    ASSERT_EQ(t.Proc.WriteHiddenData(data.data(), c.N), c.N);
    std::vector<uint8_t> back(size_t(c.N) + 4, 0xEE);
    EXPECT_EQ(t.Proc.ReadHiddenData(back.data(), c.N + 4), c.N);
    EXPECT_TRUE(std::equal(data.begin(), data.end(), back.begin()));
    EXPECT_EQ(back[size_t(c.N)], 0xEE);  // nothing stored past the length

    // Each carrier byte moved by one at most; the last two bytes of every row and
    // every byte after the stream are untouched.
    int64_t carrier = 0;
    const int64_t streamBits = int64_t(c.N + 8) * 8;
    for (int32_t y = 0; y < c.H; ++y) {
      const auto* a = static_cast<const uint8_t*>(before->ScanLine(y));
      const auto* b = static_cast<const uint8_t*>(t.Bmp->ScanLine(y));
      for (int32_t i = 0; i < 3 * c.W; ++i) {
        const bool isCarrier = i < 3 * c.W - 2 && carrier++ < streamBits;
        if (!isCarrier) EXPECT_EQ(a[i], b[i]) << y << "," << i;
        else EXPECT_LE(std::abs(int(a[i]) - int(b[i])), 1);
      }
    }
  }
}

TEST(HiddenData, ExtremeCarrierBytes) {
  // 255 carrying 0 becomes 254; 0 carrying 1 becomes 1.
  OnBitmap white(test::Make24(40, 4, [](int32_t, int32_t) { return test::Gray(255); }));
  const uint8_t zero = 0;
  ASSERT_EQ(white.Proc.WriteHiddenData(&zero, 1), 1);
  const auto* w = static_cast<const uint8_t*>(white.Bmp->ScanLine(0));
  EXPECT_EQ(w[0], 254);  // first marker bit
  EXPECT_EQ(w[32], 255);  // lowest length bit: 1
  EXPECT_EQ(w[33], 254);

  OnBitmap black(test::Make24(40, 4, [](int32_t, int32_t) { return test::Gray(0); }));
  const uint8_t ones = 0xFF;
  ASSERT_EQ(black.Proc.WriteHiddenData(&ones, 1), 1);
  const auto* k = static_cast<const uint8_t*>(black.Bmp->ScanLine(0));
  EXPECT_EQ(k[0], 0);
  EXPECT_EQ(k[32], 1);
  for (int i = 64; i < 72; ++i) EXPECT_EQ(k[i], 1) << i;
  EXPECT_EQ(k[72], 0);
  EXPECT_EQ(black.Proc.ReadHiddenText(), std::string(1, '\xFF'));
}

TEST(HiddenData, CapacityIsWhatReallyFits) {
  struct Case {
    int32_t W, H, Space;
  };
  const Case cases[] = {{100, 100, 3717}, {1, 1, -8}, {1, 64, 0}, {22, 1, 0}, {21, 1, -1}, {3, 100, 79}};
  for (const Case& c : cases) {
    OnBitmap t(Noise(c.W, c.H, 1));
    EXPECT_EQ(t.Proc.GetHiddenDataSpace(), c.Space) << c.W << "x" << c.H;
    EXPECT_EQ(HiddenDataCapacity(*t.Bmp), c.Space);
  }
  // One byte more than fits fails whole: no cut stream, no snapshot, no change.
  OnBitmap t(Noise(100, 100, 2));
  const auto before = Noise(100, 100, 2);
  const auto data = Bytes(3718, 1);
  EXPECT_EQ(t.Proc.WriteHiddenData(data.data(), 3718), 0);
  EXPECT_EQ(t.Proc.WriteHiddenData(data.data(), -1), 0);
  EXPECT_EQ(t.Proc.UndoCount(), 0);
  for (int32_t y = 0; y < 100; ++y)
    EXPECT_EQ(std::memcmp(before->ScanLine(y), t.Bmp->ScanLine(y), 300), 0) << y;
  OnBitmap tiny(Noise(1, 1, 0));
  EXPECT_EQ(tiny.Proc.WriteHiddenText(""), 0);  // not even the header fits
  EXPECT_EQ(tiny.Proc.ReadHiddenData(nullptr, 0), 0);
}

TEST(HiddenData, UndoAndFormats) {
  OnBitmap t(Noise(50, 50, 3));
  t.Proc.SetUndoLimit(5);
  EXPECT_EQ(t.Proc.WriteHiddenText("hello"), 5);
  ASSERT_EQ(t.Proc.UndoCount(), 1);
  EXPECT_EQ(t.Proc.UndoCaptions().Strings(0), "WriteHiddenData");
  t.Proc.SetAutoUndo(false);
  EXPECT_EQ(t.Proc.WriteHiddenText("again"), 5);
  EXPECT_EQ(t.Proc.UndoCount(), 1);
  EXPECT_EQ(t.Proc.ReadHiddenText(), "again");
  t.Proc.Undo();  // back to the picture before anything was hidden
  const auto original = Noise(50, 50, 3);
  for (int32_t y = 0; y < 50; ++y) EXPECT_EQ(std::memcmp(original->ScanLine(y), t.Bmp->ScanLine(y), 150), 0) << y;

  // Only pf24bit carries data; other formats and a missing target give 0.
  OnBitmap gray(std::make_unique<TBitmap>(50, 50, pf8bit));
  EXPECT_EQ(gray.Proc.WriteHiddenText("x"), 0);
  EXPECT_EQ(gray.Proc.GetHiddenDataSpace(), 0);
  EXPECT_EQ(gray.Proc.ReadHiddenText(), "");
  EXPECT_EQ(gray.Proc.UndoCount(), 0);
  TImagerProc none(nullptr);
  EXPECT_EQ(none.WriteHiddenText("x"), 0);
  EXPECT_EQ(none.ReadHiddenData(nullptr, 0), 0);
  EXPECT_EQ(none.GetHiddenDataSpace(), 0);
}

TEST(HiddenData, PicturesWithoutDataAndForgedLengths) {
  // Low bits that spell nonsense are not believed.
  for (int seed = 0; seed < 20; ++seed) {
    OnBitmap t(Noise(64, 64, seed));
    const int32_t n = t.Proc.ReadHiddenData(nullptr, 0);
    EXPECT_GE(n, 0);
    EXPECT_LE(n, t.Proc.GetHiddenDataSpace());
    EXPECT_EQ(t.Proc.ReadHiddenText().size(), size_t(n));
  }
  OnBitmap t(Noise(200, 10, 4));
  ASSERT_EQ(t.Proc.WriteHiddenText("abc"), 3);
  const int32_t space = t.Proc.GetHiddenDataSpace();  // 739
  auto forge = [&](uint32_t Length) {
    for (int32_t b = 0; b < 32; ++b) SetCarrierBit(*t.Bmp, 32 + b, (Length >> b) & 1);
  };
  forge(uint32_t(space) + 1);
  EXPECT_EQ(t.Proc.ReadHiddenData(nullptr, 0), 0);
  EXPECT_EQ(t.Proc.ReadHiddenText(), "");
  forge(0xFFFFFFFFu);  // negative as a 32-bit integer
  EXPECT_EQ(t.Proc.ReadHiddenText(), "");
  forge(uint32_t(space));  // the whole carrier is believed
  EXPECT_EQ(t.Proc.ReadHiddenText().size(), size_t(space));
  forge(3);
  SetCarrierBit(*t.Bmp, 5, true);  // the zero marker is broken
  EXPECT_EQ(t.Proc.ReadHiddenData(nullptr, 0), 0);
}

// The data survives a lossless save: our own reader and ImageMagick's copy both keep it.
class HiddenDataFiles : public test::TTempFolderTest {};

TEST_F(HiddenDataFiles, SurvivesLosslessSaves) {
  const std::string message = "Versteckte Daten \x01\x02\xFF und mehr";
  for (const char* ext : {".png", ".bmp"}) {
    SCOPED_TRACE(ext);
    OnBitmap t(Noise(61, 47, 9));
    ASSERT_EQ(t.Proc.WriteHiddenText(message), int32_t(message.size()));
    const std::string file = Dir + "hidden" + ext;
    TImagerIO io(nullptr);
    io.AttachBitmap(t.Bmp.get());
    io.SaveToFileByExtension(file);
    ASSERT_FALSE(io.Aborted()) << io.AbortReason();

    std::vector<std::string> files{file};
    if (test::HaveTool("convert")) {
      const std::string copy = file + ".copy" + ext;
      ASSERT_EQ(test::Run("convert '" + file + "' -type TrueColor '" + copy + "' 2>/dev/null"), 0);
      files.push_back(copy);
    }
    for (const std::string& f : files) {
      OnBitmap back(std::make_unique<TBitmap>());
      TImagerIO in(nullptr);
      in.AttachBitmap(back.Bmp.get());
      in.LoadFromFileByExtension(f);
      ASSERT_FALSE(in.Aborted()) << f;
      ASSERT_EQ(back.Bmp->PixelFormat(), pf24bit) << f;
      EXPECT_EQ(back.Proc.ReadHiddenText(), message) << f;
    }
  }
}

}  // namespace
}  // namespace kv
