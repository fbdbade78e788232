// The file parameter record: what the last read found in a file and what the
// next write is to use. Every reader fills it and every writer reads it;
// readers leave the fields they do not know as they were.
#pragma once
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "imaging/formats/lzw_hooks.h"
#include "imaging/model/iptc.h"
#include "imaging/model/marker_list.h"
#include "imaging/model/pixel.h"
#include "platform/rtl/date_time.h"
#include "platform/rtl/object.h"
#include "platform/rtl/string_list.h"

namespace kv {

class TBitmap;

// What SetDefaults asks of the component that owns the record: its target
// bitmap (null when it has none) and, when a view is attached, the view's
// resolution. The I/O component implements it.
class TIOParamsOwner {
 public:
  virtual TBitmap* ParamsBitmap() = 0;
  virtual bool ParamsViewDpi(int32_t& DpiX, int32_t& DpiY) = 0;

 protected:
  ~TIOParamsOwner() = default;
};

// The plain values of the record, with their defaults. Kept apart from the
// owned objects so that resetting and copying them is one assignment each.
struct TIOParamsFields {
  int32_t BitsPerSample = 8;
  int32_t SamplesPerPixel = 3;
  int32_t Width = 0;
  int32_t Height = 0;
  int32_t DpiX = 0;
  int32_t DpiY = 0;
  int32_t FileType = 0;

  uint8_t TiffCompression = 0;
  int32_t TiffImageIndex = 0;
  uint8_t TiffPhotometric = 2;
  int32_t TiffPlanarConfig = 1;
  int32_t TiffXPos = 0;
  int32_t TiffYPos = 0;
  std::string TiffDocumentName;
  std::string TiffImageDescription;
  std::string TiffPageName;
  int32_t TiffPageNumber = 0;
  int32_t TiffPageCount = 0;
  int32_t TiffOrientation = 1;
  TTiffLzwDecompressProc TiffLzwDecompress = nullptr;
  TTiffLzwCompressProc TiffLzwCompress = nullptr;
  bool TiffAutoOrientation = true;

  std::string GifVersion = "GIF89a";
  int32_t GifImageIndex = 0;
  int32_t GifXPos = 0;
  int32_t GifYPos = 0;
  int32_t GifDelayTime = 0;
  bool GifTransparent = false;
  TBGRPixel GifTransparentColor{0, 0, 0};
  bool GifInterlaced = false;
  int32_t GifScreenWidth = 0;
  int32_t GifScreenHeight = 0;
  TBGRPixel GifBackground{0, 0, 0};
  int32_t GifAspectRatio = 0;
  TGifLzwDecompressProc GifLzwDecompress = nullptr;
  TGifLzwCompressProc GifLzwCompress = nullptr;

  uint8_t JpegColorSpace = 2;
  int32_t JpegQuality = 50;
  uint8_t JpegDctMethod = 0;
  bool JpegOptimalHuffman = false;
  int32_t JpegSmoothing = 0;
  bool JpegProgressive = false;
  uint8_t JpegScale = 1;
  int32_t JpegScaleUsed = 1;
  int32_t JpegWarningCount = 0;
  int32_t JpegWarningCode = 0;
  int32_t JpegOriginalWidth = 0;
  int32_t JpegOriginalHeight = 0;

  int32_t PcxVersion = 5;
  bool PcxCompressed = true;

  uint8_t BmpVersion = 1;
  uint8_t BmpCompression = 0;

  int32_t IcoImageIndex = 0;
  TBGRPixel IcoBackground{255, 255, 255};
  int32_t CurImageIndex = 0;
  int32_t CurHotSpotX = 0;
  int32_t CurHotSpotY = 0;
  TBGRPixel CurBackground{255, 255, 255};

  bool PngInterlaced = false;
  TBGRPixel PngBackground{0, 0, 0};
  uint8_t PngFilter = 0;
  int32_t PngCompression = 5;

  int32_t TgaXPos = 0;
  int32_t TgaYPos = 0;
  bool TgaCompressed = true;
  std::string TgaDescription;
  std::string TgaAuthor;
  TDateTime TgaDate = 0;
  std::string TgaImageName;
  TBGRPixel TgaBackground{0, 0, 0};
  double TgaAspectRatio = 1.0;
  double TgaGamma = 2.2;
  bool TgaGrayLevel = false;


  std::string ExifImageDescription;
  std::string ExifMake;
  std::string ExifModel;
  int32_t ExifOrientation = 0;
  double ExifXResolution = 0;
  double ExifYResolution = 0;
  int32_t ExifResolutionUnit = 0;
  std::string ExifSoftware;
  std::string ExifDateTime;
  double ExifWhitePoint[2] = {};
  double ExifPrimaryChromaticities[6] = {};
  double ExifYCbCrCoefficients[3] = {};
  int32_t ExifYCbCrPositioning = 0;
  double ExifReferenceBlackWhite[6] = {};
  std::string ExifCopyright;
  double ExifExposureTime = 0;
  double ExifFNumber = 0;
  int32_t ExifExposureProgram = 0;
  int32_t ExifIsoSpeedRatings[2] = {};
  std::string ExifVersion;
  std::string ExifDateTimeOriginal;
  std::string ExifDateTimeDigitized;
  double ExifCompressedBitsPerPixel = 0;
  double ExifShutterSpeedValue = 0;
  double ExifApertureValue = 0;
  double ExifBrightnessValue = 0;
  double ExifExposureBiasValue = 0;
  double ExifMaxApertureValue = 0;
  double ExifSubjectDistance = 0;
  int32_t ExifMeteringMode = 0;
  int32_t ExifLightSource = 0;
  int32_t ExifFlash = 0;
  double ExifFocalLength = 0;
  std::string ExifSubsecTime;
  std::string ExifSubsecTimeOriginal;
  std::string ExifSubsecTimeDigitized;
  std::string ExifFlashPixVersion;
  int32_t ExifColorSpace = 0;
  int32_t ExifImageWidth = 0;
  int32_t ExifImageHeight = 0;
  std::string ExifRelatedSoundFile;
  double ExifFocalPlaneXResolution = 0;
  double ExifFocalPlaneYResolution = 0;
  int32_t ExifFocalPlaneResolutionUnit = 0;
  double ExifExposureIndex = 0;
  int32_t ExifSensingMethod = 0;
  int32_t ExifFileSource = 0;
  int32_t ExifSceneType = 0;

  std::string FileName;
  int32_t GifImageCount = 0;
  int32_t TiffImageCount = 0;
};

class TIOParamsVals : public TObject, public TIOParamsFields {
 public:
  explicit TIOParamsVals(TIOParamsOwner* AOwner);
  ~TIOParamsVals() override;

  void SetDefaults();
  void ClearExif();
  // Copies every field; the thumbnail is replaced only when Source has one.
  void Assign(const TIOParamsVals& Source);
  // "TIFF Bitmap (TIF) Group 4 Fax"; empty for a type the table does not hold.
  std::string GetFormatSummary() const;

  // The index is not checked; callers keep to the ranges.
  int32_t GetExifIsoSpeedRatings(int32_t I) const { return ExifIsoSpeedRatings[I]; }
  void SetExifIsoSpeedRatings(int32_t I, int32_t V) { ExifIsoSpeedRatings[I] = V; }
  double GetExifReferenceBlackWhite(int32_t I) const { return ExifReferenceBlackWhite[I]; }
  void SetExifReferenceBlackWhite(int32_t I, double V) { ExifReferenceBlackWhite[I] = V; }
  double GetExifWhitePoint(int32_t I) const { return ExifWhitePoint[I]; }
  void SetExifWhitePoint(int32_t I, double V) { ExifWhitePoint[I] = V; }
  double GetExifPrimaryChromaticities(int32_t I) const { return ExifPrimaryChromaticities[I]; }
  void SetExifPrimaryChromaticities(int32_t I, double V) { ExifPrimaryChromaticities[I] = V; }
  double GetExifYCbCrCoefficients(int32_t I) const { return ExifYCbCrCoefficients[I]; }
  void SetExifYCbCrCoefficients(int32_t I, double V) { ExifYCbCrCoefficients[I] = V; }

  // Palette of the last read (BMP colour table, TIFF and TGA colour maps).
  // Replaces the block with Count entries copied from Colors (null: black).
  void SetColorMap(const TBGRPixel* Colors, int32_t Count);
  void FreeColorMap();

  TIOParamsOwner* Owner = nullptr;
  TIMMarkerList JpegMarkers;   // COM and APPn of the last read, written back
  TIMIPTCInfoList IptcList;
  TStringList PnmComments;
  std::unique_ptr<TBitmap> ExifThumbnail;  // absent unless the EXIF block held one
  std::unique_ptr<TBGRPixel[]> ColorMap;   // ColorMapCount entries, or absent
  int32_t ColorMapCount = 0;
};

}  // namespace kv
