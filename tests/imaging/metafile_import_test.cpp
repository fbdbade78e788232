#include <gtest/gtest.h>

#include <fstream>

#include "codec_test_util.h"
#include "imaging/formats/file_types.h"
#include "imaging/formats/imager_io.h"
#include "imaging/formats/metafile.h"
#include <cstdlib>
#include "support/temp_files.h"

namespace kv {
namespace test {
namespace {

struct TMetaRect {
  int32_t Left, Top, Right, Bottom;
  uint8_t Red, Green, Blue;
};

// Runs the libuemf writer program for a file of Width x Height (pixels at 96 dpi).
bool WriteMetafile(const char* Kind, const std::string& Path, int32_t Width, int32_t Height,
                   const std::vector<TMetaRect>& Rects) {
  std::string cmd = std::string(KV_METAFILE_WRITER) + " " + Kind + " '" + Path + "' " + std::to_string(Width) + " " +
                    std::to_string(Height);
  for (const TMetaRect& r : Rects)
    for (int v : {r.Left, r.Top, r.Right, r.Bottom, int(r.Red), int(r.Green), int(r.Blue)}) cmd += " " + std::to_string(v);
  return std::system(cmd.c_str()) == 0;
}
bool WriteWmf(const std::string& Path, int32_t W, int32_t H, const std::vector<TMetaRect>& R) {
  return WriteMetafile("wmf", Path, W, H, R);
}
bool WriteEmf(const std::string& Path, int32_t W, int32_t H, const std::vector<TMetaRect>& R) {
  return WriteMetafile("emf", Path, W, H, R);
}

}  // namespace
}  // namespace test

namespace {

class MetafileImport : public test::TTempFolderTest {
 protected:
  void SetUp() override {
    test::TTempFolderTest::SetUp();
    SetIOMetafileLoader(DefaultIOMetafileLoader());
    io.AttachBitmap(&b);
    io.SetBackground(TColor(0x00FFFFFF));  // white
  }
  // B, G, R of the pixel at X, Y.
  std::vector<int> Pixel(int32_t X, int32_t Y) const {
    const uint8_t* p = static_cast<const uint8_t*>(b.ScanLine(Y)) + X * 3;
    return {p[2], p[1], p[0]};
  }
  TBitmap b{2, 2, pf24bit};
  TImagerIO io{nullptr};
};

// A red left half and a blue square in the lower right quarter, on white.
const std::vector<test::TMetaRect> kRects = {{0, 0, 96, 96, 255, 0, 0}, {144, 48, 192, 96, 0, 0, 255}};

TEST_F(MetafileImport, DrawsWindowsAndEnhancedFilesAtTheirSizes) {
  const std::string wmf = Dir + "a.wmf", emf = Dir + "a.emf";
  ASSERT_TRUE(test::WriteWmf(wmf, 192, 96, kRects));
  ASSERT_TRUE(test::WriteEmf(emf, 192, 96, kRects));
  struct TCase {
    int32_t W, H, WantW, WantH;
  };
  for (const std::string& name : {wmf, emf}) {
    for (const TCase& c : {TCase{-1, -1, 191, 95}, TCase{384, -1, 383, 191}, TCase{-1, 49, 97, 48}}) {
      SCOPED_TRACE(name + " " + std::to_string(c.W) + "x" + std::to_string(c.H));
      io.ImportMetafile(name, c.W, c.H);
      ASSERT_FALSE(io.Aborted()) << io.AbortReason();
      ASSERT_EQ(b.Width(), c.WantW);
      ASSERT_EQ(b.Height(), c.WantH);
      EXPECT_EQ(b.PixelFormat(), pf24bit);
      // Points well inside each area of the drawing, scaled to the drawn size (one more than the bitmap).
      const double sx = (c.WantW + 1) / 192.0, sy = (c.WantH + 1) / 96.0;
      auto at = [&](int x, int y) { return Pixel(int32_t(x * sx), int32_t(y * sy)); };
      EXPECT_EQ(at(40, 40), (std::vector<int>{255, 0, 0}));
      EXPECT_EQ(at(168, 80), (std::vector<int>{0, 0, 255}));
      EXPECT_EQ(at(168, 20), (std::vector<int>{255, 255, 255}));
      EXPECT_EQ(at(120, 80), (std::vector<int>{255, 255, 255}));
    }
    EXPECT_EQ(io.Params().FileType, name == emf ? ioEMF : ioWMF);
    EXPECT_EQ(io.Params().DpiX, IODefaultDpi());
    EXPECT_EQ(io.Params().SamplesPerPixel, 3);
  }
  // Loading by extension takes the file's own size.
  io.LoadFromFileByExtension(emf);
  EXPECT_FALSE(io.Aborted());
  EXPECT_EQ(b.Width(), 191);
}

TEST_F(MetafileImport, CapsTheLongerSideAt2800) {
  const std::string wmf = Dir + "big.wmf";
  ASSERT_TRUE(test::WriteWmf(wmf, 4000, 1000, {{0, 0, 2000, 1000, 0, 255, 0}}));
  io.ImportMetafile(wmf, -1, -1);
  ASSERT_FALSE(io.Aborted()) << io.AbortReason();
  EXPECT_EQ(b.Width(), 2799);
  EXPECT_EQ(b.Height(), 699);
  EXPECT_EQ(Pixel(600, 300), (std::vector<int>{0, 255, 0}));
  EXPECT_EQ(Pixel(2000, 300), (std::vector<int>{255, 255, 255}));

  // Scaled up sevenfold, the edge of an enhanced file's half stays at the half.
  const std::string emf = Dir + "big.emf";
  ASSERT_TRUE(test::WriteEmf(emf, 400, 100, {{0, 0, 200, 100, 0, 255, 0}}));
  io.ImportMetafile(emf, 4000, -1);
  ASSERT_FALSE(io.Aborted()) << io.AbortReason();
  EXPECT_EQ(b.Width(), 2799);  // the writer's frame rounds down to 399 x 99 pixels, so no exact height
  EXPECT_EQ(Pixel(1396, 300), (std::vector<int>{0, 255, 0}));  // the converter strokes fills half a unit wide
  EXPECT_EQ(Pixel(1406, 300), (std::vector<int>{255, 255, 255}));
}

TEST_F(MetafileImport, CorruptOrTruncatedFilesFailCleanly) {
  const std::string wmf = Dir + "a.wmf", emf = Dir + "a.emf";
  ASSERT_TRUE(test::WriteWmf(wmf, 192, 96, kRects));
  ASSERT_TRUE(test::WriteEmf(emf, 192, 96, kRects));
  for (const std::string& name : {wmf, emf}) {
    std::vector<uint8_t> good = test::ReadBytes(name);
    std::vector<std::vector<uint8_t>> bad;
    bad.emplace_back(good.begin(), good.begin() + ptrdiff_t(good.size() * 2 / 3));  // truncated mid-record
    // The second record: after the header record, or after the placeable and standard headers.
    // Its size field: an EMF record starts with its type, a WMF record with its size.
    const size_t size = name == emf ? size_t(good[4] | good[5] << 8) + 4 : 22 + 18;
    bad.push_back(good);
    bad.back()[size + 3] = 0x7F;  // far past the end
    bad.push_back(good);
    std::fill_n(bad.back().begin() + ptrdiff_t(size), 4, 0);  // a record of size 0 would loop for ever
    if (name == wmf) {
      bad.push_back(good);
      bad.back()[22 + 12 + 3] = 0x72;  // a largest record of gigabytes
    }
    for (size_t i = 0; i < bad.size(); ++i) {
      SCOPED_TRACE(name + " case " + std::to_string(i));
      test::WriteBytes(Dir + "bad" + name.substr(name.size() - 4), bad[i]);
      b.SetSize(3, 3);
      io.ImportMetafile(Dir + "bad" + name.substr(name.size() - 4), -1, -1);
      EXPECT_TRUE(io.Aborted());
      EXPECT_EQ(b.Width(), 3);
    }
  }
}

}  // namespace
}  // namespace kv
