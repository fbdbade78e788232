// EXIF reader: fields exiv2 writes, in both byte orders, and hand-made
// blocks whose counts and offsets lie.
#include <gtest/gtest.h>

#include <cstring>

#include "codec_test_util.h"
#include "imaging/formats/exif.h"
#include "imaging/formats/jpeg.h"

namespace kv::test {
namespace {

// A TIFF block in either byte order: directories of (tag, type, count, value
// bytes in host order per element); values over four bytes go after the
// directories. Offsets count from the block's start.
class TTiffBuilder {
 public:
  explicit TTiffBuilder(bool Motorola) : FMM(Motorola) {}
  struct TEntry {
    uint16_t Tag, Type;
    uint32_t Count;
    std::vector<uint8_t> Value;  // already in the block's byte order
  };
  std::vector<uint8_t> U16(uint32_t V) const {
    return FMM ? std::vector<uint8_t>{uint8_t(V >> 8), uint8_t(V)} : std::vector<uint8_t>{uint8_t(V), uint8_t(V >> 8)};
  }
  std::vector<uint8_t> U32(uint32_t V) const {
    std::vector<uint8_t> b = {uint8_t(V), uint8_t(V >> 8), uint8_t(V >> 16), uint8_t(V >> 24)};
    if (FMM) std::reverse(b.begin(), b.end());
    return b;
  }
  TEntry Ascii(uint16_t Tag, const std::string& S) const {
    return {Tag, 2, uint32_t(S.size() + 1), std::vector<uint8_t>(S.c_str(), S.c_str() + S.size() + 1)};
  }
  TEntry Short(uint16_t Tag, uint32_t V) const { return {Tag, 3, 1, U16(V)}; }
  TEntry Long(uint16_t Tag, uint32_t V) const { return {Tag, 4, 1, U32(V)}; }
  TEntry Rational(uint16_t Tag, uint32_t N, uint32_t D, uint16_t Type = 5) const {
    std::vector<uint8_t> v = U32(N), d = U32(D);
    v.insert(v.end(), d.begin(), d.end());
    return {Tag, Type, 1, v};
  }
  // Directories chained in order; the first at offset 8.
  std::vector<uint8_t> Build(const std::vector<std::vector<TEntry>>& Dirs) const {
    std::vector<uint8_t> out = {uint8_t(FMM ? 'M' : 'I'), uint8_t(FMM ? 'M' : 'I')};
    Append(out, U16(42));
    Append(out, U32(8));
    size_t dirBytes = 0;
    for (const auto& d : Dirs) dirBytes += 2 + 12 * d.size() + 4;
    size_t extra = 8 + dirBytes;
    std::vector<uint8_t> tail;
    for (size_t i = 0; i < Dirs.size(); ++i) {
      Append(out, U16(uint32_t(Dirs[i].size())));
      for (const TEntry& e : Dirs[i]) {
        Append(out, U16(e.Tag));
        Append(out, U16(e.Type));
        Append(out, U32(e.Count));
        if (e.Value.size() <= 4) {
          std::vector<uint8_t> v = e.Value;
          v.resize(4, 0);
          Append(out, v);
        } else {
          Append(out, U32(uint32_t(extra + tail.size())));
          Append(tail, e.Value);
        }
      }
      Append(out, U32(i + 1 < Dirs.size() ? uint32_t(out.size() + 4) : 0));
    }
    Append(out, tail);
    return out;
  }
  static void Append(std::vector<uint8_t>& A, const std::vector<uint8_t>& B) { A.insert(A.end(), B.begin(), B.end()); }

 private:
  bool FMM;
};

std::vector<uint8_t> ExifBlock(const std::vector<uint8_t>& Tiff) {
  std::vector<uint8_t> b = {'E', 'x', 'i', 'f', 0, 0};
  b.insert(b.end(), Tiff.begin(), Tiff.end());
  return b;
}

// A JPEG with the block as its first APP1 marker.
std::vector<uint8_t> WithApp1(const std::vector<uint8_t>& Jpeg, const std::vector<uint8_t>& Payload) {
  std::vector<uint8_t> f(Jpeg.begin(), Jpeg.begin() + 2);
  const size_t n = Payload.size() + 2;
  f.insert(f.end(), {0xFF, 0xE1, uint8_t(n >> 8), uint8_t(n)});
  f.insert(f.end(), Payload.begin(), Payload.end());
  f.insert(f.end(), Jpeg.begin() + 2, Jpeg.end());
  return f;
}

class ExifTest : public TTempFolderTest {
 protected:
  void SetUp() override {
    TTempFolderTest::SetUp();
    if (!HaveTool("cjpeg") || !HaveTool("exiv2")) GTEST_SKIP() << "cjpeg or exiv2 missing";
    WritePnm(Dir + "s.ppm", *PhotoLike(32, 24));
    ASSERT_EQ(kv::test::Run("cjpeg -outfile " + Dir + "s.jpg " + Dir + "s.ppm"), 0);
  }
};

TEST_F(ExifTest, FieldsExiv2WritesInBothByteOrders) {
  const std::string sets[] = {
      "set Exif.Image.ImageDescription A description",
      "set Exif.Image.Make Kavmake",
      "set Exif.Image.Model K-1",
      "set Exif.Image.Orientation 6",
      "set Exif.Image.XResolution 72/1",
      "set Exif.Image.YResolution 144/2",
      "set Exif.Image.ResolutionUnit 2",
      "set Exif.Image.Software Kavtool 1.0",
      "set Exif.Image.DateTime 2024:05:06 07:08:09",
      "set Exif.Image.WhitePoint 313/1000 329/1000",
      "set Exif.Image.YCbCrPositioning 2",
      "set Exif.Image.Copyright Somebody",
      "set Exif.Photo.ExposureTime 1/250",
      "set Exif.Photo.FNumber 28/10",
      "set Exif.Photo.ExposureProgram 3",
      "set Exif.Photo.ISOSpeedRatings 400",
      "set Exif.Photo.DateTimeOriginal 2024:01:02 03:04:05",
      "set Exif.Photo.ShutterSpeedValue SRational 8/1",
      "set Exif.Photo.BrightnessValue SRational -25/10",
      "set Exif.Photo.ExposureBiasValue SRational -2/3",
      "set Exif.Photo.Flash 16",
      "set Exif.Photo.FocalLength 50/1",
      "set Exif.Photo.SubSecTime 42",
      "set Exif.Photo.PixelXDimension 640",
      "set Exif.Photo.PixelYDimension Short 480",
      "set Exif.Photo.ColorSpace 1",
      "set Exif.Photo.FocalPlaneResolutionUnit 3",
      "set Exif.Photo.FocalPlaneXResolution 4000/1",
      "set Exif.Photo.FileSource 3",
      "set Exif.Photo.SceneType 1",
      "set Exif.Photo.RelatedSoundFile ABC.WAV",
      "set Exif.Photo.ExifVersion 48 50 51 48",
  };
  const std::vector<uint8_t> jpeg = ReadBytes(Dir + "s.jpg");
  for (bool motorola : {false, true}) {
    // exiv2 keeps the byte order of the block it finds, so a one-entry block
    // in the wanted order goes in first.
    TTiffBuilder t(motorola);
    const std::string file = Dir + (motorola ? "mm.jpg" : "ii.jpg");
    WriteBytes(file, WithApp1(jpeg, ExifBlock(t.Build({{t.Ascii(271, "x")}}))));
    std::string cmd = "exiv2";
    for (const std::string& s : sets) cmd += " -M'" + s + "'";
    ASSERT_EQ(kv::test::Run(cmd + " " + file), 0);
    const std::string f = ReadText(file);
    const size_t exif = f.find(std::string("Exif\0\0", 6));
    ASSERT_NE(exif, std::string::npos);
    ASSERT_EQ(f[exif + 6], motorola ? 'M' : 'I');

    TBitmap b;
    TIOParamsVals p(nullptr);
    ASSERT_TRUE(ReadFile(ReadJpegStream, file, b, p));
    ParseJpegMetadata(p);
    SCOPED_TRACE(motorola ? "Motorola" : "Intel");
    EXPECT_EQ(p.ExifImageDescription, "A description");
    EXPECT_EQ(p.ExifMake, "Kavmake");
    EXPECT_EQ(p.ExifModel, "K-1");
    EXPECT_EQ(p.ExifOrientation, 6);
    EXPECT_DOUBLE_EQ(p.ExifXResolution, 72);
    EXPECT_DOUBLE_EQ(p.ExifYResolution, 72);
    EXPECT_EQ(p.ExifResolutionUnit, 2);
    EXPECT_EQ(p.ExifSoftware, "Kavtool 1.0");
    EXPECT_EQ(p.ExifDateTime, "2024:05:06 07:08:09");
    EXPECT_DOUBLE_EQ(p.ExifWhitePoint[0], 0.313);
    EXPECT_DOUBLE_EQ(p.ExifWhitePoint[1], 0.329);
    EXPECT_EQ(p.ExifYCbCrPositioning, 2);
    EXPECT_EQ(p.ExifCopyright, "Somebody");
    EXPECT_DOUBLE_EQ(p.ExifExposureTime, 1.0 / 250);
    EXPECT_DOUBLE_EQ(p.ExifFNumber, 2.8);
    EXPECT_EQ(p.ExifExposureProgram, 3);
    EXPECT_EQ(p.ExifIsoSpeedRatings[0], 400);
    EXPECT_EQ(p.ExifDateTimeOriginal, "2024:01:02 03:04:05");
    EXPECT_DOUBLE_EQ(p.ExifShutterSpeedValue, 8);
    EXPECT_DOUBLE_EQ(p.ExifBrightnessValue, -2.5);
    EXPECT_DOUBLE_EQ(p.ExifExposureBiasValue, -2.0 / 3);
    EXPECT_EQ(p.ExifFlash, 16);
    EXPECT_DOUBLE_EQ(p.ExifFocalLength, 50);
    EXPECT_EQ(p.ExifSubsecTime, "42");
    EXPECT_EQ(p.ExifImageWidth, 640);
    EXPECT_EQ(p.ExifImageHeight, 480);
    EXPECT_EQ(p.ExifColorSpace, 1);
    EXPECT_EQ(p.ExifFocalPlaneResolutionUnit, 3);
    EXPECT_DOUBLE_EQ(p.ExifFocalPlaneXResolution, 4000);
    EXPECT_EQ(p.ExifFileSource, 3);  // undefined type, one byte
    EXPECT_EQ(p.ExifSceneType, 1);
    EXPECT_EQ(p.ExifRelatedSoundFile, "ABC.WAV");
    EXPECT_EQ(p.ExifVersion, "0230");  // undefined type, four bytes
    ASSERT_TRUE(p.ExifThumbnail);
    EXPECT_TRUE(p.ExifThumbnail->Empty());
  }
}

TEST_F(ExifTest, JpegThumbnailFromDirectoryOne) {
  WritePnm(Dir + "t.ppm", *PhotoLike(16, 8));
  ASSERT_EQ(kv::test::Run("cjpeg -outfile " + Dir + "s-thumb.jpg " + Dir + "t.ppm"), 0);
  ASSERT_EQ(kv::test::Run("exiv2 -M'set Exif.Image.Make K' " + Dir + "s.jpg"), 0);
  ASSERT_EQ(kv::test::Run("cd " + Dir + " && exiv2 -it s.jpg"), 0);
  TBitmap b;
  TIOParamsVals p(nullptr);
  ASSERT_TRUE(ReadFile(ReadJpegStream, Dir + "s.jpg", b, p));
  ParseJpegMetadata(p);
  EXPECT_EQ(p.ExifMake, "K");
  ASSERT_TRUE(p.ExifThumbnail);
  EXPECT_EQ(p.ExifThumbnail->Width(), 16);
  EXPECT_EQ(p.ExifThumbnail->Height(), 8);
}

TEST(ExifBlock, UncompressedThumbnailAndSkippedEntries) {
  TTiffBuilder t(true);
  const std::vector<uint8_t> rgb = {255, 0, 0, 0, 255, 0, 0, 0, 255, 9, 9, 9};
  TTiffBuilder::TEntry lying = t.Ascii(271, "far away");
  std::vector<uint8_t> tiff = t.Build({
      {lying, t.Ascii(272, "Model"), t.Rational(37380, uint32_t(-1), 2, 10)},
      {t.Short(256, 2), t.Short(257, 2), t.Short(259, 1), t.Short(262, 2), t.Short(277, 3), t.Long(273, 0),
       t.Long(279, 12)},
  });
  const size_t pixels = tiff.size();
  tiff.insert(tiff.end(), rgb.begin(), rgb.end());
  // Point the strip at the pixels, and the Make text past the end of the block.
  const uint32_t dir1 = uint32_t(8 + 2 + 3 * 12 + 4);
  const size_t stripValue = dir1 + 2 + 5 * 12 + 8;
  tiff[stripValue] = uint8_t(pixels >> 24), tiff[stripValue + 1] = uint8_t(pixels >> 16);
  tiff[stripValue + 2] = uint8_t(pixels >> 8), tiff[stripValue + 3] = uint8_t(pixels);
  tiff[8 + 2 + 8] = 0x7F;  // offset of entry 0's value: far outside
  const std::vector<uint8_t> block = ExifBlock(tiff);
  TIOParamsVals p(nullptr);
  p.ExifMake = "old";
  ASSERT_TRUE(ReadEXIFBlock(block.data(), int32_t(block.size()), p));
  EXPECT_EQ(p.ExifMake, "");  // skipped, not read from outside the block
  EXPECT_EQ(p.ExifModel, "Model");
  EXPECT_DOUBLE_EQ(p.ExifExposureBiasValue, -0.5);  // signed
  ASSERT_TRUE(p.ExifThumbnail);
  ASSERT_EQ(p.ExifThumbnail->Width(), 2);
  const auto* row = static_cast<const uint8_t*>(p.ExifThumbnail->ScanLine(0));
  EXPECT_EQ(row[2], 255);  // red, stored blue-green-red
  EXPECT_EQ(row[0], 0);
  EXPECT_EQ(static_cast<const uint8_t*>(p.ExifThumbnail->ScanLine(1))[3], 9);
}

TEST(ExifBlock, WhatIsNotAnExifBlockLeavesTheRecordAlone) {
  TTiffBuilder t(false);
  std::vector<uint8_t> good = t.Build({{t.Ascii(271, "Make")}});
  std::vector<uint8_t> badOrder = good;
  badOrder[0] = 'X';
  std::vector<uint8_t> farIfd = good;
  farIfd[4] = 0xF0;
  std::vector<uint8_t> shortDir = good;
  shortDir.resize(9);  // the entry count is cut
  std::vector<uint8_t> hugeCount = good;
  hugeCount[8] = 0xFF, hugeCount[9] = 0xFF;  // 65535 entries in a tiny block
  // A sub-directory pointer of a signed or floating type with a value no offset can have.
  const std::vector<uint8_t> negativeSub =
      t.Build({{t.Ascii(271, "Make"), TTiffBuilder::TEntry{34665, 8, 1, t.U16(0xFFDA)}}});
  const std::vector<uint8_t> hugeSub =
      t.Build({{t.Ascii(271, "Make"), TTiffBuilder::TEntry{34665, 12, 1, {0, 0, 0, 0, 0, 0, 0xF0, 0x7F}}}});
  const std::string xmp = "http://ns.adobe.com/xap/1.0/";
  struct TCase {
    const char* Name;
    std::vector<uint8_t> Data;
    bool Result;
  };
  const TCase cases[] = {
      {"xmp", std::vector<uint8_t>(xmp.begin(), xmp.end()), false},
      {"header only", {'E', 'x', 'i', 'f', 0, 0}, false},
      {"short", {'E', 'x', 'i', 'f', 0}, false},
      {"Exifx", {'E', 'x', 'i', 'f', 'x', 0, 'I', 'I', 42, 0, 8, 0, 0, 0}, false},
      {"bad order", ExifBlock(badOrder), false},
      {"directory outside", ExifBlock(farIfd), false},
      {"cut directory", ExifBlock(shortDir), false},
      {"huge count", ExifBlock(hugeCount), true},
      {"good", ExifBlock(good), true},
      {"negative sub-directory", ExifBlock(negativeSub), true},
      {"infinite sub-directory", ExifBlock(hugeSub), true},
  };
  for (const TCase& c : cases) {
    TIOParamsVals p(nullptr);
    p.ExifModel = "keep";
    EXPECT_EQ(ReadEXIFBlock(c.Data.data(), int32_t(c.Data.size()), p), c.Result) << c.Name;
    EXPECT_EQ(p.ExifModel, c.Result ? "" : "keep") << c.Name;
    EXPECT_EQ(p.ExifThumbnail != nullptr, c.Result) << c.Name;
  }
}

}  // namespace
}  // namespace kv::test
