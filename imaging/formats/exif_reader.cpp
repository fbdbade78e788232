// EXIF reader: walks directory 0, its EXIF sub-directory and directory 1 (the
// thumbnail) of the TIFF data inside an APP1 marker. Every count and offset
// is checked against the block; the fields go to a scratch copy first, so a
// block that turns out not to parse leaves the record as it was.
#include "imaging/formats/exif.h"

#include <algorithm>
#include <cstring>
#include <string>
#include <vector>

#include "imaging/formats/jpeg.h"
#include "platform/graphics/bitmap.h"
#include "platform/rtl/streams.h"

namespace kv {

namespace {

enum : uint16_t {
  tByte = 1, tAscii, tShort, tLong, tRational, tSByte, tUndefined, tSShort, tSLong, tSRational, tFloat, tDouble
};

size_t TypeSize(uint16_t Type) {
  static const uint8_t kSize[] = {0, 1, 1, 2, 4, 8, 1, 1, 2, 4, 8, 4, 8};
  return Type < sizeof kSize ? kSize[Type] : 0;
}

struct TEntry {
  uint16_t Tag = 0;
  uint16_t Type = 0;
  uint32_t Count = 0;
  size_t Value = 0;  // offset of the value bytes in the block, checked to lie inside it
};

// Reads of the TIFF block in its byte order; every read is bounds-checked.
class TTiffBlock {
 public:
  TTiffBlock(const uint8_t* Data, size_t Size) : D(Data), N(Size) {}

  bool Header(uint32_t& FirstIfd) {
    if (N < 8) return false;
    if (D[0] == 'I' && D[1] == 'I') Motorola = false;
    else if (D[0] == 'M' && D[1] == 'M') Motorola = true;
    else return false;
    uint16_t magic = 0;
    return U16(2, magic) && magic == 42 && U32(4, FirstIfd);
  }

  bool U16(size_t Off, uint16_t& V) const {
    if (Off > N || N - Off < 2) return false;
    V = Motorola ? uint16_t(D[Off] << 8 | D[Off + 1]) : uint16_t(D[Off + 1] << 8 | D[Off]);
    return true;
  }
  bool U32(size_t Off, uint32_t& V) const {
    if (Off > N || N - Off < 4) return false;
    const uint8_t* p = D + Off;
    V = Motorola ? uint32_t(p[0]) << 24 | uint32_t(p[1]) << 16 | uint32_t(p[2]) << 8 | p[3]
                 : uint32_t(p[3]) << 24 | uint32_t(p[2]) << 16 | uint32_t(p[1]) << 8 | p[0];
    return true;
  }

  // The entries of the directory at Off whose values lie inside the block
  // (others are skipped); false when not even the entry count is there.
  bool Directory(uint32_t Off, std::vector<TEntry>& Out, uint32_t* Next) const {
    Out.clear();
    uint16_t count = 0;
    if (!U16(Off, count)) return false;
    size_t e = size_t(Off) + 2;
    for (uint32_t i = 0; i < count; ++i, e += 12) {
      TEntry t;
      uint32_t off = 0;
      if (!U16(e, t.Tag) || !U16(e + 2, t.Type) || !U32(e + 4, t.Count) || !U32(e + 8, off)) break;
      const uint64_t bytes = uint64_t(TypeSize(t.Type)) * t.Count;
      if (bytes == 0) continue;
      t.Value = bytes <= 4 ? e + 8 : off;
      if (t.Value > N || N - t.Value < bytes) continue;
      Out.push_back(t);
    }
    if (Next) {
      *Next = 0;
      U32(size_t(Off) + 2 + size_t(count) * 12, *Next);
    }
    return true;
  }

  double Number(const TEntry& E, uint32_t I) const {
    if (I >= E.Count) return 0;
    const size_t at = E.Value + size_t(I) * TypeSize(E.Type);
    uint16_t s = 0;
    uint32_t a = 0, b = 0;
    switch (E.Type) {
      case tByte:
      case tUndefined:
      case tAscii: return D[at];
      case tSByte: return int8_t(D[at]);
      case tShort: return U16(at, s) ? s : 0;
      case tSShort: return U16(at, s) ? int16_t(s) : 0;
      case tLong: return U32(at, a) ? a : 0;
      case tSLong: return U32(at, a) ? int32_t(a) : 0;
      // A denominator of 0 counts as 1.
      case tRational:
        if (!U32(at, a) || !U32(at + 4, b)) return 0;
        return double(a) / (b ? b : 1);
      case tSRational:
        if (!U32(at, a) || !U32(at + 4, b)) return 0;
        return double(int32_t(a)) / (b ? int32_t(b) : 1);
      case tFloat: {
        if (!U32(at, a)) return 0;
        float f;
        std::memcpy(&f, &a, 4);
        return f;
      }
      case tDouble: {
        if (!U32(at, a) || !U32(at + 4, b)) return 0;
        const uint64_t bits = Motorola ? uint64_t(a) << 32 | b : uint64_t(b) << 32 | a;
        double d;
        std::memcpy(&d, &bits, 8);
        return d;
      }
      default: return 0;
    }
  }

  // Offsets, sizes and counts: whole numbers kept in a safe range (a
  // DOUBLE entry may hold anything); -1 for what is not a number.
  int64_t Whole(const TEntry& E, uint32_t I) const {
    const double v = Number(E, I);
    return v != v ? -1 : int64_t(std::clamp(v, -9.0e15, 9.0e15));
  }

  int32_t Integer(const TEntry& E, uint32_t I) const {
    const double v = Number(E, I);
    return v != v ? 0 : int32_t(std::clamp(v, -2147483648.0, 2147483647.0));
  }

  // Bytes up to the first zero, at most Count (texts and the four-character versions).
  std::string Text(const TEntry& E) const {
    if (TypeSize(E.Type) != 1) return {};
    const char* p = reinterpret_cast<const char*>(D + E.Value);
    return std::string(p, strnlen(p, E.Count));
  }

  const uint8_t* D;
  size_t N;
  bool Motorola = false;
};

void Doubles(const TTiffBlock& B, const TEntry& E, double* Out, uint32_t N) {
  for (uint32_t i = 0; i < N; ++i) Out[i] = B.Number(E, i);
}

// One tag into its field of the scratch record.
void TakeTag(const TTiffBlock& B, const TEntry& E, TIOParamsFields& F) {
  switch (E.Tag) {
    case 270: F.ExifImageDescription = B.Text(E); break;
    case 271: F.ExifMake = B.Text(E); break;
    case 272: F.ExifModel = B.Text(E); break;
    case 274: F.ExifOrientation = B.Integer(E, 0); break;
    case 282: F.ExifXResolution = B.Number(E, 0); break;
    case 283: F.ExifYResolution = B.Number(E, 0); break;
    case 296: F.ExifResolutionUnit = B.Integer(E, 0); break;
    case 305: F.ExifSoftware = B.Text(E); break;
    case 306: F.ExifDateTime = B.Text(E); break;
    case 318: Doubles(B, E, F.ExifWhitePoint, 2); break;
    case 319: Doubles(B, E, F.ExifPrimaryChromaticities, 6); break;
    case 529: Doubles(B, E, F.ExifYCbCrCoefficients, 3); break;
    case 531: F.ExifYCbCrPositioning = B.Integer(E, 0); break;
    case 532: Doubles(B, E, F.ExifReferenceBlackWhite, 6); break;
    case 33432: F.ExifCopyright = B.Text(E); break;
    case 33434: F.ExifExposureTime = B.Number(E, 0); break;
    case 33437: F.ExifFNumber = B.Number(E, 0); break;
    case 34850: F.ExifExposureProgram = B.Integer(E, 0); break;
    case 34855:
      F.ExifIsoSpeedRatings[0] = B.Integer(E, 0);
      F.ExifIsoSpeedRatings[1] = B.Integer(E, 1);
      break;
    case 36864: F.ExifVersion = B.Text(E); break;
    case 36867: F.ExifDateTimeOriginal = B.Text(E); break;
    case 36868: F.ExifDateTimeDigitized = B.Text(E); break;
    case 37122: F.ExifCompressedBitsPerPixel = B.Number(E, 0); break;
    case 37377: F.ExifShutterSpeedValue = B.Number(E, 0); break;
    case 37378: F.ExifApertureValue = B.Number(E, 0); break;
    case 37379: F.ExifBrightnessValue = B.Number(E, 0); break;
    case 37380: F.ExifExposureBiasValue = B.Number(E, 0); break;
    case 37381: F.ExifMaxApertureValue = B.Number(E, 0); break;
    case 37382: F.ExifSubjectDistance = B.Number(E, 0); break;
    case 37383: F.ExifMeteringMode = B.Integer(E, 0); break;
    case 37384: F.ExifLightSource = B.Integer(E, 0); break;
    case 37385: F.ExifFlash = B.Integer(E, 0); break;
    case 37386: F.ExifFocalLength = B.Number(E, 0); break;
    case 37520: F.ExifSubsecTime = B.Text(E); break;
    case 37521: F.ExifSubsecTimeOriginal = B.Text(E); break;
    case 37522: F.ExifSubsecTimeDigitized = B.Text(E); break;
    case 40960: F.ExifFlashPixVersion = B.Text(E); break;
    case 40961: F.ExifColorSpace = B.Integer(E, 0); break;
    case 40962: F.ExifImageWidth = B.Integer(E, 0); break;
    case 40963: F.ExifImageHeight = B.Integer(E, 0); break;
    case 40964: F.ExifRelatedSoundFile = B.Text(E); break;
    case 41486: F.ExifFocalPlaneXResolution = B.Number(E, 0); break;
    case 41487: F.ExifFocalPlaneYResolution = B.Number(E, 0); break;
    case 41488: F.ExifFocalPlaneResolutionUnit = B.Integer(E, 0); break;
    case 41493: F.ExifExposureIndex = B.Number(E, 0); break;
    case 41495: F.ExifSensingMethod = B.Integer(E, 0); break;
    case 41728: F.ExifFileSource = B.Integer(E, 0); break;
    case 41729: F.ExifSceneType = B.Integer(E, 0); break;
    default: break;
  }
}

void CopyArray(const double* S, double* D, int N) { std::copy(S, S + N, D); }

void CopyExif(const TIOParamsFields& S, TIOParamsFields& D) {
  D.ExifImageDescription = S.ExifImageDescription;
  D.ExifMake = S.ExifMake;
  D.ExifModel = S.ExifModel;
  D.ExifOrientation = S.ExifOrientation;
  D.ExifXResolution = S.ExifXResolution;
  D.ExifYResolution = S.ExifYResolution;
  D.ExifResolutionUnit = S.ExifResolutionUnit;
  D.ExifSoftware = S.ExifSoftware;
  D.ExifDateTime = S.ExifDateTime;
  CopyArray(S.ExifWhitePoint, D.ExifWhitePoint, 2);
  CopyArray(S.ExifPrimaryChromaticities, D.ExifPrimaryChromaticities, 6);
  CopyArray(S.ExifYCbCrCoefficients, D.ExifYCbCrCoefficients, 3);
  D.ExifYCbCrPositioning = S.ExifYCbCrPositioning;
  CopyArray(S.ExifReferenceBlackWhite, D.ExifReferenceBlackWhite, 6);
  D.ExifCopyright = S.ExifCopyright;
  D.ExifExposureTime = S.ExifExposureTime;
  D.ExifFNumber = S.ExifFNumber;
  D.ExifExposureProgram = S.ExifExposureProgram;
  D.ExifIsoSpeedRatings[0] = S.ExifIsoSpeedRatings[0];
  D.ExifIsoSpeedRatings[1] = S.ExifIsoSpeedRatings[1];
  D.ExifVersion = S.ExifVersion;
  D.ExifDateTimeOriginal = S.ExifDateTimeOriginal;
  D.ExifDateTimeDigitized = S.ExifDateTimeDigitized;
  D.ExifCompressedBitsPerPixel = S.ExifCompressedBitsPerPixel;
  D.ExifShutterSpeedValue = S.ExifShutterSpeedValue;
  D.ExifApertureValue = S.ExifApertureValue;
  D.ExifBrightnessValue = S.ExifBrightnessValue;
  D.ExifExposureBiasValue = S.ExifExposureBiasValue;
  D.ExifMaxApertureValue = S.ExifMaxApertureValue;
  D.ExifSubjectDistance = S.ExifSubjectDistance;
  D.ExifMeteringMode = S.ExifMeteringMode;
  D.ExifLightSource = S.ExifLightSource;
  D.ExifFlash = S.ExifFlash;
  D.ExifFocalLength = S.ExifFocalLength;
  D.ExifSubsecTime = S.ExifSubsecTime;
  D.ExifSubsecTimeOriginal = S.ExifSubsecTimeOriginal;
  D.ExifSubsecTimeDigitized = S.ExifSubsecTimeDigitized;
  D.ExifFlashPixVersion = S.ExifFlashPixVersion;
  D.ExifColorSpace = S.ExifColorSpace;
  D.ExifImageWidth = S.ExifImageWidth;
  D.ExifImageHeight = S.ExifImageHeight;
  D.ExifRelatedSoundFile = S.ExifRelatedSoundFile;
  D.ExifFocalPlaneXResolution = S.ExifFocalPlaneXResolution;
  D.ExifFocalPlaneYResolution = S.ExifFocalPlaneYResolution;
  D.ExifFocalPlaneResolutionUnit = S.ExifFocalPlaneResolutionUnit;
  D.ExifExposureIndex = S.ExifExposureIndex;
  D.ExifSensingMethod = S.ExifSensingMethod;
  D.ExifFileSource = S.ExifFileSource;
  D.ExifSceneType = S.ExifSceneType;
}

const TEntry* Find(const std::vector<TEntry>& Dir, uint16_t Tag) {
  for (const TEntry& e : Dir)
    if (e.Tag == Tag) return &e;
  return nullptr;
}

int64_t TagValue(const TTiffBlock& B, const std::vector<TEntry>& Dir, uint16_t Tag, int64_t Default) {
  const TEntry* e = Find(Dir, Tag);
  return e ? B.Whole(*e, 0) : Default;
}

// An uncompressed thumbnail of 8-bit RGB samples in strips.
bool ReadRgbThumbnail(const TTiffBlock& B, const std::vector<TEntry>& Dir, TBitmap& Thumb) {
  const int64_t w = TagValue(B, Dir, 256, 0), h = TagValue(B, Dir, 257, 0);
  const TEntry* bits = Find(Dir, 258);
  if (TagValue(B, Dir, 262, 2) != 2 || TagValue(B, Dir, 277, 1) != 3 || TagValue(B, Dir, 284, 1) != 1) return false;
  if (bits)
    for (uint32_t i = 0; i < bits->Count; ++i)
      if (B.Number(*bits, i) != 8) return false;
  // The pixels lie inside the block, which bounds the size.
  if (w <= 0 || h <= 0 || w > int64_t(B.N) || h > int64_t(B.N) || w * h > int64_t(B.N) / 3) return false;
  int64_t rps = TagValue(B, Dir, 278, h);
  if (rps <= 0 || rps > h) rps = h;
  const TEntry* offsets = Find(Dir, 273);
  const TEntry* counts = Find(Dir, 279);
  if (!offsets) return false;
  Thumb.SetSize(0, 0);
  Thumb.SetPixelFormat(pf24bit);
  Thumb.SetSize(int32_t(w), int32_t(h));
  const int64_t rowBytes = w * 3;
  for (int64_t y = 0; y < h; ++y) {
    const uint32_t strip = uint32_t(y / rps);
    if (strip >= offsets->Count) return false;
    const int64_t start = B.Whole(*offsets, strip) + (y % rps) * rowBytes;
    if (counts && strip < counts->Count && (y % rps + 1) * rowBytes > B.Whole(*counts, strip)) return false;
    if (start < 0 || start + rowBytes > int64_t(B.N)) return false;
    const uint8_t* s = B.D + start;
    auto* d = static_cast<uint8_t*>(Thumb.ScanLine(int32_t(y)));
    for (int64_t x = 0; x < w; ++x, s += 3, d += 3) d[0] = s[2], d[1] = s[1], d[2] = s[0];
  }
  return true;
}

constexpr int64_t kMaxThumbnailPixels = int64_t(1) << 22;

// Directory 1 of an EXIF block holds the thumbnail: a JPEG stream at
// JPEGInterchangeFormat (cut at the block's end) or an uncompressed page.
void ReadThumbnail(const TTiffBlock& B, const std::vector<TEntry>& Dir, TBitmap& Thumb) {
  if (TagValue(B, Dir, 259, 1) == 6 && !Find(Dir, 512)) {
    const int64_t off = TagValue(B, Dir, 513, -1);
    if (off < 0 || off >= int64_t(B.N)) return;
    const int64_t len = std::min(TagValue(B, Dir, 514, 0), int64_t(B.N) - off);
    if (len <= 0) return;
    TReadOnlyMemoryStream s(B.D + off, len);
    TIOParamsVals scratch(nullptr);
    bool aborted = false;
    TProgressRec progress;
    progress.Aborted = &aborted;
    // A few kilobytes may claim a huge picture; a thumbnail is small.
    ReadJpegStream(s, Thumb, scratch, progress, true, nullptr);
    if (aborted || int64_t(scratch.Width) * scratch.Height > kMaxThumbnailPixels) return;
    s.SetPosition(0);
    ReadJpegStream(s, Thumb, scratch, progress, false, nullptr);
  } else if (TagValue(B, Dir, 259, 1) == 1) {
    ReadRgbThumbnail(B, Dir, Thumb);
  }
}

}  // namespace

bool ReadEXIFBlock(const uint8_t* Data, int32_t Length, TIOParamsVals& Params) {
  if (!Data || Length < 6 || std::memcmp(Data, "Exif", 5) != 0) return false;
  TTiffBlock block(Data + 6, size_t(Length) - 6);
  uint32_t ifd0 = 0, next = 0;
  std::vector<TEntry> dir;
  if (!block.Header(ifd0) || !block.Directory(ifd0, dir, &next)) return false;

  TIOParamsFields found;
  for (const TEntry& e : dir) TakeTag(block, e, found);
  if (const TEntry* sub = Find(dir, 34665)) {
    std::vector<TEntry> exif;
    const int64_t at = block.Whole(*sub, 0);
    if (at >= 0 && at <= UINT32_MAX && at != ifd0 && block.Directory(uint32_t(at), exif, nullptr))
      for (const TEntry& e : exif)
        if (e.Tag != 270) TakeTag(block, e, found);
  }
  CopyExif(found, Params);

  if (!Params.ExifThumbnail) Params.ExifThumbnail = std::make_unique<TBitmap>();
  if (next != 0 && next != ifd0 && block.Directory(next, dir, nullptr)) {
    try {
      ReadThumbnail(block, dir, *Params.ExifThumbnail);
    } catch (...) {
      // A damaged thumbnail only costs the thumbnail.
    }
  }
  return true;
}

}  // namespace kv
