#include <gtest/gtest.h>

#include <cstring>

#include "imaging/formats/file_types.h"
#include "imaging/formats/io_params.h"
#include "platform/graphics/bitmap.h"

namespace kv {
namespace {

TEST(IOParams, FreshRecordDefaults) {
  TIOParamsVals p(nullptr);
  EXPECT_EQ(p.BitsPerSample, 8);
  EXPECT_EQ(p.SamplesPerPixel, 3);
  EXPECT_EQ(p.TiffPhotometric, 2);
  EXPECT_EQ(p.TiffPlanarConfig, 1);
  EXPECT_EQ(p.TiffOrientation, 1);
  EXPECT_TRUE(p.TiffAutoOrientation);
  EXPECT_EQ(p.GifVersion, "GIF89a");
  EXPECT_EQ(p.JpegQuality, 50);
  EXPECT_EQ(p.JpegColorSpace, 2);
  EXPECT_EQ(p.JpegScale, 1);
  EXPECT_EQ(p.JpegScaleUsed, 1);
  EXPECT_EQ(p.PcxVersion, 5);
  EXPECT_TRUE(p.PcxCompressed);
  EXPECT_EQ(p.BmpVersion, 1);
  EXPECT_EQ(p.BmpCompression, 0);
  EXPECT_EQ(p.PngCompression, 5);
  EXPECT_TRUE(p.TgaCompressed);
  EXPECT_EQ(p.TgaAspectRatio, 1.0);
  EXPECT_EQ(p.TgaGamma, 2.2);
  EXPECT_EQ(p.IcoBackground, (TBGRPixel{255, 255, 255}));
  EXPECT_EQ(p.CurBackground, (TBGRPixel{255, 255, 255}));
  EXPECT_EQ(p.CurHotSpotX, 0);
  EXPECT_EQ(p.CurHotSpotY, 0);
  EXPECT_EQ(p.ColorMapCount, 0);
  EXPECT_EQ(p.ColorMap, nullptr);
}

// Owner that reports a bitmap and a view resolution.
struct TFakeOwner : TIOParamsOwner {
  TBitmap Bmp{40, 30};
  bool HasView = true;
  TBitmap* ParamsBitmap() override { return &Bmp; }
  bool ParamsViewDpi(int32_t& X, int32_t& Y) override {
    X = 72;
    Y = 96;
    return HasView;
  }
};

int32_t FakeTiffDecode(const uint8_t*, int32_t, uint8_t*, int32_t) { return 0; }

TEST(IOParams, SetDefaultsTakesOwnerSizeViewDpiAndCurrentHooks) {
  TFakeOwner owner;
  TIOParamsVals p(&owner);
  EXPECT_EQ(p.Width, 40);
  EXPECT_EQ(p.Height, 30);
  EXPECT_EQ(p.DpiX, 72);
  EXPECT_EQ(p.DpiY, 96);
  EXPECT_EQ(p.TiffLzwDecompress, nullptr);

  // A hook installed later reaches a record only at its next reset.
  TiffLzwDecoderHook = &FakeTiffDecode;
  EXPECT_EQ(p.TiffLzwDecompress, nullptr);
  owner.HasView = false;
  p.DpiX = 300;
  p.JpegQuality = 90;
  p.FileName = "x.jpg";
  p.ExifMake = "Maker";
  p.JpegMarkers.AddMarker(0xFE, "hi", 2);
  p.SetDefaults();
  TiffLzwDecoderHook = nullptr;
  EXPECT_EQ(p.TiffLzwDecompress, &FakeTiffDecode);
  EXPECT_EQ(p.DpiX, 300);  // no view: kept
  EXPECT_EQ(p.JpegQuality, 50);
  EXPECT_EQ(p.FileName, "");
  EXPECT_EQ(p.ExifMake, "");
  EXPECT_EQ(p.JpegMarkers.Count(), 0);
}

TEST(IOParams, AssignCopiesEverythingAndOwnsItsColorMap) {
  auto a = std::make_unique<TIOParamsVals>(nullptr);
  TBGRPixel map[16];
  for (int i = 0; i < 16; ++i) map[i] = TBGRPixel{uint8_t(i), uint8_t(i * 5), uint8_t(255 - i)};
  a->SetColorMap(map, 16);
  a->TiffCompression = 4;
  a->ExifFNumber = 2.8;
  a->SetExifReferenceBlackWhite(5, 255);
  a->PnmComments.Add("made here");
  a->IptcList.AddItem(2, 5, 3, "abc");
  a->ExifThumbnail = std::make_unique<TBitmap>(4, 3);

  TIOParamsVals b(nullptr);
  b.Assign(*a);
  ASSERT_EQ(b.ColorMapCount, 16);
  ASSERT_NE(b.ColorMap.get(), a->ColorMap.get());
  a.reset();  // releasing the source leaves the copy intact (ASan checks the block)
  EXPECT_EQ(std::memcmp(b.ColorMap.get(), map, 48), 0);
  EXPECT_EQ(b.TiffCompression, 4);
  EXPECT_EQ(b.ExifFNumber, 2.8);
  EXPECT_EQ(b.GetExifReferenceBlackWhite(5), 255);
  EXPECT_EQ(b.PnmComments.Count(), 1);
  EXPECT_EQ(b.IptcList.Count(), 1);
  ASSERT_TRUE(b.ExifThumbnail);
  EXPECT_EQ(b.ExifThumbnail->Width(), 4);

  // A source without a thumbnail leaves the copy's own.
  TIOParamsVals c(nullptr);
  b.Assign(c);
  EXPECT_TRUE(b.ExifThumbnail);
  EXPECT_EQ(b.ColorMapCount, 0);
}

TEST(IOParams, FormatSummary) {
  TIOParamsVals p(nullptr);
  struct {
    int32_t Type;
    void (*Set)(TIOParamsVals&);
    const char* Want;
  } cases[] = {
      {ioTIFF, [](TIOParamsVals& q) { q.TiffCompression = 4; }, "TIFF Bitmap (TIF) Group 4 Fax"},
      {ioTIFF, [](TIOParamsVals& q) { q.TiffCompression = 9; }, "TIFF Bitmap (TIF)"},
      {ioJPEG, [](TIOParamsVals&) {}, "JPEG Bitmap (JPG) YCbCr"},
      {ioJPEG, [](TIOParamsVals& q) { q.JpegColorSpace = 0; }, "JPEG Bitmap (JPG)"},
      {ioBMP, [](TIOParamsVals& q) { q.BmpVersion = 3; }, "Windows Bitmap (BMP) OS/2 v.2"},
      {ioGIF, [](TIOParamsVals& q) { q.GifInterlaced = true; }, "CompuServe Bitmap (GIF) Interlaced"},
      {ioPCX, [](TIOParamsVals& q) { q.PcxCompressed = false; }, "PaintBrush (PCX) Uncompressed"},
      {ioPNG, [](TIOParamsVals&) {}, "Portable Network Graphics (PNG)"},
      {ioTGA, [](TIOParamsVals&) {}, "Targa Bitmap (TGA) Compressed"},
      {ioEMF, [](TIOParamsVals&) {}, "Enhanced Windows Metafile (EMF)"},
      {0, [](TIOParamsVals&) {}, ""},
      {13, [](TIOParamsVals&) {}, ""},
  };
  for (const auto& c : cases) {
    p.SetDefaults();
    p.FileType = c.Type;
    c.Set(p);
    EXPECT_EQ(p.GetFormatSummary(), c.Want) << c.Type;
  }
}

TEST(FileTypes, TableLookups) {
  EXPECT_EQ(GetFileTypeExtension(ioTGA, 5), "PIX");
  EXPECT_EQ(GetFileTypeExtension(ioTGA, 6), "");
  EXPECT_EQ(GetFileTypeExtension(99, 0), "");
  EXPECT_EQ(FileTypeExtensionCount(ioPXM), 4);
  EXPECT_EQ(FileTypeExtensionCount(99), 0);
  ASSERT_NE(FindFileTypeByExtension("jpe"), nullptr);
  EXPECT_EQ(FindFileTypeByExtension("jpe")->Id, ioJPEG);
  EXPECT_EQ(FindFileTypeByExtension("Tiff")->Id, ioTIFF);
  EXPECT_EQ(FindFileTypeByExtension("xyz"), nullptr);
  EXPECT_EQ(FindFileTypeByExtension("TIF;TIFF"), nullptr);
  EXPECT_EQ(FindFileTypeByExtension(""), nullptr);
  ASSERT_EQ(FileTypeCount(), 12);
  EXPECT_EQ(FindFileType(12)->Description, "Portable Pixmap, GreyMap, BitMap");
  EXPECT_EQ(FindFileType(0), nullptr);
}

}  // namespace
}  // namespace kv
