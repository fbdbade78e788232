// The I/O component on files and streams: round trips through every wired
// format judged by ImageMagick, detection by content and by extension,
// params-only reads, the stream header, progress and aborting, and the
// failures (unknown types, missing codecs, corrupt data, saves that fail).
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

#include "codec_test_util.h"
#include "imaging/formats/file_types.h"
#include "imaging/formats/imager_io.h"
#include "imaging/formats/io_detect.h"
#include "platform/rtl/exceptions.h"

namespace kv {
namespace {

using test::TTempFolderTest;

// True when every pixel of two 24-bit bitmaps is within Tolerance.
bool SamePixels(const TBitmap& A, const TBitmap& B, int Tolerance = 0) {
  if (A.Width() != B.Width() || A.Height() != B.Height() || A.PixelFormat() != B.PixelFormat()) return false;
  const int32_t n = int32_t(RowBytes(A.Width(), A.PixelFormat()));
  for (int32_t y = 0; y < A.Height(); ++y) {
    const auto* a = static_cast<const uint8_t*>(A.ScanLine(y));
    const auto* b = static_cast<const uint8_t*>(B.ScanLine(y));
    for (int32_t i = 0; i < n; ++i)
      if (std::abs(int(a[i]) - int(b[i])) > Tolerance) return false;
  }
  return true;
}

std::unique_ptr<TBitmap> Picture(int32_t W = 61, int32_t H = 37) { return test::PhotoLike(W, H); }

struct TWired {
  const char* Ext;
  int32_t Id;
  int Tolerance;  // JPEG is lossy
};
const TWired kWired[] = {{".tif", ioTIFF, 0}, {".jpg", ioJPEG, 2}, {".png", ioPNG, 0}, {".bmp", ioBMP, 0}};

using ImagerIOFiles = TTempFolderTest;

// Saved by extension, judged by ImageMagick, loaded back by extension and by content.
TEST_F(ImagerIOFiles, RoundTripsThroughEveryWiredFormat) {
  if (!test::HaveTool("convert")) GTEST_SKIP() << "ImageMagick missing";
  auto src = Picture();
  for (const TWired& w : kWired) {
    SCOPED_TRACE(w.Ext);
    const std::string file = Dir + "pic" + w.Ext;
    TImagerIO io(nullptr);
    io.AttachBitmap(src.get());
    io.Params().JpegQuality = 95;
    io.SaveToFileByExtension(file);
    ASSERT_FALSE(io.Aborted()) << io.AbortReason();
    EXPECT_EQ(io.Params().FileName, file);
    const std::string ppm = file + ".ppm";
    ASSERT_EQ(test::Run("convert '" + file + "' -depth 8 -alpha off ppm:'" + ppm + "' 2>/dev/null"), 0);
    if (w.Tolerance == 0) EXPECT_EQ(test::MaxDiffToPpm(*src, ppm), 0);
    else EXPECT_LT(test::MeanDiffToPpm(*src, ppm), 10.0);  // the picture is noisy on purpose

    TBitmap back;
    TImagerIO in(nullptr);
    in.AttachBitmap(&back);
    in.LoadFromFileByExtension(file);
    ASSERT_FALSE(in.Aborted()) << in.AbortReason();
    EXPECT_EQ(in.Params().FileType, w.Id);
    EXPECT_EQ(in.Params().FileName, file);
    EXPECT_EQ(in.Params().Width, src->Width());
    // What we load is what the tool decodes.
    const int diff = test::MaxDiffToPpm(back, ppm);
    EXPECT_GE(diff, 0);
    EXPECT_LE(diff, w.Tolerance);

    // The same file under a neutral name, recognised by its content.
    const std::string plain = Dir + "noext";
    std::filesystem::copy_file(file, plain, std::filesystem::copy_options::overwrite_existing);
    TMemoryStream s;
    s.LoadFromFile(plain);
    TBitmap viaStream;
    in.AttachBitmap(&viaStream);
    in.LoadFromStream(s);
    ASSERT_FALSE(in.Aborted()) << in.AbortReason();
    EXPECT_EQ(in.Params().FileType, w.Id);
    EXPECT_EQ(in.Params().FileName, "");
    EXPECT_TRUE(SamePixels(back, viaStream));
  }
}

// Files ImageMagick made, loaded through the component by their content.
TEST_F(ImagerIOFiles, ReadsWhatImageMagickWrites) {
  if (!test::HaveTool("convert")) GTEST_SKIP() << "ImageMagick missing";
  auto src = Picture(40, 30);
  const std::string ppm = Dir + "src.ppm";
  test::WritePnm(ppm, *src);
  for (const TWired& w : kWired) {
    SCOPED_TRACE(w.Ext);
    const std::string file = Dir + "im" + w.Ext;
    ASSERT_EQ(test::Run("convert '" + ppm + "' -quality 95 '" + file + "' 2>/dev/null"), 0);
    TBitmap b;
    TImagerIO io(nullptr);
    io.AttachBitmap(&b);
    io.LoadFromFileByType(file, DetectFileType(file, true));
    ASSERT_FALSE(io.Aborted()) << io.AbortReason();
    EXPECT_EQ(io.Params().FileType, w.Id);
    const std::string back = file + ".ppm";
    ASSERT_EQ(test::Run("convert '" + file + "' -depth 8 -alpha off ppm:'" + back + "' 2>/dev/null"), 0);
    const int diff = test::MaxDiffToPpm(b, back);
    EXPECT_GE(diff, 0);
    EXPECT_LE(diff, w.Tolerance);
  }
}

TEST(ImagerIODetect, ContentTests) {
  struct TCase {
    const char* Name;
    std::vector<uint8_t> Bytes;
    int32_t Id;
  };
  auto with = [](std::vector<uint8_t> Head, size_t Size, uint8_t Fill = 0x55) {
    Head.resize(std::max(Head.size(), Size), Fill);
    return Head;
  };
  std::vector<uint8_t> junk60 = with({}, 60, 0x20), junk100 = with({}, 100, 0x20);
  for (uint8_t b : {0xFF, 0xD8, 0xFF, 0xE0}) junk60.push_back(b), junk100.push_back(b);
  junk60.resize(400, 0), junk100.resize(400, 0);
  const TCase cases[] = {
      {"stream header JFIF over a PNG", with({'J', 'F', 'I', 'F', 0, 0, 0, 0, 8, 0, 0, 0, 0x89, 'P', 'N', 'G'}, 40), ioJPEG},
      {"JFIF header too short", with({'J', 'F', 'I', 'F', 0}, 12), 0},
      {"GIF", with({'G', 'I', 'F', '8', '9', 'a'}, 14), ioGIF},
      {"PCX2 header", with({'P', 'C', 'X', '2', 0}, 13), ioPCX},
      {"old PCX header", with({'P', 'C', 'X', 0}, 5), ioPCX},
      {"BMP", with({'B', 'M'}, 15), ioBMP},
      {"BMP too short", with({'B', 'M'}, 14), 0},
      {"PCX file", with({10, 5, 1, 8}, 129), ioPCX},
      {"PCX file, version 6", with({10, 6, 1, 8}, 129), 0},
      {"TIFF stream header", with({'T', 'I', 'F', 'F', 0}, 13), ioTIFF},
      {"Intel TIFF", with({'I', 'I', 42, 0}, 9), ioTIFF},
      {"Motorola TIFF", with({'M', 'M', 0, 42}, 9), ioTIFF},
      {"PNG", with({0x89, 'P', 'N', 'G', 0x0D, 0x0A, 0x1A, 0x0A}, 9), ioPNG},
      {"JPEG after 60 junk bytes", junk60, ioJPEG},
      {"JPEG after 100 junk bytes", junk100, 0},
      {"empty", {}, 0},
  };
  for (const TCase& c : cases) {
    TMemoryStream s;
    const uint8_t lead[3] = {1, 2, 3};
    s.WriteBuffer(lead, 3);  // detection starts at the position, not at 0
    if (!c.Bytes.empty()) s.WriteBuffer(c.Bytes.data(), int32_t(c.Bytes.size()));
    s.SetPosition(3);
    EXPECT_EQ(DetectStreamType(s), c.Id) << c.Name;
    EXPECT_EQ(s.Position(), 3) << c.Name;
  }
}

TEST_F(ImagerIOFiles, FileTypeAgreesWithTheExtension) {
  auto src = Picture(8, 8);
  TImagerIO io(nullptr);
  io.AttachBitmap(src.get());
  io.WritePngFile(Dir + "a.png");
  ASSERT_FALSE(io.Aborted());
  std::filesystem::copy_file(Dir + "a.png", Dir + "a.jpg");
  std::filesystem::copy_file(Dir + "a.png", Dir + "a.xyz");
  std::filesystem::copy_file(Dir + "a.png", Dir + "A.PNG");
  EXPECT_EQ(DetectFileType(Dir + "a.png", true), ioPNG);
  EXPECT_EQ(DetectFileType(Dir + "A.PNG", true), ioPNG);
  EXPECT_EQ(DetectFileType(Dir + "a.jpg", true), 0);  // a PNG named .jpg
  EXPECT_EQ(DetectFileType(Dir + "a.jpg", false), ioPNG);
  EXPECT_EQ(DetectFileType(Dir + "a.xyz", true), 0);
  EXPECT_EQ(DetectFileType(Dir + "missing.png", true), 0);
}

TEST_F(ImagerIOFiles, ExtensionsTheComponentDoesNotList) {
  auto src = Picture(8, 8);
  TImagerIO io(nullptr);
  io.AttachBitmap(src.get());
  io.WriteBmpFile(Dir + "a.pix");  // the table lists PIX for Targa, the component does not
  ASSERT_FALSE(io.Aborted());
  io.LoadFromFileByExtension(Dir + "a.pix");
  EXPECT_TRUE(io.Aborted());
  io.SaveToFileByExtension(Dir + "b.pix");
  EXPECT_TRUE(io.Aborted());
  io.SaveToFileByExtension(Dir + "b.ico");  // icons are read only
  EXPECT_TRUE(io.Aborted());
  EXPECT_FALSE(std::filesystem::exists(Dir + "b.pix"));
  EXPECT_FALSE(std::filesystem::exists(Dir + "b.ico"));
  // ".win" is Targa: it goes to the Targa reader, which is not built in yet.
  std::filesystem::copy_file(Dir + "a.pix", Dir + "a.win");
  io.LoadFromFileByExtension(Dir + "a.win");
  EXPECT_TRUE(io.Aborted());
  EXPECT_NE(io.AbortReason().find("TGA"), std::string::npos) << io.AbortReason();
}

// Formats whose codec is not built in fail with a reason, never as a success,
// and a save of them leaves no file behind.
TEST_F(ImagerIOFiles, FormatsWithoutCodecFailCleanly) {
  auto src = Picture(8, 8);
  TImagerIO io(nullptr);
  io.AttachBitmap(src.get());
  for (const char* ext : {".gif", ".pcx", ".tga", ".ppm"}) {
    SCOPED_TRACE(ext);
    io.SaveToFileByExtension(Dir + "x" + ext);
    EXPECT_TRUE(io.Aborted());
    EXPECT_FALSE(io.AbortReason().empty());
    EXPECT_FALSE(std::filesystem::exists(Dir + "x" + ext));
  }
  for (int32_t id : {ioGIF, ioPCX, ioICO, ioCUR, ioTGA, ioPXM}) {
    TMemoryStream s;
    s.WriteBuffer("GIF89a-and-more-bytes", 21);
    s.SetPosition(0);
    io.LoadFromStreamByType(s, id);
    EXPECT_TRUE(io.Aborted()) << id;
    EXPECT_EQ(src->Width(), 8);
  }
  EXPECT_EQ(io.GetGifImageCount(Dir + "x.gif"), 0);
}

TEST(ImagerIOFailures, UnknownTypesAndStreams) {
  auto src = Picture(8, 8);
  TImagerIO io(nullptr);
  io.AttachBitmap(src.get());
  io.Params().FileName = "old.png";
  io.Params().FileType = ioPNG;
  io.Params().ExifMake = "Maker";
  const uint8_t marker[3] = {1, 2, 3};
  io.Params().JpegMarkers.AddMarker(0xE2, marker, 3);
  TMemoryStream s;
  s.WriteBuffer("nothing an image starts with", 28);
  s.SetPosition(0);
  io.LoadFromStream(s);
  EXPECT_TRUE(io.Aborted());
  EXPECT_EQ(io.Params().FileName, "");
  EXPECT_EQ(io.Params().FileType, 0);
  EXPECT_EQ(io.Params().ExifMake, "");
  EXPECT_EQ(io.Params().JpegMarkers.Count(), 0);

  io.LoadFromStreamByType(s, 42);
  EXPECT_TRUE(io.Aborted());
  io.SaveToStreamByType(s, ioICO);
  EXPECT_TRUE(io.Aborted());
  io.SaveToStreamByType(s, 42);
  EXPECT_TRUE(io.Aborted());

  // Without a target nothing is loaded or saved, and the flag says so.
  TImagerIO none(nullptr);
  none.LoadFromStreamByType(s, ioPNG);
  EXPECT_TRUE(none.Aborted());
  none.SaveToStreamByType(s, ioPNG);
  EXPECT_TRUE(none.Aborted());
  EXPECT_THROW(none.LoadFromFileByExtension("/nonexistent/x.png"), EFOpenError);
}

// Truncated and empty files of every wired format fail through the flag.
TEST(ImagerIOFailures, CorruptDataAborts) {
  auto src = Picture(50, 40);
  for (const TWired& w : kWired) {
    TImagerIO io(nullptr);
    io.AttachBitmap(src.get());
    TMemoryStream whole;
    io.SaveToStreamByType(whole, w.Id);
    ASSERT_FALSE(io.Aborted()) << w.Ext;
    for (int64_t keep : {int64_t(0), int64_t(8), whole.Size() / 2}) {
      TMemoryStream cut;
      cut.WriteBuffer(whole.Memory(), int32_t(keep));
      cut.SetPosition(0);
      TBitmap b;
      io.AttachBitmap(&b);
      io.LoadFromStreamByType(cut, w.Id);
      EXPECT_TRUE(io.Aborted()) << w.Ext << " cut to " << keep;
    }
  }
}

TEST_F(ImagerIOFiles, ParamsOnlyReadsLeaveTheBitmapAlone) {
  auto src = Picture(33, 21);
  TImagerIO io(nullptr);
  io.AttachBitmap(src.get());
  io.Params().DpiX = io.Params().DpiY = 150;
  io.WritePngFile(Dir + "p.png");
  io.WriteJpegFile(Dir + "p.jpg");
  ASSERT_FALSE(io.Aborted());

  TBitmap mine(5, 4, pf24bit);
  TImagerIO in(nullptr);
  in.AttachBitmap(&mine);
  int calls = 0;
  in.OnProgress = [&](TObject*, int32_t) { ++calls; };
  for (const char* name : {"p.png", "p.jpg"}) {
    in.Params().Width = 0;
    in.ReadParamsFromFile(Dir + name);
    EXPECT_FALSE(in.Aborted()) << name;
    EXPECT_EQ(in.Params().Width, 33) << name;
    EXPECT_EQ(in.Params().Height, 21) << name;
    EXPECT_EQ(in.Params().DpiX, 150) << name;
    EXPECT_EQ(in.Params().FileName, Dir + name);
  }
  EXPECT_EQ(in.Params().FileType, ioJPEG);
  EXPECT_EQ(mine.Width(), 5);
  EXPECT_EQ(calls, 0);

  // From a stream: detected, and the stream stays where it was.
  TMemoryStream s;
  s.LoadFromFile(Dir + "p.png");
  in.ReadParamsFromStream(s);
  EXPECT_FALSE(in.Aborted());
  EXPECT_EQ(in.Params().FileType, ioPNG);
  EXPECT_EQ(s.Position(), 0);

  // Garbage, a missing file and a type without a codec leave FileType 0.
  std::ofstream(Dir + "bad.png") << "not a png at all, really not";
  for (const std::string& name : {Dir + "bad.png", Dir + "missing.png"}) {
    in.ReadParamsFromFileByType(name, ioPNG);
    EXPECT_EQ(in.Params().FileType, 0) << name;
    EXPECT_EQ(in.Params().FileName, name);
  }
  EXPECT_EQ(mine.Width(), 5);
}

TEST(ImagerIOStreams, HeadersFrameImagesOneAfterAnother) {
  auto a = Picture(30, 20), b = Picture(17, 11);
  TImagerIO io(nullptr);
  io.SetStreamHeaders(true);
  TMemoryStream s;
  const uint8_t lead[5] = {9, 9, 9, 9, 9};
  s.WriteBuffer(lead, 5);
  io.AttachBitmap(a.get());
  io.WriteTiffStream(s);
  ASSERT_FALSE(io.Aborted());
  const int64_t jpegAt = s.Position();
  io.AttachBitmap(b.get());
  io.Params().JpegQuality = 90;
  io.WriteJpegStream(s);
  ASSERT_FALSE(io.Aborted());
  io.AttachBitmap(a.get());
  io.WriteTiffStream(s);
  io.WritePngStream(s);  // PNG carries no header
  const int64_t end = s.Size();
  const auto* bytes = static_cast<const uint8_t*>(s.Memory());
  EXPECT_EQ(std::string(reinterpret_cast<const char*>(bytes + 5), 4), "TIFF");

  s.SetPosition(5);
  TBitmap r;
  TImagerIO in(nullptr);
  in.SetStreamHeaders(true);
  in.AttachBitmap(&r);
  in.LoadFromStream(s);  // detected by its header
  ASSERT_FALSE(in.Aborted()) << in.AbortReason();
  EXPECT_TRUE(SamePixels(*a, r));
  in.LoadFromStream(s);
  ASSERT_FALSE(in.Aborted()) << in.AbortReason();
  EXPECT_EQ(in.Params().FileType, ioJPEG);
  {
    // The same JPEG without a frame decodes to the same pixels.
    TMemoryStream plain;
    TImagerIO one(nullptr);
    one.AttachBitmap(b.get());
    one.Params().JpegQuality = 90;
    one.WriteJpegStream(plain);
    TBitmap ref;
    one.AttachBitmap(&ref);
    plain.SetPosition(0);
    one.ReadJpegStream(plain);
    EXPECT_TRUE(SamePixels(ref, r));
  }
  in.ReadTiffStream(s);
  ASSERT_FALSE(in.Aborted());
  EXPECT_TRUE(SamePixels(*a, r));
  in.ReadPngStream(s);
  ASSERT_FALSE(in.Aborted());
  EXPECT_EQ(s.Position(), end);

  // A TIFF read that finds another tag fails.
  s.SetPosition(jpegAt);
  in.ReadTiffStream(s);
  EXPECT_TRUE(in.Aborted());
  s.SetPosition(5);
  in.SetStreamHeaders(false);
  in.ReadTiffStream(s);  // headers off: the tag is not TIFF data
  EXPECT_TRUE(in.Aborted());

  // A frame that claims more bytes than the stream holds leaves the stream at its end.
  TMemoryStream cut;
  cut.WriteBuffer(s.Memory(), int32_t(jpegAt - 40));
  cut.SetPosition(5);
  in.SetStreamHeaders(true);
  in.ReadTiffStream(cut);
  EXPECT_LE(cut.Position(), cut.Size());
}

TEST(ImagerIOProgress, ReportsAndStopsOnAbort) {
  auto src = Picture(64, 48);
  TImagerIO io(nullptr);
  io.AttachBitmap(src.get());
  std::vector<int32_t> seen;
  io.OnProgress = [&](TObject* Sender, int32_t Per) {
    EXPECT_EQ(Sender, &io);
    seen.push_back(Per);
  };
  TMemoryStream s;
  io.WriteBmpStream(s);
  ASSERT_FALSE(io.Aborted());
  ASSERT_FALSE(seen.empty());
  EXPECT_EQ(seen.back(), 100);
  EXPECT_TRUE(std::is_sorted(seen.begin(), seen.end()));

  // A handler that sets the flag stops the load.
  TBitmap b;
  io.AttachBitmap(&b);
  seen.clear();
  io.OnProgress = [&](TObject*, int32_t Per) {
    seen.push_back(Per);
    if (Per >= 20) io.SetAborted(true);
  };
  s.SetPosition(0);
  io.LoadFromStream(s);
  EXPECT_TRUE(io.Aborted());
  ASSERT_FALSE(seen.empty());
  EXPECT_LT(seen.back(), 100);
}

// A save that fails leaves the old file exactly as it was, and no temporary file.
TEST_F(ImagerIOFiles, FailedSavesKeepTheOldFile) {
  auto src = Picture(64, 48);
  TImagerIO io(nullptr);
  io.AttachBitmap(src.get());
  const std::string file = Dir + "keep.bmp";
  io.SaveToFileByExtension(file);
  ASSERT_FALSE(io.Aborted());
  const std::vector<uint8_t> before = test::ReadBytes(file);

  auto other = Picture(10, 10);
  io.AttachBitmap(other.get());
  io.OnProgress = [&](TObject*, int32_t Per) {
    if (Per >= 50) io.SetAborted(true);
  };
  io.SaveToFileByExtension(file);
  EXPECT_TRUE(io.Aborted());
  EXPECT_EQ(test::ReadBytes(file), before);
  io.OnProgress = nullptr;

  // A folder that takes no file: the failure is raised and nothing changes.
  std::ofstream(Dir + "plainfile") << "x";
  EXPECT_THROW(io.SaveToFileByExtension(Dir + "plainfile/x.bmp"), EFCreateError);
  EXPECT_THROW(io.SaveToFileByExtension(Dir + "nofolder/x.bmp"), EFCreateError);
  if (::geteuid() != 0) {
    std::filesystem::permissions(Dir, std::filesystem::perms::owner_read | std::filesystem::perms::owner_exec);
    EXPECT_THROW(io.SaveToFileByExtension(file), EFCreateError);
    std::filesystem::permissions(Dir, std::filesystem::perms::owner_all);
    EXPECT_EQ(test::ReadBytes(file), before);
  }
  int entries = 0;
  for (const auto& e : std::filesystem::directory_iterator(Dir)) entries += e.path().filename().string()[0] == '.';
  EXPECT_EQ(entries, 0) << "a temporary file was left behind";

  // A successful save replaces the file and keeps its permissions.
  std::filesystem::permissions(file, std::filesystem::perms::owner_read | std::filesystem::perms::owner_write);
  io.SaveToFileByExtension(file);
  ASSERT_FALSE(io.Aborted());
  EXPECT_NE(test::ReadBytes(file), before);
  EXPECT_EQ(std::filesystem::status(file).permissions() & std::filesystem::perms::all,
            std::filesystem::perms::owner_read | std::filesystem::perms::owner_write);
}

// A save converts other pixel formats on a copy: the picture stays as it was.
TEST(ImagerIOStreams, SavesOtherFormatsAs24BitWithoutTouchingThePicture) {
  TBitmap pal(9, 7, pf8bit);
  TImagerIO io(nullptr);
  io.AttachBitmap(&pal);
  TMemoryStream s;
  io.WritePngStream(s);
  ASSERT_FALSE(io.Aborted());
  EXPECT_EQ(pal.PixelFormat(), pf8bit);
  TBitmap back;
  io.AttachBitmap(&back);
  s.SetPosition(0);
  io.LoadFromStream(s);
  ASSERT_FALSE(io.Aborted());
  EXPECT_EQ(back.Width(), 9);
}

}  // namespace
}  // namespace kv
