// The I/O component on files and streams: round trips through every wired
// format judged by ImageMagick, detection by content and by extension,
// params-only reads, the stream header, progress and aborting, and the
// failures (unknown types, missing codecs, corrupt data, saves that fail).
#include <gtest/gtest.h>

#include <sys/resource.h>

#include <csignal>
#include <filesystem>
#include <fstream>

#include "codec_test_util.h"
#include "imaging/formats/file_types.h"
#include "imaging/formats/gif_lzw.h"
#include "imaging/formats/imager_io.h"
#include "imaging/formats/io_detect.h"
#include "imaging/processing/colour_convert.h"
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
const TWired kWired[] = {{".tif", ioTIFF, 0}, {".jpg", ioJPEG, 2}, {".png", ioPNG, 0}, {".bmp", ioBMP, 0},
                         {".pcx", ioPCX, 0},  {".tga", ioTGA, 0},  {".ppm", ioPXM, 0}};

// The application's GIF coder for the length of a test; without it GIF is neither read nor written.
struct TGifHooks {
  TGifHooks() { InstallGifLzwHooks(); }
  ~TGifHooks() {
    GifLzwDecoderHook = nullptr;
    GifLzwEncoderHook = nullptr;
  }
};

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

// Files the tools made, loaded through the component by their content and
// compared with the tool's own decoding. ImageMagick writes Targa rows top
// first under a bottom-left origin (netpbm and we read them the other way
// up), so netpbm makes and judges the Targa file.
TEST_F(ImagerIOFiles, ReadsWhatOtherToolsWrite) {
  if (!test::HaveTool("convert") || !test::HaveTool("ppmtotga")) GTEST_SKIP() << "ImageMagick or netpbm missing";
  auto src = Picture(40, 30);
  const std::string ppm = Dir + "src.ppm";
  test::WritePnm(ppm, *src);
  for (const TWired& w : kWired) {
    SCOPED_TRACE(w.Ext);
    const bool tga = w.Id == ioTGA;
    const std::string file = Dir + "im" + w.Ext, back = file + ".ppm";
    const std::string make = tga ? "ppmtotga -rgb '" + ppm + "' > '" + file + "'"
                                 : "convert '" + ppm + "' -quality 95 '" + file + "'";
    const std::string judge = tga ? "tgatoppm '" + file + "' > '" + back + "'"
                                  : "convert '" + file + "' -depth 8 -alpha off ppm:'" + back + "'";
    ASSERT_EQ(test::Run(make + " 2>/dev/null"), 0);
    ASSERT_EQ(test::Run(judge + " 2>/dev/null"), 0);
    TBitmap b;
    TImagerIO io(nullptr);
    io.AttachBitmap(&b);
    io.LoadFromFileByType(file, DetectFileType(file, true));
    ASSERT_FALSE(io.Aborted()) << io.AbortReason();
    EXPECT_EQ(io.Params().FileType, w.Id);
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
  // ".win" is Targa.
  io.WriteTgaFile(Dir + "a.win");
  TBitmap b;
  io.AttachBitmap(&b);
  io.LoadFromFileByExtension(Dir + "a.win");
  EXPECT_FALSE(io.Aborted()) << io.AbortReason();
  EXPECT_EQ(io.Params().FileType, ioTGA);
  EXPECT_EQ(b.Width(), 8);
}

// GIF goes through the application's LZW coder: without it a GIF fails
// cleanly, and a save leaves no file behind; with it the file is one
// ImageMagick reads as we wrote it.
TEST_F(ImagerIOFiles, GifNeedsItsCoder) {
  // Few colours, so that the palette holds the picture exactly.
  auto src = test::Make24(30, 20, [](int32_t x, int32_t y) {
    return TBGRPixel{uint8_t(x < 15 ? 0 : 200), uint8_t(y < 10 ? 40 : 90), uint8_t((x + y) % 2 ? 255 : 10)};
  });
  TImagerIO io(nullptr);
  io.AttachBitmap(src.get());
  GifLzwDecoderHook = nullptr;
  GifLzwEncoderHook = nullptr;
  io.Params().SetDefaults();
  io.SaveToFileByExtension(Dir + "x.gif");
  EXPECT_TRUE(io.Aborted());
  EXPECT_FALSE(std::filesystem::exists(Dir + "x.gif"));

  TGifHooks hooks;
  io.Params().SetDefaults();
  io.SaveToFileByExtension(Dir + "x.gif");
  ASSERT_FALSE(io.Aborted()) << io.AbortReason();
  EXPECT_EQ(io.GetGifImageCount(Dir + "x.gif"), 1);
  if (test::HaveTool("convert")) {
    ASSERT_EQ(test::Run("convert '" + Dir + "x.gif' -depth 8 ppm:'" + Dir + "x.ppm' 2>/dev/null"), 0);
    EXPECT_EQ(test::MaxDiffToPpm(*src, Dir + "x.ppm"), 0);
  }
  TBitmap b;
  io.AttachBitmap(&b);
  io.LoadFromFileByExtension(Dir + "x.gif");
  ASSERT_FALSE(io.Aborted()) << io.AbortReason();
  EXPECT_EQ(io.Params().FileType, ioGIF);
  EXPECT_TRUE(SamePixels(*src, b));
}

// Icons and cursors share one header layout: the extension tells them apart.
TEST_F(ImagerIOFiles, CursorsAndIconsByExtension) {
  if (!test::HaveTool("icotool")) GTEST_SKIP() << "icoutils missing";
  auto src = Picture(16, 16);
  TImagerIO io(nullptr);
  io.AttachBitmap(src.get());
  io.WritePngFile(Dir + "c.png");
  ASSERT_EQ(test::Run("icotool -c --cursor -X 3 -Y 5 -o '" + Dir + "c.cur' '" + Dir + "c.png' 2>/dev/null"), 0);
  std::filesystem::copy_file(Dir + "c.cur", Dir + "c.ico");
  EXPECT_EQ(DetectFileType(Dir + "c.ico", true), ioICO);
  EXPECT_EQ(DetectFileType(Dir + "c.cur", true), ioCUR);
  std::filesystem::copy_file(Dir + "c.cur", Dir + "c.bmp");
  EXPECT_EQ(DetectFileType(Dir + "c.bmp", true), 0);
  TBitmap b;
  io.AttachBitmap(&b);
  io.ReadParamsFromFile(Dir + "c.cur");
  EXPECT_FALSE(io.Aborted()) << io.AbortReason();
  EXPECT_EQ(io.Params().FileType, ioCUR);
  EXPECT_EQ(io.Params().CurHotSpotX, 3);
  io.LoadFromFileByExtension(Dir + "c.cur");
  ASSERT_FALSE(io.Aborted()) << io.AbortReason();
  EXPECT_EQ(b.Width(), 16);
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
  // A BMP of no pixels (width or height 0 in its header) is a failure, not an empty picture.
  TImagerIO io(nullptr);
  io.AttachBitmap(src.get());
  TMemoryStream bmp;
  io.WriteBmpStream(bmp);
  for (int field : {18, 22}) {
    TMemoryStream zero;
    zero.WriteBuffer(bmp.Memory(), int32_t(bmp.Size()));
    const uint8_t none[4] = {};
    zero.SetPosition(field);
    zero.WriteBuffer(none, 4);
    zero.SetPosition(0);
    TBitmap b;
    io.AttachBitmap(&b);
    io.LoadFromStream(zero);
    EXPECT_TRUE(io.Aborted()) << field;
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

// Scaled JPEG loads through the component decode as djpeg -scale does.
TEST_F(ImagerIOFiles, ScaledJpegLoadsMatchDjpeg) {
  if (!test::HaveTool("djpeg")) GTEST_SKIP() << "djpeg missing";
  auto src = Picture(400, 300);
  TImagerIO io(nullptr);
  io.AttachBitmap(src.get());
  io.WriteJpegFile(Dir + "s.jpg");
  ASSERT_FALSE(io.Aborted());
  for (int scale : {2, 3, 4}) {
    const int denom = 1 << (scale - 1);
    TBitmap b;
    TImagerIO in(nullptr);
    in.AttachBitmap(&b);
    in.Params().JpegScale = uint8_t(scale);
    in.LoadFromFileByExtension(Dir + "s.jpg");
    ASSERT_FALSE(in.Aborted()) << denom;
    EXPECT_EQ(b.Width(), 400 / denom);
    EXPECT_EQ(in.Params().JpegScaleUsed, denom);
    const std::string ppm = Dir + "s" + std::to_string(denom) + ".ppm";
    ASSERT_EQ(test::Run("djpeg -scale 1/" + std::to_string(denom) + " -outfile '" + ppm + "' '" + Dir + "s.jpg'"), 0);
    EXPECT_EQ(test::MaxDiffToPpm(b, ppm), 0) << denom;
  }
}

TEST_F(ImagerIOFiles, PageCounts) {
  auto src = Picture(12, 9);
  TImagerIO io(nullptr);
  io.AttachBitmap(src.get());
  io.WriteTiffFile(Dir + "a.tif");
  ASSERT_FALSE(io.Aborted());
  EXPECT_EQ(io.GetTiffPageCount(Dir + "a.tif"), 1);
  EXPECT_EQ(io.GetTiffPageCount(Dir + "missing.tif"), 0);
  if (test::HaveTool("tiffcp")) {
    ASSERT_EQ(test::Run("tiffcp '" + Dir + "a.tif' '" + Dir + "a.tif' '" + Dir + "two.tif' 2>/dev/null"), 0);
    EXPECT_EQ(io.GetTiffPageCount(Dir + "two.tif"), 2);
    io.Params().TiffImageIndex = 1;
    TBitmap b;
    io.AttachBitmap(&b);
    io.ReadTiffFile(Dir + "two.tif");
    EXPECT_FALSE(io.Aborted());
    EXPECT_EQ(io.Params().TiffImageCount, 2);
    EXPECT_TRUE(SamePixels(*src, b));
  }
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

  // PCX: framed by "PCX2", and by the older 4-byte header that runs to the stream's end.
  {
    TMemoryStream p;
    TImagerIO w(nullptr);
    w.SetStreamHeaders(true);
    w.AttachBitmap(a.get());
    w.WritePcxStream(p);
    w.AttachBitmap(b.get());
    w.WritePcxStream(p);
    ASSERT_FALSE(w.Aborted());
    TBitmap x;
    w.AttachBitmap(&x);
    p.SetPosition(0);
    w.LoadFromStream(p);
    ASSERT_FALSE(w.Aborted()) << w.AbortReason();
    EXPECT_TRUE(SamePixels(*a, x));
    w.LoadFromStream(p);
    ASSERT_FALSE(w.Aborted()) << w.AbortReason();
    EXPECT_TRUE(SamePixels(*b, x));
    EXPECT_EQ(p.Position(), p.Size());

    TMemoryStream old;
    old.WriteBuffer("PCX\0", 4);
    old.WriteBuffer(static_cast<const uint8_t*>(p.Memory()) + 12, int32_t(p.Size() - 12));  // both pictures' bytes
    old.SetPosition(0);
    w.LoadFromStream(old);
    ASSERT_FALSE(w.Aborted()) << w.AbortReason();
    EXPECT_TRUE(SamePixels(*a, x));
  }

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

  // A disk that fills up mid-write (the file size limit stands in for it):
  // the short write is raised as the environment's failure, the old file stays.
  {
    auto big = Picture(400, 300);
    io.AttachBitmap(big.get());
    struct rlimit old {};
    ASSERT_EQ(::getrlimit(RLIMIT_FSIZE, &old), 0);
    void (*oldHandler)(int) = std::signal(SIGXFSZ, SIG_IGN);
    struct rlimit small = old;
    small.rlim_cur = 4096;
    ASSERT_EQ(::setrlimit(RLIMIT_FSIZE, &small), 0);
    bool raised = false;
    try {
      io.SaveToFileByExtension(file);
    } catch (const EWriteError&) {
      raised = true;
    }
    ::setrlimit(RLIMIT_FSIZE, &old);
    std::signal(SIGXFSZ, oldHandler);
    EXPECT_TRUE(raised);
    EXPECT_TRUE(io.Aborted());
    EXPECT_EQ(test::ReadBytes(file), before);
    io.AttachBitmap(other.get());
  }

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

// A picture of one colour saved at 1 bit per pixel: formats with a palette
// keep the colour exactly, the others get the nearest of black and white.
TEST_F(ImagerIOFiles, OneColourAtOneBitKeepsItsColour) {
  TGifHooks hooks;
  struct TCase {
    const char* Ext;
    bool Palette;
  };
  const TCase cases[] = {{".bmp", true}, {".png", true}, {".gif", true},
                         {".tga", false}, {".ppm", false}, {".tif", false}};
  const bool identify = test::HaveTool("identify");
  for (const TBGRPixel colour : {CreateRGB(20, 40, 160), CreateRGB(250, 240, 190)}) {
    const bool light = colour.r > 128;
    TBitmap src(9, 5, pf24bit);
    test::FillFlat24(src, colour);
    for (const TCase& c : cases) {
      SCOPED_TRACE(std::string(c.Ext) + (light ? " light" : " dark"));
      const TBGRPixel want = c.Palette ? colour : light ? CreateRGB(255, 255, 255) : CreateRGB(0, 0, 0);
      const std::string file = Dir + "one" + c.Ext;
      TImagerIO io(nullptr);
      io.AttachBitmap(&src);
      io.Params().BitsPerSample = 1;
      io.Params().SamplesPerPixel = 1;
      io.SaveToFileByExtension(file);
      ASSERT_FALSE(io.Aborted()) << io.AbortReason();

      TBitmap back;
      TImagerIO in(nullptr);
      in.AttachBitmap(&back);
      in.LoadFromFileByExtension(file);
      ASSERT_FALSE(in.Aborted()) << in.AbortReason();
      for (const auto& [x, y] : {std::pair{0, 0}, std::pair{8, 4}})
        EXPECT_EQ(back.GetPixelColor(x, y), RGBToTColor(want.r, want.g, want.b)) << x << ',' << y;
      if (identify && c.Palette) {
        EXPECT_EQ(test::RunCapture("identify -format '%[pixel:p{0,0}]' '" + file + "'"),
                  "srgb(" + std::to_string(want.r) + "," + std::to_string(want.g) + "," + std::to_string(want.b) + ")");
      }
    }
  }
}

}  // namespace
}  // namespace kv
