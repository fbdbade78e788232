// The thumbnail cache: memory and disk entries, the cache file's bytes, stale
// and foreign cache files, both limits, refitting, missing and unreadable
// files, and catalog sorting by the cached information.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include "app/catalog/catalog_frame.h"
#include "app/catalog/catalog_sort.h"
#include "app/params/param_strings.h"
#include "app/catalog/thumbnail_cache.h"
#include "imaging/formats/imager_io.h"
#include "platform/graphics/bitmap.h"
#include "platform/graphics/color.h"
#include "platform/rtl/file_utils.h"
#include "platform/rtl/string_list.h"
#include "platform/system/paths.h"
#include "platform/ui/qt_app.h"
#include "app/main_window_fixture.h"
#include "support/outside_tools.h"
#include "support/temp_files.h"

namespace kv {
namespace {

namespace fs = std::filesystem;

class ThumbnailCache : public test::TTempFolderTest {
 protected:
  void SetUp() override {
    TTempFolderTest::SetUp();
    EnsureQtApplication();
    CacheDir = Dir + "Cache/";
  }

  // A one-colour picture of W x H saved by its extension.
  static void MakeImage(const std::string& FileName, int32_t W, int32_t H, TColor Color) {
    TBitmap bmp;
    bmp.SetPixelFormat(pf24bit);
    bmp.SetSize(W, H);
    for (int32_t y = 0; y < H; ++y)
      for (int32_t x = 0; x < W; ++x) bmp.SetPixelColor(x, y, Color);
    TImagerIO io(nullptr);
    io.AttachBitmap(&bmp);
    io.SaveToFileByExtension(FileName);
    ASSERT_FALSE(io.Aborted()) << FileName;
  }
  static void SetTime(const std::string& FileName, int64_t SecondsFromNow) {
    fs::last_write_time(FileName, fs::file_time_type::clock::now() + std::chrono::seconds(SecondsFromNow));
  }
  std::vector<std::string> CacheFiles() const {
    std::vector<std::string> out;
    std::error_code ec;
    for (const auto& e : fs::directory_iterator(CacheDir, ec)) out.push_back(e.path().filename().string());
    std::sort(out.begin(), out.end());
    return out;
  }
  // A cache over the test's folder with the given limits in megabytes.
  std::unique_ptr<TThumbnailCache> MakeCache(int32_t DiskMb, int32_t MemMb = 10) {
    auto c = std::make_unique<TThumbnailCache>(CacheDir);
    c->ReadSetting = [DiskMb, MemMb](const std::string& Name) { return Name == "CacheDisk" ? DiskMb : MemMb; };
    return c;
  }
  // Fitted pictures sit in the top left corner of the thumbnail.
  static TColor CentreColour(const TBitmap& Bmp) { return Bmp.GetPixelColor(3, Bmp.Height() / 3); }
  static bool Near(TColor A, TColor B) {
    for (int shift : {0, 8, 16})
      if (std::abs(int((A >> shift) & 0xFF) - int((B >> shift) & 0xFF)) > 24) return false;
    return true;
  }

  std::string CacheDir;
};

TEST_F(ThumbnailCache, CacheFileLayoutAndJpegThatOthersRead) {
  const std::string image = Dir + "wide.png";
  MakeImage(image, 40, 20, clRed);
  auto cache = MakeCache(100);
  TBitmap thumb;
  TImageInfoTexts info;
  cache->Lookup(image, &thumb, info);
  EXPECT_EQ(thumb.Width(), 100);
  EXPECT_EQ(thumb.Height(), 70);
  EXPECT_TRUE(Near(CentreColour(thumb), clRed));
  EXPECT_EQ(info[tImageInfo::filename], "wide.png");
  EXPECT_EQ(info[tImageInfo::filepath], Dir);
  EXPECT_EQ(info[tImageInfo::imagewidth], "40");
  EXPECT_EQ(info[tImageInfo::imageheight], "20");
  EXPECT_EQ(info[tImageInfo::numpixels], "800");
  EXPECT_EQ(info[tImageInfo::orientation], "Querformat");

  const std::string file = cache->CacheFileName(image);
  EXPECT_EQ(ExtractFilePath(file), CacheDir);
  const std::vector<uint8_t> bytes = test::ReadBytes(file);
  ASSERT_GT(bytes.size(), 4u);
  const uint32_t n = bytes[0] | bytes[1] << 8 | bytes[2] << 16 | uint32_t(bytes[3]) << 24;
  ASSERT_LE(4 + n + 12, bytes.size());
  std::string joined;
  for (size_t i = 0; i < info.size(); ++i) joined += (i ? "|" : "") + info[i];
  EXPECT_EQ(std::string(bytes.begin() + 4, bytes.begin() + 4 + n), joined);
  EXPECT_EQ(cache->DiskTotal(), int64_t(bytes.size()));
  // After the 12-byte header: a JPEG of exactly the thumbnail size.
  const std::vector<uint8_t> jpeg(bytes.begin() + 4 + n + 12, bytes.end());
  ASSERT_GE(jpeg.size(), 2u);
  EXPECT_EQ(jpeg[0], 0xFF);
  EXPECT_EQ(jpeg[1], 0xD8);
  if (!test::HaveTool("identify")) GTEST_SKIP() << "ImageMagick";
  test::WriteBytes(Dir + "thumb.jpg", jpeg);
  EXPECT_EQ(test::RunCapture("identify -format '%m %wx%h %Q' '" + Dir + "thumb.jpg'"), "JPEG 100x70 20");
}

TEST_F(ThumbnailCache, NoDiskCacheKeepsMemoryOnly) {
  const std::string image = Dir + "a.bmp";
  MakeImage(image, 10, 10, clBlue);
  auto cache = MakeCache(0);
  TImageInfoTexts info;
  cache->Lookup(image, nullptr, info);
  cache->Lookup(image, nullptr, info);
  EXPECT_EQ(cache->MemoryCount(), 1);
  EXPECT_EQ(info[tImageInfo::imagewidth], "10");
  EXPECT_TRUE(CacheFiles().empty());
  EXPECT_EQ(cache->DiskTotal(), -1);
}

TEST_F(ThumbnailCache, ChangedDateRebuildsAndRewrites) {
  const std::string image = Dir + "c.bmp";
  MakeImage(image, 30, 10, clRed);
  SetTime(image, -100);
  TImageInfoTexts info;
  MakeCache(100)->Lookup(image, nullptr, info);
  const std::string written = test::ReadText(MakeCache(100)->CacheFileName(image));

  // The same name, another picture and a later date: a new cache (nothing in
  // memory) must not trust the old cache file.
  MakeImage(image, 10, 30, clBlue);
  auto cache = MakeCache(100);
  TBitmap thumb;
  cache->Lookup(image, &thumb, info);
  EXPECT_EQ(info[tImageInfo::imagewidth], "10");
  EXPECT_EQ(info[tImageInfo::orientation], "Hochformat");
  EXPECT_TRUE(Near(CentreColour(thumb), clBlue));
  EXPECT_NE(test::ReadText(cache->CacheFileName(image)), written);

  // A stale memory entry is dropped the same way.
  MakeImage(image, 50, 20, clRed);
  SetTime(image, 100);
  cache->Lookup(image, nullptr, info);
  EXPECT_EQ(info[tImageInfo::imagewidth], "50");
  EXPECT_EQ(cache->MemoryCount(), 1);
}

TEST_F(ThumbnailCache, PathsSharingTheirTailShareOneFileAndStayApart) {
  const std::string tail = "/" + std::string(60, 'x') + ".bmp";
  fs::create_directories(Dir + "one");
  fs::create_directories(Dir + "two");
  const std::string a = Dir + "one" + tail, b = Dir + "two" + tail;
  MakeImage(a, 20, 10, clRed);
  MakeImage(b, 10, 20, clBlue);
  SetTime(b, -100);
  auto cache = MakeCache(100);
  ASSERT_EQ(cache->CacheFileName(a), cache->CacheFileName(b));
  EXPECT_EQ(ExtractFileName(cache->CacheFileName(a)), std::string(51, 'x') + ".bmp.cache");
  TImageInfoTexts info;
  cache->Lookup(a, nullptr, info);
  cache->Clear();
  TBitmap thumb;
  cache->Lookup(b, &thumb, info);
  EXPECT_EQ(info[tImageInfo::filepath], Dir + "two/");
  EXPECT_EQ(info[tImageInfo::imagewidth], "10");
  EXPECT_TRUE(Near(CentreColour(thumb), clBlue));
  EXPECT_EQ(CacheFiles().size(), 1u);
  // The file now holds the second path, so a fresh cache rebuilds the first.
  auto fresh = MakeCache(100);
  fresh->Lookup(a, &thumb, info);
  EXPECT_EQ(info[tImageInfo::filepath], Dir + "one/");
  EXPECT_TRUE(Near(CentreColour(thumb), clRed));
}

TEST_F(ThumbnailCache, MemoryLimitDropsEveryEntry) {
  // With 100 x 70 and 10 MB the entries go at 500 thumbnails: 10,485,760 < 500 x 21,000.
  EXPECT_LT(int64_t(10) * 1048576, int64_t(500) * 100 * 70 * 3);
  EXPECT_GE(int64_t(10) * 1048576, int64_t(499) * 100 * 70 * 3);
  // The same rule at a size where two thumbnails already exceed 1 MB.
  auto cache = MakeCache(0, 1);
  cache->SetImageSize(420, 420);
  std::vector<std::string> images;
  for (int i = 0; i < 3; ++i) {
    images.push_back(Dir + "m" + std::to_string(i) + ".bmp");
    MakeImage(images.back(), 8, 8, clRed);
  }
  TImageInfoTexts info;
  cache->Lookup(images[0], nullptr, info);
  cache->Lookup(images[1], nullptr, info);
  EXPECT_EQ(cache->MemoryCount(), 2);
  cache->Lookup(images[2], nullptr, info);
  EXPECT_EQ(cache->MemoryCount(), 1);
  // A drop of the entries must leave the one looked up afterwards intact.
  TBitmap thumb;
  cache->Lookup(images[2], &thumb, info);
  EXPECT_EQ(thumb.Width(), 420);
  EXPECT_TRUE(Near(CentreColour(thumb), clRed));
}

TEST_F(ThumbnailCache, CacheFileOfAnotherSizeIsRefitted) {
  const std::string image = Dir + "r.bmp";
  MakeImage(image, 40, 40, clRed);
  SetTime(image, -100);
  TImageInfoTexts info;
  MakeCache(100)->Lookup(image, nullptr, info);
  // Another picture under the same date: only the cache file can give red now.
  const auto stamp = fs::last_write_time(image);
  MakeImage(image, 40, 40, clBlue);
  fs::last_write_time(image, stamp);
  auto cache = MakeCache(100);
  cache->SetImageSize(50, 50);
  TBitmap thumb;
  cache->Lookup(image, &thumb, info);
  EXPECT_EQ(thumb.Width(), 50);
  EXPECT_EQ(thumb.Height(), 50);
  EXPECT_TRUE(Near(CentreColour(thumb), clRed));
}

TEST_F(ThumbnailCache, MissingUnreadableAndDamagedFiles) {
  auto cache = MakeCache(100);
  TBitmap thumb;
  thumb.SetSize(5, 5);
  TImageInfoTexts info;
  info[tImageInfo::filesize] = "old";
  cache->Lookup(Dir + "none.png", &thumb, info);
  EXPECT_EQ(info[0], Dir + "none.png");
  EXPECT_EQ(info[tImageInfo::filesize], "");
  EXPECT_TRUE(thumb.Empty());

  // A picture that fails to load after a good one must not get its thumbnail.
  const std::string good = Dir + "good.bmp", bad = Dir + "bad.png";
  MakeImage(good, 10, 10, clRed);
  test::WriteText(bad, "no picture at all");
  cache->Lookup(good, &thumb, info);
  cache->Lookup(bad, &thumb, info);
  EXPECT_TRUE(thumb.Empty());
  EXPECT_EQ(info[0], bad);
  EXPECT_FALSE(FileExists(cache->CacheFileName(bad)));

  // A cache file whose length runs past its end is rebuilt, not trusted.
  const std::string file = cache->CacheFileName(good);
  test::WriteBytes(file, {0xFF, 0xFF, 0xFF, 0x7F, '|'});
  auto fresh = MakeCache(100);
  fresh->Lookup(good, &thumb, info);
  EXPECT_EQ(info[tImageInfo::imagewidth], "10");
  EXPECT_GT(test::ReadBytes(file).size(), 20u);
}

TEST_F(ThumbnailCache, CommentWithBarsSurvivesTheCacheFile) {
  const std::string image = Dir + "k.bmp";
  MakeImage(image, 12, 8, clRed);
  test::WriteText(image + ".txt", "a|b\r\n");
  TImageInfoTexts first, second;
  MakeCache(100)->Lookup(image, nullptr, first);
  MakeCache(100)->Lookup(image, nullptr, second);
  EXPECT_EQ(second, first);
  EXPECT_NE(second[tImageInfo::textcomment].find("a|b"), std::string::npos);
  EXPECT_EQ(second[tImageInfo::resolution], first[tImageInfo::resolution]);
}

// Files of the given sizes, oldest first, then the lookup that enforces the limit.
TEST_F(ThumbnailCache, DiskLimitEvictsOldestDownToFourFifths) {
  struct TCase {
    int32_t LimitMb;
    int64_t FileSize;
    int Files;
    int Kept;  // the newest ones
  } cases[] = {
      {1, 300 * 1024, 5, 2},                  // 1,536,000 -> 614,400 <= 838,860
      {1, 200 * 1024, 5, 5},                  // 1,024,000 is within the limit
      {2048, int64_t(1) << 30, 3, 1},         // sums past 32 bits, sparse files
      {512, int64_t(300) << 20, 2, 1},        // 600 MB over 512 MB: down to 409.6 MB
  };
  for (const TCase& c : cases) {
    fs::remove_all(CacheDir);
    fs::create_directories(CacheDir);
    for (int i = 0; i < c.Files; ++i) {
      const std::string name = CacheDir + "f" + std::to_string(i) + ".cache";
      test::WriteText(name, "");
      fs::resize_file(name, uintmax_t(c.FileSize));
      SetTime(name, i - 100);
    }
    test::WriteText(CacheDir + "keep.txt", "not a cache file");
    auto cache = MakeCache(c.LimitMb);
    TImageInfoTexts info;
    cache->Lookup(Dir + "missing.bmp", nullptr, info);
    std::vector<std::string> expect{"keep.txt"};
    for (int i = c.Files - c.Kept; i < c.Files; ++i) expect.push_back("f" + std::to_string(i) + ".cache");
    std::sort(expect.begin(), expect.end());
    EXPECT_EQ(CacheFiles(), expect) << c.LimitMb << " MB";
    EXPECT_EQ(cache->DiskTotal(), c.Kept * c.FileSize) << c.LimitMb << " MB";
  }
}

TEST_F(ThumbnailCache, RemoveAndClearDisk) {
  const std::string a = Dir + "a.bmp", b = Dir + "b.bmp";
  MakeImage(a, 10, 10, clRed);
  MakeImage(b, 10, 10, clBlue);
  auto cache = MakeCache(100);
  TImageInfoTexts info;
  TBitmap thumb;
  cache->Lookup(a, nullptr, info);
  cache->Lookup(b, nullptr, info);
  const int64_t both = cache->DiskTotal();
  cache->Remove(a);
  EXPECT_EQ(cache->MemoryCount(), 1);
  EXPECT_FALSE(FileExists(cache->CacheFileName(a)));
  EXPECT_LT(cache->DiskTotal(), both);
  // The entry left keeps the right thumbnail after the one before it went.
  cache->Lookup(b, &thumb, info);
  EXPECT_TRUE(Near(CentreColour(thumb), clBlue));
  cache->ClearDisk();
  EXPECT_TRUE(CacheFiles().empty());
  EXPECT_EQ(cache->DiskTotal(), 0);
}

TEST_F(ThumbnailCache, CatalogSortsByCachedInformation) {
  SetProgramFolder(Dir);
  const std::string wide = Dir + "x1.bmp", narrow = Dir + "x2.bmp", middle = Dir + "x3.bmp";
  MakeImage(wide, 30, 4, clRed);
  MakeImage(narrow, 5, 40, clRed);
  MakeImage(middle, 12, 8, clRed);
  TStringList list;
  list.AssignLines({wide, narrow, middle});
  TCatalogSort sort;
  sort.Sort1 = 8;  // width: as numbers, so 5 < 12 < 30
  SortCatalogList(list, sort);
  EXPECT_EQ(list.Strings(0), narrow);
  EXPECT_EQ(list.Strings(1), middle);
  EXPECT_EQ(list.Strings(2), wide);
  sort.Sort1 = 13;  // orientation as text: "Hochformat" before "Querformat"
  sort.Sort2 = 10;  // then pixels, descending
  sort.Sort2Descending = true;
  SortCatalogList(list, sort);
  EXPECT_EQ(list.Strings(0), narrow);
  EXPECT_EQ(list.Strings(1), wide);  // 120 pixels
  EXPECT_EQ(list.Strings(2), middle);  // 96 pixels
  SetProgramFolder("");
}

TEST_F(ThumbnailCache, CatalogCellsShowThumbnailInformationOrACross) {
  SetProgramFolder(Dir);
  tcache().SetImageSize(100, 70);
  const std::string red = Dir + "red.bmp";
  MakeImage(red, 40, 20, clGreen);
  Tcatalogframe frame(nullptr);
  frame.SetBounds(0, 0, 400, 300);
  frame.Files().AssignLines({red, Dir + "gone.bmp"});
  frame.SetArrangement(carCells, false);
  // Name, size and comment: two lines here (no comment) of 10 x 1.1 pixels each.
  EXPECT_EQ(frame.InfoHeight(), 3 * 11);
  frame.DrawGrid1().Invalidate();
  frame.DrawGrid1().PreparePaint();
  const TBitmap& shown = frame.DrawGrid1().BackBuffer();
  // Cells are 130 wide; each thumbnail sits 15 pixels into its cell.
  EXPECT_TRUE(Near(shown.GetPixelColor(15 + 50, 15 + 20), clGreen));
  EXPECT_TRUE(Near(shown.GetPixelColor(130 + 15, 15), clRed));        // a diagonal starts in the corner
  EXPECT_TRUE(Near(shown.GetPixelColor(130 + 15 + 50, 25), clWhite));  // between the diagonals
  // The information text, in red, under the first thumbnail only.
  auto redIn = [&](int32_t Left, int32_t Top, int32_t Right, int32_t Bottom) {
    for (int32_t y = Top; y < Bottom; ++y)
      for (int32_t x = Left; x < Right; ++x)
        if (Near(shown.GetPixelColor(x, y), clRed)) return true;
    return false;
  };
  EXPECT_TRUE(redIn(15, 85, 125, 85 + 22));
  EXPECT_FALSE(redIn(15, 15, 115, 85));
  SetProgramFolder("");
}

TEST(CatalogInformation, LinesGroupAsChosen) {
  TImageInfoTexts t;
  const char* texts[] = {"a.jpg", "/p/", "1.2.2026", "2.50 KB", "JPEG Bitmap", "30", "20", "600",
                         "eins\\r\\nzwei\\r\\n", "72", "Querformat"};
  for (size_t i = 0; i < t.size(); ++i) t[i] = texts[i];
  const struct {
    const char* Set;
    std::vector<std::string> Lines;
  } cases[] = {
      {"Info=2047",
       {"/p/a.jpg", "1.2.2026", "2.50 KB   JPEG Bitmap", "30 x 20 = 600 Pixel", "eins", "zwei", "72 dpi   Querformat"}},
      {"Info=265", {"a.jpg", "2.50 KB   ", "eins", "zwei"}},
      {"Info=64", {"20"}},
      {"Info=0", {}},
  };
  for (const auto& c : cases) {
    const tImageInfoset set = ReadParamImageInfoset(c.Set, "Info");
    EXPECT_EQ(InfoBlockLines(t, set), c.Lines) << c.Set;
  }
  // Reserved lines: one per group with a chosen text, the comment counted once.
  EXPECT_EQ(InfoBlockLineCount(ReadParamImageInfoset("Info=2047", "Info")), 6);
  EXPECT_EQ(InfoBlockLineCount(ReadParamImageInfoset("Info=265", "Info")), 3);
}

class ThumbnailCacheWindow : public test::TMainWindowTest {};

TEST_F(ThumbnailCacheWindow, MenuRefreshSizesTheCache) {
  Tform1& form = ShowMainWindow(640, 480);
  form.SetStoredInt("CatalogWidth", 80);
  form.SetStoredInt("CatalogHeight", 60);
  form.updateall();
  EXPECT_EQ(tcache().Width(), 80);
  EXPECT_EQ(tcache().Height(), 60);
  tcache().SetImageSize(100, 70);
}

}  // namespace
}  // namespace kv
