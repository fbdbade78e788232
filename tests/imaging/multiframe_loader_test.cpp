// The multi-frame loader: GIF frames, TIFF pages and AVI frames loaded into a
// multi-image view, each compared with ImageMagick's or ffmpeg's own
// decoding of the same file; the records that follow the view's entries;
// reading each file once.
#include "imaging/views/imager_mio.h"

#include <gtest/gtest.h>

#include <cstring>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "imaging/formats/gif_lzw.h"
#include "imaging/formats/tiff_lzw.h"
#include "imaging/model/parallel_rows.h"
#include "imaging/views/io_previews.h"
#include "mview_fixture.h"
#include "support/netpbm_io.h"
#include "support/outside_tools.h"
#include "support/temp_files.h"
#include "platform/ui/dialogs.h"

namespace kv {
namespace {

using namespace kv::test;

// Counts how often each position starts a read: a load that walks back to the
// start of the file for each frame reads its first bytes once per frame.
class TCountingStream : public TStream {
 public:
  explicit TCountingStream(std::vector<uint8_t> Data)
      : FData(std::move(Data)), FInner(FData.data(), int64_t(FData.size())) {}
  int32_t Read(void* Buffer, int32_t Count) override {
    const int32_t at = int32_t(FInner.Position());
    MostReadsAtOnePlace = std::max(MostReadsAtOnePlace, ++FStarts[at]);
    return FInner.Read(Buffer, Count);
  }
  int32_t Write(const void*, int32_t) override { return 0; }
  int64_t Seek(int64_t Offset, TSeekOrigin Origin) override { return FInner.Seek(Offset, Origin); }
  int64_t Size() override { return FInner.Size(); }
  int32_t MostReadsAtOnePlace = 0;

 private:
  std::vector<uint8_t> FData;
  TReadOnlyMemoryStream FInner;
  std::map<int32_t, int32_t> FStarts;
};

class MultiFrameLoaderTest : public MViewTest {
 protected:
  void SetUp() override {
    if (!Folder.Path().size()) GTEST_SKIP() << "no scratch folder";
    Dir = Folder.Path() + "/";
    InstallGifLzwHooks();
    TiffLzwDecoderHook = TiffLzwDecode;
    MakeView();
    Loader = std::make_unique<TImagerMIO>(nullptr);
    Loader->SetAttachedMView(View);
  }
  void TearDown() override {
    Loader.reset();
    MViewTest::TearDown();
    GifLzwDecoderHook = nullptr;
    GifLzwEncoderHook = nullptr;
    TiffLzwDecoderHook = nullptr;
  }

  // The picture of entry idx as 24-bit rows.
  std::unique_ptr<TBitmap> EntryPicture(int32_t idx) {
    auto out = std::make_unique<TBitmap>();
    TBitmap* b = View->GetImageBitmap(idx);
    if (!b) return nullptr;
    out->Assign(b);
    View->ImageStore().ReleaseBitmap(b, false);
    if (out->PixelFormat() != pf24bit) out->SetPixelFormat(pf24bit);
    return out;
  }

  static bool SamePixels(const TBitmap& A, const TBitmap& B) {
    if (A.Width() != B.Width() || A.Height() != B.Height()) return false;
    for (int32_t y = 0; y < A.Height(); ++y)
      if (std::memcmp(A.ScanLine(y), B.ScanLine(y), size_t(A.Width()) * 3) != 0) return false;
    return true;
  }

  // Entries First.. hold ImageMagick's reading of the frames of Path.
  void ExpectFramesAsImageMagick(const std::string& Path, int32_t Count, int32_t First = 0) {
    const std::string base = Dir + "ref" + std::to_string(++FRefRun);
    ASSERT_EQ(test::Run("convert '" + Path + "' -depth 8 +adjoin ppm:'" + base + "-%d.ppm'"), 0);
    for (int32_t i = 0; i < Count; ++i) {
      TBitmap ref;
      ASSERT_TRUE(ReadPnm(base + "-" + std::to_string(i) + ".ppm", ref)) << i;
      const auto got = EntryPicture(First + i);
      ASSERT_TRUE(got) << i;
      EXPECT_TRUE(SamePixels(*got, ref)) << "frame " << i;
    }
  }

  int32_t FRefRun = 0;
  TScratchFolder Folder;
  std::string Dir;
  std::unique_ptr<TImagerMIO> Loader;
};

TEST_F(MultiFrameLoaderTest, GifFramesAsImageMagickReadsThem) {
  if (!HaveTool("convert")) GTEST_SKIP() << "ImageMagick is not installed";
  const std::string gif = Dir + "anim.gif";
  // Delays: 50 hundredths, then none (keeps the last), then 20.
  ASSERT_EQ(test::Run("convert -size 40x30 -delay 50 gradient:red-blue -delay 0 gradient:yellow-green "
                "plasma:fractal -delay 20 xc:orange '" + gif + "'"),
            0);
  std::vector<int32_t> progress;
  Loader->OnProgress = [&](TObject*, int32_t per) { progress.push_back(per); };
  Loader->LoadFile(gif);
  EXPECT_FALSE(Loader->Aborting());
  ASSERT_EQ(View->GetImageCount(), 4);
  ASSERT_EQ(Loader->ParamsCount(), 4);
  ExpectFramesAsImageMagick(gif, 4);
  const int32_t delays[] = {500, 500, 500, 200};
  for (int32_t i = 0; i < 4; ++i) {
    EXPECT_EQ(View->ImageDelay(i), delays[i]) << i;
    const TIOParamsVals* p = Loader->ImageParams(i);
    EXPECT_EQ(p->FileType, 2);
    EXPECT_EQ(p->GifImageIndex, i);
    EXPECT_EQ(p->TiffImageIndex, i);
    EXPECT_EQ(p->GifImageCount, 4);
    EXPECT_TRUE(p->FileName.empty());
  }
  EXPECT_EQ(progress, (std::vector<int32_t>{0, 25, 50, 75}));
  EXPECT_EQ(Loader->ImageParams(4), nullptr);
}

TEST_F(MultiFrameLoaderTest, GifWithoutDelaysPlaysAtTenMs) {
  if (!HaveTool("convert")) GTEST_SKIP() << "ImageMagick is not installed";
  const std::string gif = Dir + "still.gif";
  ASSERT_EQ(test::Run("convert -size 8x8 xc:red xc:blue xc:lime '" + gif + "'"), 0);
  Loader->LoadGIFFile(gif);
  ASSERT_EQ(View->GetImageCount(), 3);
  for (int32_t i = 0; i < 3; ++i) EXPECT_EQ(View->ImageDelay(i), 10);
  EXPECT_EQ(View->ImageBackground(0), Loader->ImageParams(0)->GifBackground.r | Loader->ImageParams(0)->GifBackground.g << 8 |
                                          Loader->ImageParams(0)->GifBackground.b << 16);
}

TEST_F(MultiFrameLoaderTest, TiffPagesAsImageMagickReadsThem) {
  if (!HaveTool("convert")) GTEST_SKIP() << "ImageMagick is not installed";
  // Pages of different sizes, depths and compressions; the extension in capitals.
  const std::string tif = Dir + "pages.TIFF";
  ASSERT_EQ(test::Run("convert -depth 8 -size 40x30 gradient:red-blue -size 33x21 plasma:fractal -compress lzw "
                "-size 17x9 gradient:white-black -colorspace gray '" + tif + "'"),
            0);
  Loader->LoadFile(tif);
  EXPECT_FALSE(Loader->Aborting());
  ASSERT_EQ(View->GetImageCount(), 3);
  ExpectFramesAsImageMagick(tif, 3);
  for (int32_t i = 0; i < 3; ++i) {
    EXPECT_EQ(View->ImageDelay(i), 100);
    EXPECT_EQ(Loader->ImageParams(i)->FileType, 1);
    EXPECT_EQ(Loader->ImageParams(i)->TiffImageIndex, i);
    EXPECT_EQ(Loader->ImageParams(i)->TiffImageCount, 3);
  }
  // Other extensions load nothing.
  const std::string jpg = Dir + "pages.jpg";
  ASSERT_EQ(test::Run("convert -size 8x8 xc:red '" + jpg + "'"), 0);
  Loader->LoadFile(jpg);
  EXPECT_EQ(View->GetImageCount(), 3);
}

// Frames go in from the selected entry on, in file order, before the
// entries that were there; records follow the view and are renumbered.
TEST_F(MultiFrameLoaderTest, FramesGoInAtTheSelectionAndRecordsFollowTheView) {
  if (!HaveTool("convert")) GTEST_SKIP() << "ImageMagick is not installed";
  AddSolid(5);
  ASSERT_EQ(Loader->ParamsCount(), 5);
  View->SetSelectedImage(3);
  const std::string gif = Dir + "three.gif";
  ASSERT_EQ(test::Run("convert -size 8x8 xc:red xc:blue xc:lime '" + gif + "'"), 0);
  Loader->LoadFile(gif);
  ASSERT_EQ(View->GetImageCount(), 8);
  ASSERT_EQ(Loader->ParamsCount(), 8);
  ExpectFramesAsImageMagick(gif, 3, 3);
  // The old entry 3 (blue 3) now sits after the frames.
  EXPECT_EQ(At(*EntryPicture(6), 0, 0).b, 3);
  for (int32_t i = 0; i < 8; ++i) EXPECT_EQ(Loader->ImageParams(i)->GifImageIndex, i);
  EXPECT_EQ(Loader->ImageParams(4)->FileType, 2);

  View->DeleteImage(4);
  ASSERT_EQ(Loader->ParamsCount(), 7);
  EXPECT_EQ(Loader->ImageParams(4)->FileType, 2);  // the third frame moved up
  EXPECT_NE(Loader->ImageParams(5)->FileType, 2);
  for (int32_t i = 0; i < 7; ++i) {
    EXPECT_EQ(Loader->ImageParams(i)->GifImageIndex, i);
    EXPECT_EQ(Loader->ImageParams(i)->TiffImageIndex, i);
  }
}

// Each file is read once from its start to its end, not once per frame.
TEST_F(MultiFrameLoaderTest, ManyFramesReadTheFileOnce) {
  if (!HaveTool("ffmpeg") || !HaveTool("tiffcp") || !HaveTool("convert")) GTEST_SKIP() << "tools missing";
  const std::string gif = Dir + "many.gif", page = Dir + "page.tif", tif = Dir + "many.tif";
  ASSERT_EQ(test::Run("ffmpeg -v error -y -f lavfi -i testsrc=size=32x24:rate=10 -frames:v 120 '" + gif + "'"), 0);
  ASSERT_EQ(test::Run("convert -size 16x12 -depth 8 gradient:red-blue '" + page + "'"), 0);
  std::string pages;
  for (int i = 0; i < 120; ++i) pages += " '" + page + "'";
  ASSERT_EQ(test::Run("tiffcp" + pages + " '" + tif + "'"), 0);
  for (const std::string& path : {gif, tif}) {
    SCOPED_TRACE(path);
    TCountingStream s(ReadBytes(path));
    View->Clear();
    if (path == gif) Loader->LoadGIFStream(s);
    else Loader->LoadTIFFStream(s);
    EXPECT_FALSE(Loader->Aborting());
    EXPECT_EQ(View->GetImageCount(), 120);
    EXPECT_LE(s.MostReadsAtOnePlace, 3);
  }
}

// A broken frame ends the load with Aborting; the frames before it stay.
// A progress handler may stop a load the same way.
TEST_F(MultiFrameLoaderTest, FailuresKeepTheFramesBefore) {
  if (!HaveTool("convert") || !HaveTool("tiffset")) GTEST_SKIP() << "tools missing";
  // The third page has a photometric interpretation no reader knows.
  const std::string tif = Dir + "broken.tif";
  ASSERT_EQ(test::Run("convert -depth 8 -size 20x10 gradient:red-blue gradient:green-white gradient:black-yellow "
                      "-compress none '" + tif + "' && tiffset -d 2 -s 262 12345 '" + tif + "'"),
            0);
  Loader->LoadTIFFFile(tif);
  EXPECT_TRUE(Loader->Aborting());
  EXPECT_EQ(View->GetImageCount(), 2);
  EXPECT_EQ(Loader->ParamsCount(), 2);

  // A progress handler stops the load the same way.
  View->Clear();
  Loader->OnProgress = [&](TObject*, int32_t per) {
    if (per >= 30) Loader->SetAborting(true);
  };
  Loader->LoadFile(tif);
  EXPECT_TRUE(Loader->Aborting());
  EXPECT_EQ(View->GetImageCount(), 2);

  // Not a GIF at all: nothing stays.
  View->Clear();
  Loader->OnProgress = nullptr;
  TCountingStream junk(std::vector<uint8_t>(100, 'x'));
  Loader->LoadGIFStream(junk);
  EXPECT_TRUE(Loader->Aborting());
  EXPECT_EQ(View->GetImageCount(), 0);
  EXPECT_EQ(Loader->ParamsCount(), 0);
}

class MultiFrameAviTest : public MultiFrameLoaderTest {
 protected:
  void SetUp() override {
    if (!HaveTool("ffmpeg")) GTEST_SKIP() << "ffmpeg is not installed";
    MultiFrameLoaderTest::SetUp();
  }
};

TEST_F(MultiFrameAviTest, FramesAsFfmpegDecodesThem) {
  constexpr int32_t kW = 62, kH = 46, kFrames = 12;
  const struct {
    const char* Codec;
    const char* Extra;
  } cases[] = {{"mjpeg", ""}, {"rawvideo", "-pix_fmt bgr24"}, {"mpeg4", "-g 5"}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.Codec);
    const std::string avi = Dir + c.Codec + ".avi";
    ASSERT_EQ(test::Run("ffmpeg -v error -y -f lavfi -i testsrc=size=62x46:rate=25 -frames:v 12 " + std::string(c.Extra) +
                  " -c:v " + c.Codec + " '" + avi + "'"),
              0);
    const std::string raw = avi + ".bgr";
    ASSERT_EQ(test::Run("ffmpeg -v error -y -i '" + avi + "' -f rawvideo -pix_fmt bgr24 '" + raw + "'"), 0);
    const std::vector<uint8_t> ref = ReadBytes(raw);
    ASSERT_EQ(ref.size(), size_t(kW) * kH * 3 * kFrames);

    View->Clear();
    std::vector<int32_t> progress;
    Loader->OnProgress = [&](TObject*, int32_t per) { progress.push_back(per); };
    Loader->LoadFile(avi);
    EXPECT_FALSE(Loader->Aborting());
    ASSERT_EQ(View->GetImageCount(), kFrames);
    for (int32_t i = 0; i < kFrames; ++i) {
      const auto got = EntryPicture(i);
      ASSERT_TRUE(got);
      ASSERT_EQ(got->Width(), kW);
      ASSERT_EQ(got->Height(), kH);
      bool same = true;
      for (int32_t y = 0; y < kH; ++y)
        same = same && std::memcmp(got->ScanLine(y), &ref[(size_t(i) * kH + size_t(y)) * kW * 3], kW * 3) == 0;
      EXPECT_TRUE(same) << "frame " << i;
      EXPECT_EQ(View->ImageDelay(i), 40);
      const TIOParamsVals* p = Loader->ImageParams(i);
      EXPECT_EQ(p->GifDelayTime, 40);
      EXPECT_EQ(p->BitsPerSample, 8);
      EXPECT_EQ(p->SamplesPerPixel, 3);
      EXPECT_EQ(p->Width, kW);
      EXPECT_EQ(p->Height, kH);
      EXPECT_EQ(p->FileType, 0);
      EXPECT_EQ(p->FileName, avi);
      EXPECT_EQ(p->TiffImageIndex, i);
      EXPECT_EQ(p->ColorMapCount, 0);
    }
    EXPECT_EQ(progress.size(), size_t(kFrames));
    EXPECT_EQ(progress.back(), 11 * 100 / 12);
  }
  // A view that keeps thumbnails takes the frames through a bitmap.
  Loader->OnProgress = nullptr;
  View->Clear();
  View->SetStoreType(imtThumb);
  Loader->LoadFile(Dir + "rawvideo.avi");
  EXPECT_FALSE(Loader->Aborting());
  ASSERT_EQ(View->GetImageCount(), kFrames);
  for (int32_t i = 0; i < kFrames; ++i) {
    const auto got = EntryPicture(i);
    ASSERT_TRUE(got) << i;
    EXPECT_GT(got->Width(), 0) << i;
    EXPECT_EQ(Loader->ImageParams(i)->Width, kW) << i;
  }
}

// Frames decoded and converted on other threads reach the view exactly as on
// one thread, with progress in the same order; a progress handler that stops
// the load stops it at the same frame.
TEST_F(MultiFrameAviTest, ThreadedLoadEqualsOneThread) {
  const std::string avi = Dir + "threads.avi";
  ASSERT_EQ(test::Run("ffmpeg -v error -y -f lavfi -i testsrc=size=62x46:rate=25 -frames:v 40 -g 6 -bf 2 -c:v mpeg4 '" +
                      avi + "'"),
            0);
  struct TLoad {
    std::vector<std::unique_ptr<TBitmap>> Frames;
    std::vector<int32_t> Progress;
    int32_t Stopped = 0;  // entries of the load stopped halfway
  };
  auto load = [&](int32_t Threads) {
    TKernelThreadsScope threads(Threads);
    TLoad out;
    View->Clear();
    Loader->OnProgress = [&](TObject*, int32_t per) { out.Progress.push_back(per); };
    Loader->LoadFile(avi);
    EXPECT_FALSE(Loader->Aborting());
    for (int32_t i = 0; i < View->GetImageCount(); ++i) out.Frames.push_back(EntryPicture(i));
    View->Clear();
    Loader->OnProgress = [&](TObject*, int32_t per) {
      if (per >= 50) Loader->SetAborting(true);
    };
    Loader->LoadFile(avi);
    EXPECT_TRUE(Loader->Aborting());
    out.Stopped = View->GetImageCount();
    Loader->OnProgress = nullptr;
    return out;
  };
  const TLoad one = load(1);
  ASSERT_EQ(one.Frames.size(), 40u);
  EXPECT_EQ(one.Stopped, 21);
  for (int32_t threads : {2, 8}) {
    SCOPED_TRACE(threads);
    const TLoad many = load(threads);
    ASSERT_EQ(many.Frames.size(), one.Frames.size());
    for (size_t i = 0; i < one.Frames.size(); ++i) {
      ASSERT_TRUE(one.Frames[i] && many.Frames[i]) << i;
      EXPECT_TRUE(SamePixels(*many.Frames[i], *one.Frames[i])) << "frame " << i;
    }
    EXPECT_EQ(many.Progress, one.Progress);
    EXPECT_EQ(many.Stopped, one.Stopped);
  }
}

TEST_F(MultiFrameAviTest, NoVideoOrNoFileSetsAborting) {
  const std::string sound = Dir + "sound.avi";
  ASSERT_EQ(test::Run("ffmpeg -v error -y -f lavfi -i sine=duration=0.2 -c:a pcm_s16le '" + sound + "'"), 0);
  AddSolid(2);
  Loader->LoadAVIFile(sound);
  EXPECT_TRUE(Loader->Aborting());
  EXPECT_EQ(View->GetImageCount(), 2);
  Loader->LoadAVIFile(Dir + "missing.avi");
  EXPECT_TRUE(Loader->Aborting());
  Loader->SetAttachedMView(nullptr);
  Loader->LoadAVIFile(sound);
  EXPECT_FALSE(Loader->Aborting());  // without a view nothing happens at all
}

// The dialog edits the entry's record on a copy of the current image.
TEST_F(MultiFrameLoaderTest, PreviewsDialogEditsTheEntrysRecord) {
  if (!HaveTool("convert")) GTEST_SKIP() << "ImageMagick is not installed";
  const std::string gif = Dir + "two.gif";
  ASSERT_EQ(test::Run("convert -size 12x9 gradient:red-blue xc:lime '" + gif + "'"), 0);
  Loader->LoadGIFFile(gif);
  ASSERT_EQ(View->GetImageCount(), 2);
  EXPECT_FALSE(Loader->ShowPreviewsDialog(1, 2));  // no current image yet
  View->SetSelectedImage(1);
  TScriptedDialogsScope dialogs;
  int shown = 0;
  const auto script = [&](TCustomForm& F) {
    auto& d = static_cast<TfIOPreviews&>(F);
    ++shown;
    EXPECT_EQ(d.Params(), Loader->ImageParams(1));
    EXPECT_TRUE(SamePixels(d.Imager1->Bitmap(), *View->GetBitmap()));
    d.Params()->GifDelayTime = 33;  // what the page's edit would store on OK
    return shown == 1 ? mrOk : mrCancel;
  };
  dialogs->AnswerModal(script);
  dialogs->AnswerModal(script);
  EXPECT_TRUE(Loader->ShowPreviewsDialog(1, 2));
  EXPECT_FALSE(Loader->ShowPreviewsDialog(1, 2));
  EXPECT_EQ(shown, 2);
  EXPECT_EQ(Loader->ImageParams(1)->GifDelayTime, 33);
  EXPECT_EQ(Loader->ImageParams(1)->GifImageIndex, 1);
  EXPECT_FALSE(Loader->ShowPreviewsDialog(5, 2));  // no record 5
}

TEST_F(MultiFrameLoaderTest, ViewGoingAwayIsForgotten) {
  AddSolid(2);
  EXPECT_EQ(Loader->ParamsCount(), 2);
  Form.reset();  // frees the view
  EXPECT_EQ(Loader->AttachedMView(), nullptr);
  EXPECT_FALSE(Loader->ShowPreviewsDialog(0, 1));
  EXPECT_FALSE(Loader->Aborting());
}

}  // namespace
}  // namespace kv
