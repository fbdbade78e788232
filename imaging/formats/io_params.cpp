#include "imaging/formats/io_params.h"

#include <cstring>

#include "imaging/formats/file_types.h"
#include "platform/graphics/bitmap.h"

namespace kv {

TGifLzwDecompressProc GifLzwDecoderHook = nullptr;
TGifLzwCompressProc GifLzwEncoderHook = nullptr;
TTiffLzwDecompressProc TiffLzwDecoderHook = nullptr;
TTiffLzwCompressProc TiffLzwEncoderHook = nullptr;

TIOParamsVals::TIOParamsVals(TIOParamsOwner* AOwner) : Owner(AOwner) { SetDefaults(); }

TIOParamsVals::~TIOParamsVals() = default;

void TIOParamsVals::FreeColorMap() {
  ColorMap.reset();
  ColorMapCount = 0;
}

void TIOParamsVals::SetColorMap(const TBGRPixel* Colors, int32_t Count) {
  FreeColorMap();
  if (Count <= 0) return;
  ColorMap = std::make_unique<TBGRPixel[]>(size_t(Count));
  if (Colors) std::copy(Colors, Colors + Count, ColorMap.get());
  ColorMapCount = Count;
}

void TIOParamsVals::SetDefaults() {
  FreeColorMap();
  // Size and resolution keep their values unless the owner has a bitmap or a view.
  const int32_t W = Width, H = Height, Dx = DpiX, Dy = DpiY;
  static_cast<TIOParamsFields&>(*this) = TIOParamsFields{};
  Width = W;
  Height = H;
  DpiX = Dx;
  DpiY = Dy;
  if (Owner) {
    if (TBitmap* B = Owner->ParamsBitmap()) {
      Width = B->Width();
      Height = B->Height();
    }
    int32_t X, Y;
    if (Owner->ParamsViewDpi(X, Y)) {
      DpiX = X;
      DpiY = Y;
    }
  }
  TiffLzwDecompress = TiffLzwDecoderHook;
  TiffLzwCompress = TiffLzwEncoderHook;
  GifLzwDecompress = GifLzwDecoderHook;
  GifLzwCompress = GifLzwEncoderHook;
  TgaDate = Date();
  JpegMarkers.Clear();
  IptcList.Clear();
  PnmComments.Clear();
  ClearExif();
}

void TIOParamsVals::ClearExif() {
  ExifThumbnail.reset();
  ExifImageDescription.clear();
  ExifMake.clear();
  ExifModel.clear();
  ExifOrientation = 0;
  ExifXResolution = 0;
  ExifYResolution = 0;
  ExifResolutionUnit = 0;
  ExifSoftware.clear();
  ExifDateTime.clear();
  std::fill(std::begin(ExifWhitePoint), std::end(ExifWhitePoint), 0.0);
  std::fill(std::begin(ExifPrimaryChromaticities), std::end(ExifPrimaryChromaticities), 0.0);
  std::fill(std::begin(ExifYCbCrCoefficients), std::end(ExifYCbCrCoefficients), 0.0);
  ExifYCbCrPositioning = 0;
  std::fill(std::begin(ExifReferenceBlackWhite), std::end(ExifReferenceBlackWhite), 0.0);
  ExifCopyright.clear();
  ExifExposureTime = 0;
  ExifFNumber = 0;
  ExifExposureProgram = 0;
  ExifIsoSpeedRatings[0] = ExifIsoSpeedRatings[1] = 0;
  ExifVersion.clear();
  ExifDateTimeOriginal.clear();
  ExifDateTimeDigitized.clear();
  ExifCompressedBitsPerPixel = 0;
  ExifShutterSpeedValue = 0;
  ExifApertureValue = 0;
  ExifBrightnessValue = 0;
  ExifExposureBiasValue = 0;
  ExifMaxApertureValue = 0;
  ExifSubjectDistance = 0;
  ExifMeteringMode = 0;
  ExifLightSource = 0;
  ExifFlash = 0;
  ExifFocalLength = 0;
  ExifSubsecTime.clear();
  ExifSubsecTimeOriginal.clear();
  ExifSubsecTimeDigitized.clear();
  ExifFlashPixVersion.clear();
  ExifColorSpace = 0;
  ExifImageWidth = 0;
  ExifImageHeight = 0;
  ExifRelatedSoundFile.clear();
  ExifFocalPlaneXResolution = 0;
  ExifFocalPlaneYResolution = 0;
  ExifFocalPlaneResolutionUnit = 0;
  ExifExposureIndex = 0;
  ExifSensingMethod = 0;
  ExifFileSource = 0;
  ExifSceneType = 0;
}

void TIOParamsVals::Assign(const TIOParamsVals& Source) {
  if (&Source == this) return;
  static_cast<TIOParamsFields&>(*this) = static_cast<const TIOParamsFields&>(Source);
  SetColorMap(Source.ColorMap.get(), Source.ColorMap ? Source.ColorMapCount : 0);
  JpegMarkers.Assign(&Source.JpegMarkers);
  IptcList.Assign(&Source.IptcList);
  PnmComments.Assign(&Source.PnmComments);
  if (Source.ExifThumbnail) {
    auto T = std::make_unique<TBitmap>();
    T->Assign(Source.ExifThumbnail.get());
    ExifThumbnail = std::move(T);
  }
}

std::string TIOParamsVals::GetFormatSummary() const {
  const TIMFileTypeRecord* R = FindFileType(FileType);
  if (!R) return {};
  std::string S = R->Description + " (" + GetFileTypeExtension(FileType, 0) + ")";
  switch (FileType) {
    case ioTIFF: {
      static const char* const Names[] = {" Uncompressed", " Huffman", " Group 3 Fax", " Group 3 Fax 2D", " Group 4 Fax",
                                          " LZW",          " Jpeg v.5", " Jpeg",       " PackBits RLE"};
      if (TiffCompression <= 8) S += Names[TiffCompression];
      break;
    }
    case ioGIF:
      if (GifInterlaced) S += " Interlaced";
      break;
    case ioJPEG: {
      static const char* const Names[] = {"", " Gray level", " YCbCr", " CMYK", " YCbCrK"};
      if (JpegColorSpace <= 4) S += Names[JpegColorSpace];
      break;
    }
    case ioPCX:
      if (!PcxCompressed) S += " Uncompressed";
      break;
    case ioBMP: {
      static const char* const Names[] = {" ver.1", " ver.3", " OS/2 v.1", " OS/2 v.2"};
      if (BmpVersion <= 3) S += Names[BmpVersion];
      break;
    }
    case ioPNG:
      if (PngInterlaced) S += " Interlaced";
      break;
    case ioTGA:
      S += TgaCompressed ? " Compressed" : " Uncompressed";
      break;
    default:
      break;
  }
  return S;
}

}  // namespace kv
