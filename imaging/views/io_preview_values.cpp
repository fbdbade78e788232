// The working copy of the format parameters dialog and its list rules.
#include "imaging/views/io_preview_values.h"

#include <algorithm>

#include "imaging/formats/file_types.h"

namespace kv {

namespace {
bool IsGray(int32_t Photometric) { return Photometric == kTiffWhiteIsZero || Photometric == kTiffBlackIsZero; }
}  // namespace

int32_t TiffColorsOf(int32_t Samples, int32_t Bits, int32_t Photometric) {
  int32_t c = tc16M;
  if (Samples == 1) {
    if (Bits == 1) c = tcBW;
    else if (Bits >= 2 && Bits <= 4) c = tc16;
    else if (Bits >= 5 && Bits <= 8) c = tc256;
    else if (Bits == 16) c = tc65536;
  }
  // The photometric list corrects what the bits alone suggest.
  if (Photometric == kTiffCMYK || Photometric == kTiffYCbCr || Photometric == kTiffCIELab) c = tc16M;
  else if (IsGray(Photometric)) c = Bits == 1 ? tcBW : tc256;
  else if (c == tcBW) c = tc16M;
  return c;
}

int32_t BmpColorsOf(int32_t Samples, int32_t Bits) {
  if (Samples == 1) {
    if (Bits == 1) return bcBW;
    if (Bits == 4) return bc16;
    if (Bits == 8) return bc256;
  }
  if (Samples == 3 && Bits == 5) return bc65536;
  return bc16M;
}

int32_t PcxColorsOf(int32_t Samples, int32_t Bits) {
  if (Samples == 1) {
    if (Bits == 1) return pcBW;
    if (Bits <= 4) return pc16;
    return pc256;
  }
  return pc16M;
}

int32_t SmallColorsOf(int32_t Samples, int32_t Bits) {
  if (Samples == 1) return Bits == 1 ? scBW : sc256;
  return sc16M;
}

namespace {
// (samples, bits) of each list entry from the first; entries past the table
// (the 16M ones) write 24-bit RGB.
template <size_t N>
TSampleBits EntryBits(const TSampleBits (&Table)[N], int32_t Colors) {
  return Colors >= 0 && static_cast<size_t>(Colors) < N ? Table[Colors] : TSampleBits{3, 8};
}
}  // namespace

TSampleBits TiffSampleBits(int32_t Colors, int32_t Photometric) {
  if (Photometric == kTiffCMYK) return {4, 8};
  static constexpr TSampleBits kBits[] = {{1, 1}, {1, 4}, {1, 8}, {1, 16}};
  return EntryBits(kBits, Colors);
}

TSampleBits BmpSampleBits(int32_t Colors) {
  static constexpr TSampleBits kBits[] = {{1, 1}, {1, 4}, {1, 8}, {3, 5}};
  return EntryBits(kBits, Colors);
}

TSampleBits PcxSampleBits(int32_t Colors) {
  static constexpr TSampleBits kBits[] = {{1, 1}, {1, 4}, {1, 8}};
  return EntryBits(kBits, Colors);
}

TSampleBits SmallSampleBits(int32_t Colors) {
  static constexpr TSampleBits kBits[] = {{1, 1}, {1, 8}};
  return EntryBits(kBits, Colors);
}

int32_t TiffColorsForPhotometric(int32_t Photometric, int32_t Colors) {
  if (IsGray(Photometric)) return Colors > tcBW ? tc256 : Colors;
  if (Photometric == kTiffRGB || Photometric == kTiffCMYK || Photometric == kTiffYCbCr || Photometric == kTiffCIELab)
    return tc16M;
  if (Photometric == kTiffPalette) return tc256;
  return Colors;
}

int32_t TiffPhotometricForColors(int32_t Colors, int32_t Photometric) {
  if (Colors == tcBW) return IsGray(Photometric) ? Photometric : kTiffBlackIsZero;
  if (Colors == tc16) return kTiffPalette;
  if (Colors == tc256 && (Photometric == kTiffRGB || Photometric > kTiffPalette)) return kTiffPalette;
  return Photometric;
}

void TIOPreviewValues::Load(const TIOParamsVals& P) {
  static_cast<TIOParamsFields&>(*this) = P;
  BmpCompression = P.BmpCompression != 0 ? 1 : 0;
  TiffColors = TiffColorsOf(P.SamplesPerPixel, P.BitsPerSample, P.TiffPhotometric);
  GifColors = std::clamp(P.BitsPerSample - 1, 0, 7);
  BmpColors = BmpColorsOf(P.SamplesPerPixel, P.BitsPerSample);
  PcxColors = PcxColorsOf(P.SamplesPerPixel, P.BitsPerSample);
  PngColors = SmallColorsOf(P.SamplesPerPixel, P.BitsPerSample);
  TgaColors = SmallColorsOf(P.SamplesPerPixel, P.BitsPerSample);
}

int32_t PageBit(int32_t Page) { return Page >= 0 && Page < kIOPreviewPageCount ? 4 << Page : 0; }

int32_t PageBitOfFileType(int32_t FileType) {
  switch (FileType) {
    case ioTIFF: return 8;
    case ioGIF: return 16;
    case ioJPEG: return 4;
    case ioPCX: return 64;
    case ioBMP: return 32;
    case ioPNG: return 128;
    case ioTGA: return 256;
    default: return 0;
  }
}

void StoreValues(const TIOPreviewValues& V, int32_t Page, TIOParamsVals& P) {
  auto setSB = [&P](TSampleBits sb) {
    P.SamplesPerPixel = sb.Samples;
    P.BitsPerSample = sb.Bits;
  };
  switch (Page) {
    case ppJPEG:
      P.JpegQuality = V.JpegQuality;
      P.JpegColorSpace = V.JpegColorSpace;
      P.JpegDctMethod = V.JpegDctMethod;
      P.JpegOptimalHuffman = V.JpegOptimalHuffman;
      P.JpegSmoothing = V.JpegSmoothing;
      P.JpegProgressive = V.JpegProgressive;
      break;
    case ppTIFF:
      P.TiffCompression = V.TiffCompression;
      P.TiffImageIndex = V.TiffImageIndex;
      P.TiffPhotometric = V.TiffPhotometric;
      P.TiffXPos = V.TiffXPos;
      P.TiffYPos = V.TiffYPos;
      P.TiffDocumentName = V.TiffDocumentName;
      P.TiffImageDescription = V.TiffImageDescription;
      P.TiffPageName = V.TiffPageName;
      P.TiffPageNumber = V.TiffPageNumber;
      P.TiffPageCount = V.TiffPageCount;
      setSB(TiffSampleBits(V.TiffColors, V.TiffPhotometric));
      break;
    case ppGIF:
      P.GifImageIndex = V.GifImageIndex;
      P.GifXPos = V.GifXPos;
      P.GifYPos = V.GifYPos;
      P.GifDelayTime = V.GifDelayTime;
      P.GifTransparent = V.GifTransparent;
      P.GifTransparentColor = V.GifTransparentColor;
      P.GifInterlaced = V.GifInterlaced;
      P.GifBackground = V.GifBackground;
      P.BitsPerSample = V.GifColors + 1;
      break;
    case ppBMP:
      P.BmpCompression = V.BmpCompression;
      setSB(BmpSampleBits(V.BmpColors));
      break;
    case ppPCX:
      P.PcxCompressed = V.PcxCompressed;
      setSB(PcxSampleBits(V.PcxColors));
      break;
    case ppPNG:
      setSB(SmallSampleBits(V.PngColors));
      P.PngBackground = V.PngBackground;
      P.PngInterlaced = V.PngInterlaced;
      P.PngFilter = V.PngFilter;
      P.PngCompression = V.PngCompression;
      break;
    case ppTGA:
      setSB(SmallSampleBits(V.TgaColors));
      P.TgaBackground = V.TgaBackground;
      P.TgaCompressed = V.TgaCompressed;
      P.TgaImageName = V.TgaImageName;
      P.TgaDescription = V.TgaDescription;
      break;
    default:
      break;
  }
}

}  // namespace kv
