// TIFF reading: the page's fields, then its strips or tiles, each decoded
// whole into a buffer sized from the image and converted row by row.
#include <zlib.h>

#include <algorithm>
#include <cstring>
#include <memory>
#include <vector>

#include "imaging/formats/ccitt.h"
#include "imaging/formats/codec_failure.h"
#include "imaging/formats/packbits.h"
#include "imaging/formats/codec.h"
#include "imaging/formats/jpeg.h"
#include "imaging/formats/tiff.h"
#include "imaging/formats/tiff_dir.h"
#include "imaging/formats/tiff_exif.h"
#include "imaging/formats/tiff_tags.h"
#include "imaging/model/colour_space.h"
#include "imaging/processing/bitmap_utils.h"
#include "imaging/processing/rotate.h"
#include "platform/graphics/pixel_prefault.h"
#include "platform/rtl/pascal_math.h"
#include "platform/rtl/streams.h"

namespace kv {

namespace {

// Largest decoded tile, in bytes: a tile may exceed the picture, but not by this much.
constexpr int64_t kMaxTileBytes = int64_t(1) << 28;

struct TPage {
  int64_t Width = 0;
  int64_t Height = 0;
  int32_t Spp = 1;
  int32_t Bits = 1;
  uint32_t Compression = tcNone;
  uint32_t Photometric = 2;
  uint32_t Planar = 1;
  uint32_t Orientation = 1;
  uint32_t Predictor = 1;
  uint32_t FillOrder = 1;
  uint32_t T4Options = 0;
  uint32_t T6Options = 0;
  int64_t RowsPerStrip = 0;
  int64_t TileWidth = -1;
  int64_t TileLength = -1;
  uint32_t ExtraSamples = 0;
  uint32_t SampleFormat = 1;
  std::vector<uint32_t> Offsets;
  std::vector<uint32_t> Counts;
  bool HaveCounts = false;
  std::vector<TBGRPixel> Palette;
  bool Bilevel = false;
  bool Alpha = false;
  // Compression 6 without the JPEGProc tag: one whole JPEG stream (the form
  // of EXIF thumbnails) at JpegOffset, JpegLength bytes long.
  bool JpegInterchange = false;
  uint32_t JpegOffset = 0;
  uint32_t JpegLength = 0;
};

// One plane or chunky row of file samples to 24-bit pixels (and alpha).
class TRowConverter {
 public:
  TRowConverter(const TPage& P, bool BigEndian) : FP(P), FBigEndian(BigEndian) {
    const int32_t maxv = P.Bits >= 8 ? 255 : (1 << P.Bits) - 1;
    for (int32_t v = 0; v < 256; ++v) {
      const int32_t level = v > maxv ? 255 : v * 255 / maxv;  // 4 bits: x17, so white stays white
      FGray[v] = uint8_t(P.Photometric == 0 ? 255 - level : level);
    }
  }

  // Converts Count pixels of Raw into Dst (BGR) and Alpha (when not null).
  void Convert(const uint8_t* Raw, int32_t Count, uint8_t* Dst, uint8_t* Alpha) {
    const int32_t spp = FP.Spp;
    if (FP.Photometric == 2 && spp == 1 && FP.Bits == 16) {  // 5-5-5 in one sample
      for (int32_t x = 0; x < Count; ++x, Raw += 2, Dst += 3) {
        const uint32_t v = FBigEndian ? uint32_t(Raw[0] << 8 | Raw[1]) : uint32_t(Raw[0] | Raw[1] << 8);
        Dst[0] = uint8_t((v & 31) * 8);
        Dst[1] = uint8_t(((v >> 5) & 31) * 8);
        Dst[2] = uint8_t(((v >> 10) & 31) * 8);
      }
      return;
    }
    const uint8_t* s = Unpack(Raw, Count * spp);
    switch (FP.Photometric) {
      case 0:
      case 1:
        for (int32_t x = 0; x < Count; ++x, s += spp, Dst += 3) {
          Dst[0] = Dst[1] = Dst[2] = FGray[s[0]];
          if (Alpha) Alpha[x] = s[1];
        }
        break;
      case 3: {
        const int32_t n = int32_t(FP.Palette.size());
        for (int32_t x = 0; x < Count; ++x, s += spp, Dst += 3) {
          const TBGRPixel& c = FP.Palette[std::min<int32_t>(s[0], n - 1)];
          Dst[0] = c.b;
          Dst[1] = c.g;
          Dst[2] = c.r;
        }
        break;
      }
      case 5:
        for (int32_t x = 0; x < Count; ++x, s += spp, Dst += 3) {
          const int32_t k = 255 - s[3];
          Dst[0] = uint8_t((255 - s[2]) * k / 255);
          Dst[1] = uint8_t((255 - s[1]) * k / 255);
          Dst[2] = uint8_t((255 - s[0]) * k / 255);
        }
        break;
      case 8:
        for (int32_t x = 0; x < Count; ++x, s += spp, Dst += 3) {
          const TBGRPixel c = CIELabToRGB(s[0], int8_t(s[1]), int8_t(s[2]));
          Dst[0] = c.b;
          Dst[1] = c.g;
          Dst[2] = c.r;
        }
        break;
      default:
        for (int32_t x = 0; x < Count; ++x, s += spp, Dst += 3) {
          Dst[0] = s[2];
          Dst[1] = s[1];
          Dst[2] = s[0];
          if (Alpha) Alpha[x] = s[3];
        }
        break;
    }
  }

 private:
  // Samples to one byte each: 16 bits give their high byte in the file's
  // byte order, fewer than 8 bits their value.
  const uint8_t* Unpack(const uint8_t* Raw, int32_t Samples) {
    if (FP.Bits == 8) return Raw;
    FSamples.resize(size_t(Samples));
    uint8_t* d = FSamples.data();
    if (FP.Bits == 16) {
      const int32_t hi = FBigEndian ? 0 : 1;
      for (int32_t i = 0; i < Samples; ++i) d[i] = Raw[2 * i + hi];
      return d;
    }
    const int32_t bits = FP.Bits;
    const uint32_t mask = (1u << bits) - 1;
    uint64_t pos = 0;
    for (int32_t i = 0; i < Samples; ++i, pos += uint64_t(bits)) {
      const size_t at = size_t(pos >> 3);
      const uint32_t window = uint32_t(Raw[at]) << 8 | (((pos & 7) + uint64_t(bits) > 8) ? Raw[at + 1] : 0u);
      d[i] = uint8_t((window >> (16 - bits - (pos & 7))) & mask);
    }
    return d;
  }

  const TPage& FP;
  bool FBigEndian;
  uint8_t FGray[256];
  std::vector<uint8_t> FSamples;
};

uint8_t ReverseByte(uint8_t b) {
  b = uint8_t((b >> 4) | (b << 4));
  b = uint8_t(((b & 0xCC) >> 2) | ((b & 0x33) << 2));
  return uint8_t(((b & 0xAA) >> 1) | ((b & 0x55) << 1));
}

bool Inflate(const uint8_t* Src, size_t SrcSize, uint8_t* Dst, size_t DstSize) {
  z_stream z{};
  if (inflateInit(&z) != Z_OK) return false;
  z.next_in = const_cast<uint8_t*>(Src);
  z.avail_in = uInt(SrcSize);
  z.next_out = Dst;
  z.avail_out = uInt(DstSize);
  const int rc = inflate(&z, Z_FINISH);
  const size_t produced = DstSize - z.avail_out;
  inflateEnd(&z);
  if (rc == Z_DATA_ERROR || rc == Z_NEED_DICT || rc == Z_MEM_ERROR) return false;
  std::memset(Dst + produced, 0, DstSize - produced);  // short data: the rest stays zero
  return true;
}

// Undoes horizontal differencing of Rows rows of RowBytes; Stride samples apart.
bool UndoPredictor(uint8_t* Buf, int64_t RowBytes, int64_t Rows, int32_t Stride, int32_t Bits, bool BigEndian) {
  if (Bits == 8) {
    for (int64_t r = 0; r < Rows; ++r) {
      uint8_t* row = Buf + r * RowBytes;
      for (int64_t i = Stride; i < RowBytes; ++i) row[i] = uint8_t(row[i] + row[i - Stride]);
    }
    return true;
  }
  if (Bits == 16) {
    const int64_t words = RowBytes / 2;
    for (int64_t r = 0; r < Rows; ++r) {
      uint8_t* row = Buf + r * RowBytes;
      for (int64_t i = Stride; i < words; ++i) {
        uint8_t* p = row + 2 * i;
        const uint8_t* q = row + 2 * (i - Stride);
        const int32_t hi = BigEndian ? 0 : 1;
        const uint32_t a = uint32_t(p[hi] << 8 | p[1 - hi]);
        const uint32_t b = uint32_t(q[hi] << 8 | q[1 - hi]);
        const uint32_t v = (a + b) & 0xFFFF;
        p[hi] = uint8_t(v >> 8);
        p[1 - hi] = uint8_t(v);
      }
    }
    return true;
  }
  return false;
}

class TTiffReader {
 public:
  TTiffReader(TTiffFile& F, TIOParamsVals& Params, TProgressRec& Progress)
      : FF(F), FParams(Params), FProgress(Progress) {}

  bool ReadFields(const std::vector<TTiffEntry>& E);
  bool CheckLayout();
  bool Decode(TBitmap& Bitmap, TIMMask* Mask);
  bool DataCanFillRows(int64_t Bytes, int64_t Rows) const;
  bool ReadJpegInterchange(TBitmap& Bitmap, bool ParamsOnly);
  const TPage& Page() const { return FP; }

 private:
  bool DecodeBlock(int64_t Index, int64_t BlockWidth, int64_t Rows, int32_t SamplesPerPixel, uint8_t* Out,
                   int64_t RowBytes);
  void PutRows(const uint8_t* Buf, int64_t RowBytes, int64_t X0, int64_t Y0, int64_t BlockWidth, int64_t Rows,
               TBitmap& Bitmap, TIMMask* Mask);

  TTiffFile& FF;
  TIOParamsVals& FParams;
  TProgressRec& FProgress;
  TPage FP;
  std::unique_ptr<TRowConverter> FConv;
  std::vector<uint8_t> FRaw;
  std::vector<uint8_t> FRgb;
  std::vector<uint8_t> FAlpha;
};

bool TTiffReader::ReadFields(const std::vector<TTiffEntry>& E) {
  TTiffFile& f = FF;
  FP.Width = f.Value(FindTag(E, tgImageWidth), 0);
  FP.Height = f.Value(FindTag(E, tgImageLength), 0);
  FP.Spp = int32_t(std::min<uint32_t>(f.Value(FindTag(E, tgSamplesPerPixel), 1), 64));
  std::vector<uint32_t> bits;
  if (const TTiffEntry* b = FindTag(E, tgBitsPerSample)) f.Values(*b, bits, 64);
  if (bits.empty()) bits.push_back(1);
  for (uint32_t v : bits)
    if (v != bits[0]) return false;  // every sample the same depth
  if (bits[0] == 0) return false;     // a sample of no bits holds no picture
  FP.Bits = int32_t(std::min<uint32_t>(bits[0], 64));
  const uint32_t rps = f.Value(FindTag(E, tgRowsPerStrip), 0xFFFFFFFF);
  FP.RowsPerStrip = rps == 0 || rps >= uint32_t(FP.Height) ? FP.Height : int64_t(rps);
  if (const TTiffEntry* t = FindTag(E, tgTileWidth)) FP.TileWidth = f.Value(t, 0);
  if (const TTiffEntry* t = FindTag(E, tgTileLength)) FP.TileLength = f.Value(t, 0);
  FP.Photometric = f.Value(FindTag(E, tgPhotometric), 2);
  FP.Planar = f.Value(FindTag(E, tgPlanarConfig), 1);
  FP.Orientation = f.Value(FindTag(E, tgOrientation), 1);
  FP.Compression = f.Value(FindTag(E, tgCompression), 1);
  FP.Predictor = f.Value(FindTag(E, tgPredictor), 1);
  FP.FillOrder = f.Value(FindTag(E, tgFillOrder), 1);
  FP.T4Options = f.Value(FindTag(E, tgT4Options), 0);
  FP.T6Options = f.Value(FindTag(E, tgT6Options), 0);
  FP.ExtraSamples = f.Value(FindTag(E, tgExtraSamples), 0);
  FP.SampleFormat = f.Value(FindTag(E, tgSampleFormat), 1);
  const bool tiled = FP.TileWidth >= 0 || FP.TileLength >= 0;
  if (const TTiffEntry* o = FindTag(E, tiled ? tgTileOffsets : tgStripOffsets)) f.Values(*o, FP.Offsets);
  if (const TTiffEntry* c = FindTag(E, tiled ? tgTileByteCounts : tgStripByteCounts))
    FP.HaveCounts = f.Values(*c, FP.Counts);
  if (FP.Compression == tcOldJpeg && !FindTag(E, tgJpegProc)) {
    FP.JpegInterchange = true;
    FP.JpegOffset = f.Value(FindTag(E, tgJpegInterchangeFormat), 0);
    FP.JpegLength = f.Value(FindTag(E, tgJpegInterchangeFormatLength), 0);
  }
  if (FP.Spp == 1 && FP.Bits == 1 && FP.Photometric == 2 && FP.Compression >= 1 && FP.Compression <= 4)
    FP.Photometric = 0;

  TIOParamsVals& p = FParams;
  p.BitsPerSample = FP.Bits;
  p.SamplesPerPixel = FP.Spp;
  p.Width = int32_t(FP.Width);
  p.Height = int32_t(FP.Height);
  p.TiffOrientation = int32_t(FP.Orientation);
  switch (FP.Compression) {
    case tcNone: p.TiffCompression = 0; break;
    case tcHuffman: p.TiffCompression = 1; break;
    case tcGroup3: p.TiffCompression = (FP.T4Options & kT4TwoD) ? 3 : 2; break;
    case tcGroup4: p.TiffCompression = 4; break;
    case tcLzw: p.TiffCompression = 5; break;
    case tcOldJpeg: p.TiffCompression = 6; break;
    case tcJpeg: p.TiffCompression = 7; break;
    case tcPackBits: p.TiffCompression = 8; break;
    default: p.TiffCompression = 9; break;
  }
  p.TiffPhotometric = uint8_t(FP.Photometric == 8 ? 7 : std::min<uint32_t>(FP.Photometric, 255));
  p.TiffPlanarConfig = int32_t(FP.Planar);
  p.TiffDocumentName = f.Ascii(FindTag(E, tgDocumentName));
  p.TiffImageDescription = f.Ascii(FindTag(E, tgImageDescription));
  p.TiffPageName = f.Ascii(FindTag(E, tgPageName));
  std::vector<uint32_t> pn;
  if (const TTiffEntry* t = FindTag(E, tgPageNumber); t && f.Values(*t, pn, 2) && pn.size() == 2) {
    p.TiffPageNumber = int32_t(pn[0]);
    p.TiffPageCount = int32_t(pn[1]);
  }
  const double factor = f.Value(FindTag(E, tgResolutionUnit), 2) == 3 ? 2.54 : 1.0;
  p.DpiX = Trunc32(f.Rational(FindTag(E, tgXResolution), 0) * factor);
  p.DpiY = Trunc32(f.Rational(FindTag(E, tgYResolution), 0) * factor);
  if (p.DpiX <= 0) p.DpiX = IODefaultDpi();
  if (p.DpiY <= 0) p.DpiY = IODefaultDpi();
  p.TiffXPos = Trunc32(f.Rational(FindTag(E, tgXPosition), 0) * factor);
  p.TiffYPos = Trunc32(f.Rational(FindTag(E, tgYPosition), 0) * factor);

  if (const TTiffEntry* cm = FindTag(E, tgColorMap); cm && FP.Bits <= 16) {
    const uint32_t n = 1u << std::min(FP.Bits, 8);
    std::vector<uint32_t> v;
    // A map for more than 8 bits holds more entries than a byte index reaches; the first 256 are used.
    const uint32_t full = 3u << FP.Bits;
    if (f.Values(*cm, v, full) && v.size() == full && cm->Count >= full) {
      const uint32_t stride = 1u << FP.Bits;
      FP.Palette.resize(n);
      for (uint32_t i = 0; i < n; ++i)
        FP.Palette[i] = TBGRPixel{uint8_t(v[2 * stride + i] >> 8), uint8_t(v[stride + i] >> 8), uint8_t(v[i] >> 8)};
      p.SetColorMap(FP.Palette.data(), int32_t(n));
    }
  }
  ReadExifFields(f, E, p);
  return true;
}

// JPEG and unknown compressions have no decoder here.
bool HasDecoder(uint32_t Compression) {
  switch (Compression) {
    case tcNone: case tcHuffman: case tcGroup3: case tcGroup4: case tcLzw: case tcPackBits:
    case tcDeflate: case tcDeflateOld:
      return true;
    default:
      return false;
  }
}

// Whether the page is one this reader can decode; fills the derived flags.
bool TTiffReader::CheckLayout() {
  TPage& p = FP;
  if (!CheckImageSize(p.Width, p.Height) || p.Spp > 8) return false;
  if (p.SampleFormat != 1 && p.SampleFormat != 4 && !(p.SampleFormat == 2 && p.Bits == 8)) return false;
  const bool ccitt = p.Compression == tcHuffman || p.Compression == tcGroup3 || p.Compression == tcGroup4;
  p.Bilevel = p.Spp == 1 && p.Bits == 1 && p.Photometric != 3;
  if (ccitt && !p.Bilevel) return false;
  if (p.Bilevel && p.Photometric > 1) return false;
  const int32_t b = p.Bits;
  switch (p.Photometric) {
    case 0:
    case 1:
      if (!((p.Spp == 1 || p.Spp == 2) && (b <= 8 || b == 16))) return false;
      break;
    case 2:
      if (!((p.Spp >= 3 && (b == 8 || b == 16)) || (p.Spp == 1 && b == 16))) return false;
      break;
    case 3:
      if (!(p.Spp == 1 && b <= 8 && !p.Palette.empty())) return false;  // a short or missing map fails
      break;
    case 5:
      if (!(p.Spp >= 4 && b == 8)) return false;
      break;
    case 8:
      if (!(p.Spp >= 3 && b == 8)) return false;
      break;
    default:
      return false;
  }
  if (p.Planar == 2 && p.Spp > 1 && b != 8 && b != 16) return false;
  p.Alpha = p.ExtraSamples == 2 && ((p.Spp == 2 && p.Photometric <= 1) || (p.Spp == 4 && p.Photometric == 2));
  if (!HasDecoder(p.Compression)) return false;
  if (p.Predictor == 2 && (p.Bits != 8 && p.Bits != 16)) return false;
  if (p.Predictor != 1 && p.Predictor != 2) return false;
  return true;
}

// Reads block Index and decodes it into Out (Rows x RowBytes); false on a corrupt block.
bool TTiffReader::DecodeBlock(int64_t Index, int64_t BlockWidth, int64_t Rows, int32_t SamplesPerPixel,
                              uint8_t* Out, int64_t RowBytes) {
  const int64_t outSize = RowBytes * Rows;
  const int64_t streamLeft = FF.StreamSize() - FF.Base();
  const int64_t offset = FP.Offsets[size_t(Index)];
  if (offset >= streamLeft) return false;
  int64_t count = FP.HaveCounts && size_t(Index) < FP.Counts.size() ? FP.Counts[size_t(Index)] : 0;
  if (count <= 0 || count > streamLeft - offset) count = streamLeft - offset;  // to the end of the stream
  FRaw.resize(size_t(count));
  TStream& s = FF.Stream();
  s.SetPosition(FF.Base() + offset);
  if (s.Read(FRaw.data(), int32_t(count)) != int32_t(count)) return false;
  const bool ccitt = FP.Compression == tcHuffman || FP.Compression == tcGroup3 || FP.Compression == tcGroup4;
  if (FP.FillOrder == 2 && !ccitt)
    for (uint8_t& b : FRaw) b = ReverseByte(b);
  const uint8_t* raw = FRaw.data();
  const int32_t rawSize = int32_t(count);
  switch (FP.Compression) {
    case tcNone:
      if (count < outSize) return false;  // the data ends before the strip's rows
      std::memcpy(Out, raw, size_t(outSize));
      break;
    case tcPackBits:
      PackBitsDecode(raw, rawSize, Out, int32_t(outSize));
      break;
    case tcLzw: {
      const TTiffLzwDecompressProc decode = FParams.TiffLzwDecompress ? FParams.TiffLzwDecompress : TiffLzwDecoderHook;
      const int32_t n = decode(raw, rawSize, Out, int32_t(outSize));
      if (n < 0) return false;
      if (n < outSize) std::memset(Out + n, 0, size_t(outSize - n));
      break;
    }
    case tcDeflate:
    case tcDeflateOld:
      if (!Inflate(raw, size_t(count), Out, size_t(outSize))) return false;
      break;
    default: {
      // Fax rows come out with 1 for white runs; the page's samples have 0 for
      // them, as the photometric interpretation then reads them.
      TCcittDecoder dec(raw, rawSize, int32_t(BlockWidth), int32_t(FP.Compression),
                        FP.Compression == tcGroup4 ? FP.T6Options : FP.T4Options, int32_t(FP.FillOrder));
      for (int64_t r = 0; r < Rows; ++r) {
        uint8_t* row = Out + r * RowBytes;
        dec.DecodeRow(row);
        for (int64_t i = 0; i < RowBytes; ++i) row[i] = uint8_t(~row[i]);
      }
      break;
    }
  }
  if (FP.Predictor == 2 && (FP.Compression == tcLzw || FP.Compression == tcDeflate || FP.Compression == tcDeflateOld))
    UndoPredictor(Out, RowBytes, Rows, SamplesPerPixel, FP.Bits, FF.BigEndian());
  return true;
}

void TTiffReader::PutRows(const uint8_t* Buf, int64_t RowBytes, int64_t X0, int64_t Y0, int64_t BlockWidth,
                          int64_t Rows, TBitmap& Bitmap, TIMMask* Mask) {
  const int64_t w = std::min(BlockWidth, FP.Width - X0);
  const int64_t rows = std::min(Rows, FP.Height - Y0);
  if (w <= 0 || rows <= 0) return;
  if (FP.Bilevel) {
    for (int64_t r = 0; r < rows; ++r) {
      auto* dst = static_cast<uint8_t*>(Bitmap.ScanLine(int32_t(Y0 + r)));
      const uint8_t* src = Buf + r * RowBytes;
      if (FP.Photometric == 0) {  // set bits are black in the file, white in memory
        FRgb.resize(size_t(RowBytes));
        for (int64_t i = 0; i < RowBytes; ++i) FRgb[size_t(i)] = uint8_t(~src[i]);
        src = FRgb.data();
      }
      CopyBits(dst, src, int32_t(X0), int32_t(w), 0);
    }
    return;
  }
  uint8_t* alpha = nullptr;
  if (FP.Alpha && Mask) {
    FAlpha.resize(size_t(w));
    alpha = FAlpha.data();
  }
  for (int64_t r = 0; r < rows; ++r) {
    auto* dst = static_cast<uint8_t*>(Bitmap.ScanLine(int32_t(Y0 + r))) + X0 * 3;
    FConv->Convert(Buf + r * RowBytes, int32_t(w), dst, alpha);
    if (alpha) std::memcpy(Mask->ScanLine(int32_t(Y0 + r)) + X0, alpha, size_t(w));
  }
}

// Whether the bytes after the page's start could decode to Bytes of samples
// in Rows rows under the page's compression, at the best ratio it allows
// (PackBits: 128 bytes from 2, deflate about 1032:1, an LZW code of 9 or more
// bits at most 4096 bytes, a fax row at least one bit). A few bytes whose
// directory states a huge page fail here, before the picture is allocated.
bool TTiffReader::DataCanFillRows(int64_t Bytes, int64_t Rows) const {
  const int64_t left = std::max<int64_t>(0, FF.StreamSize() - FF.Base());
  switch (FP.Compression) {
    case tcNone: return left >= Bytes;
    case tcPackBits: return left * 64 >= Bytes;
    case tcDeflate: case tcDeflateOld: return left * 1032 >= Bytes;
    case tcLzw: return left * 8 / 9 * 4096 + 4096 >= Bytes;
    default: return left * 8 >= Rows;
  }
}

bool TTiffReader::Decode(TBitmap& Bitmap, TIMMask* Mask) {
  TPage& p = FP;
  FConv = std::make_unique<TRowConverter>(p, FF.BigEndian());
  const bool tiled = p.TileWidth >= 0 || p.TileLength >= 0;
  const int64_t blockW = tiled ? p.TileWidth : p.Width;
  const int64_t blockH = tiled ? p.TileLength : p.RowsPerStrip;
  if (blockW <= 0 || blockH <= 0) return false;
  const bool planar = p.Planar == 2 && p.Spp > 1;
  if (tiled && planar) return false;
  const int32_t planes = planar ? p.Spp : 1;
  const int32_t planeSpp = planar ? 1 : p.Spp;
  const int64_t rowBytes = (blockW * planeSpp * p.Bits + 7) / 8;
  const int64_t blockBytes = rowBytes * blockH;
  if (tiled && blockBytes * planes > kMaxTileBytes) return false;
  const int64_t across = tiled ? (p.Width + blockW - 1) / blockW : 1;
  const int64_t down = (p.Height + blockH - 1) / blockH;
  const int64_t blocks = across * down;

  const int64_t rowsStored = tiled ? down * blockH : p.Height;  // the last strip may be shorter
  if (!DataCanFillRows(rowBytes * rowsStored * across * planes, rowsStored)) return false;

  // Every pixel is written by its strip or tile; a page that fails part way
  // clears what it did not reach (below), so the picture is not filled first.
  Bitmap.AllocateForOverwrite(int32_t(p.Width), int32_t(p.Height), p.Bilevel ? pf1bit : pf24bit);
  const TPixelBlockPrefault prefault(Bitmap.Bits(), size_t(Bitmap.RowBytes()) * size_t(p.Height));
  if (p.Alpha && Mask) {
    Mask->AllocateBits(int32_t(p.Width), int32_t(p.Height), 8);
    Mask->Fill(255);
  }
  FProgress.StartCodec(int32_t(blocks));
  std::vector<uint8_t> buf(size_t(blockBytes * planes));
  std::vector<uint8_t> chunky;
  const int32_t bytesPerSample = p.Bits / 8;
  bool ok = true;
  for (int64_t b = 0; b < blocks; ++b) {
    const int64_t x0 = (b % across) * blockW;
    const int64_t y0 = (b / across) * blockH;
    const int64_t rows = tiled ? blockH : std::min(blockH, p.Height - y0);
    for (int32_t plane = 0; plane < planes; ++plane) {
      const int64_t index = b + int64_t(plane) * blocks;
      if (index >= int64_t(p.Offsets.size())) {
        ok = false;  // too few strips: keep what was decoded and fail
        break;
      }
      if (!DecodeBlock(index, blockW, rows, planeSpp, buf.data() + plane * blockBytes, rowBytes)) {
        ok = false;
        break;
      }
    }
    if (!ok) {
      // The rows this block and those after it would have written: white for
      // a two-level page, black otherwise, as an empty picture starts.
      for (int64_t y = y0; y < p.Height; ++y)
        std::memset(Bitmap.ScanLine(int32_t(y)), p.Bilevel ? 0xFF : 0, size_t(Bitmap.RowBytes()));
      break;
    }
    const uint8_t* rowsBuf = buf.data();
    int64_t stride = rowBytes;
    if (planar) {
      // Samples of the planes side by side, as a chunky row has them.
      stride = rowBytes * planes;
      chunky.resize(size_t(stride * rows));
      for (int64_t r = 0; r < rows; ++r)
        for (int32_t plane = 0; plane < planes; ++plane) {
          const uint8_t* src = buf.data() + plane * blockBytes + r * rowBytes;
          uint8_t* dst = chunky.data() + r * stride + plane * bytesPerSample;
          for (int64_t x = 0; x < blockW; ++x)
            std::memcpy(dst + x * planes * bytesPerSample, src + x * bytesPerSample, size_t(bytesPerSample));
        }
      rowsBuf = chunky.data();
    }
    PutRows(rowsBuf, stride, x0, y0, blockW, rows, Bitmap, Mask);
    FProgress.CodecRow();
  }
  if (p.Alpha && Mask) MarkMaskFilled(*Mask);
  return ok;
}

// The JPEG stream of a compression 6 page, cut at the end of the stream,
// read by the JPEG reader into Bitmap. The page's size and samples are the
// stream's: an EXIF thumbnail directory often gives none of its own.
bool TTiffReader::ReadJpegInterchange(TBitmap& Bitmap, bool ParamsOnly) {
  const int64_t left = FF.StreamSize() - FF.Base();
  if (FP.JpegOffset == 0 || FP.JpegOffset >= left) return false;
  const int64_t length = FP.JpegLength == 0 ? left - FP.JpegOffset : std::min<int64_t>(FP.JpegLength, left - FP.JpegOffset);
  std::vector<uint8_t> data(static_cast<size_t>(length));
  TStream& s = FF.Stream();
  s.SetPosition(FF.Base() + FP.JpegOffset);
  if (s.Read(data.data(), int32_t(length)) != int32_t(length)) return false;
  TReadOnlyMemoryStream jpeg(data.data(), length);
  TIOParamsVals scratch(nullptr);  // the TIFF fields of the page stay as read
  ReadJpegStream(jpeg, Bitmap, scratch, FProgress, ParamsOnly, nullptr);
  if (FProgress.Failed()) return false;
  FParams.Width = scratch.Width;
  FParams.Height = scratch.Height;
  FParams.BitsPerSample = scratch.BitsPerSample;
  FParams.SamplesPerPixel = scratch.SamplesPerPixel;
  return true;
}

// Where the upright picture takes each pixel from, for the TIFF orientations
// (which stored row and column are the visual top and left): with Swap the
// stored rows become columns; the flips count in the upright picture.
struct TOrientation {
  bool Swap, FlipX, FlipY;
};
constexpr TOrientation kOrientations[9] = {
    {false, false, false}, {false, false, false}, {false, true, false}, {false, true, true}, {false, false, true},
    {true, false, false},  {true, true, false},   {true, true, true},   {true, false, true},
};

// Turns the picture upright for the TIFF orientations 2 to 8.
void ApplyOrientation(TBitmap& Bitmap, uint32_t Orientation) {
  auto rotate = [&](double angle) { RotateBitmap(Bitmap, angle, false, clWhite, nullptr, nullptr); };
  // Turning a quarter (positive angles counter-clockwise) and then mirroring
  // left and right gives the stored picture mirrored along a diagonal: 90
  // degrees for the main diagonal (5), -90 for the other one (7).
  switch (Orientation) {
    case 2: FlipBitmap(Bitmap, 0); break;
    case 3: FlipBitmap(Bitmap, 0); FlipBitmap(Bitmap, 1); break;
    case 4: FlipBitmap(Bitmap, 1); break;
    case 5: rotate(-90); FlipBitmap(Bitmap, 0); break;
    case 6: rotate(-90); break;
    case 7: rotate(90); FlipBitmap(Bitmap, 0); break;
    case 8: rotate(90); break;
    default: break;
  }
}

// The alpha mask follows the picture it belongs to.
void ApplyOrientation(TIMMask& Mask, uint32_t Orientation) {
  if (Orientation < 2 || Orientation > 8 || Mask.BitsPerPixel != 8 || !Mask.Bits) return;
  const TOrientation o = kOrientations[Orientation];
  const int32_t w = o.Swap ? Mask.Height : Mask.Width, h = o.Swap ? Mask.Width : Mask.Height;
  TIMMask upright;
  upright.AllocateBits(w, h, 8);
  const TIMMask& stored = Mask;
  std::vector<const uint8_t*> rows(size_t(stored.Height));
  for (int32_t y = 0; y < stored.Height; ++y) rows[size_t(y)] = stored.ScanLine(y);
  for (int32_t y = 0; y < h; ++y) {
    uint8_t* dst = upright.ScanLine(y);
    const int32_t v = o.FlipY ? h - 1 - y : y;
    if (!o.Swap) {
      const uint8_t* src = rows[size_t(v)];
      if (o.FlipX) {
        for (int32_t x = 0; x < w; ++x) dst[x] = src[w - 1 - x];
      } else {
        std::memcpy(dst, src, size_t(w));
      }
    } else {
      // Upright row v is stored column v.
      for (int32_t x = 0; x < w; ++x) dst[x] = rows[size_t(o.FlipX ? w - 1 - x : x)][v];
    }
  }
  upright.Full = Mask.Full;
  Mask.Assign(&upright);
  MarkMaskFilled(Mask);
}

// Reads the page whose directory entries are given (the tail of every page read).
void DecodePage(TTiffFile& file, const std::vector<TTiffEntry>& entries, TBitmap& Bitmap, bool Thumbnail,
                TIMMask* Mask, bool ParamsOnly, TProgressRec& Progress, TIOParamsVals& Params) {
  TTiffReader reader(file, Params, Progress);
  if (!reader.ReadFields(entries)) {
    Progress.Fail();
    return;
  }
  if (reader.Page().Compression == tcLzw && !Params.TiffLzwDecompress && !TiffLzwDecoderHook) {
    FailCodec(Progress, "LZW-Komprimierung wird nicht unterstützt: kein LZW-Decoder installiert");
    return;
  }
  if (reader.Page().JpegInterchange) {
    if (!ParamsOnly) Bitmap.SetSize(1, 1);
    if (!reader.ReadJpegInterchange(Bitmap, ParamsOnly)) Progress.Fail();
    else if (!ParamsOnly && Params.TiffAutoOrientation) ApplyOrientation(Bitmap, reader.Page().Orientation);
    return;
  }
  if (ParamsOnly) return;
  Bitmap.SetSize(1, 1);
  if (!HasDecoder(reader.Page().Compression)) {
    FailCodec(Progress, "TIFF-Komprimierung " + std::to_string(reader.Page().Compression) + " wird nicht unterstützt");
    return;
  }
  if (!reader.CheckLayout()) {
    Progress.Fail();
    return;
  }
  TIMMask* alpha = Thumbnail || !reader.Page().Alpha ? nullptr : Mask;
  if (!reader.Decode(Bitmap, alpha)) {
    Progress.Fail();
    return;
  }
  if (Params.TiffAutoOrientation && reader.Page().Orientation != 1) {
    ApplyOrientation(Bitmap, reader.Page().Orientation);
    if (alpha) ApplyOrientation(*alpha, reader.Page().Orientation);
  }
}

}  // namespace

void ReadTiffPage(TBitmap& Bitmap, TStream& S, int32_t& PageCount, bool Thumbnail, bool BaseAtPosition,
                  TIMMask* Mask, bool ParamsOnly, TProgressRec& Progress, TIOParamsVals& Params) {
  PageCount = 0;
  try {
    TTiffFile file(S, BaseAtPosition ? S.Position() : 0);
    if (!file.ReadHeader()) {
      Progress.Fail();
      return;
    }
    std::vector<TTiffEntry> entries;
    PageCount = file.WalkChain(Params.TiffImageIndex, &entries);
    Params.TiffImageCount = PageCount;
    if (Params.TiffImageIndex < 0 || Params.TiffImageIndex >= PageCount || entries.empty()) {
      Progress.Fail();
      return;
    }
    DecodePage(file, entries, Bitmap, Thumbnail, Mask, ParamsOnly, Progress, Params);
  } catch (...) {
    Progress.Fail();  // a codec reports through the aborted flag only
  }
}

void ReadTiffStream(TStream& S, TBitmap& Bitmap, TIOParamsVals& Params, TProgressRec& Progress, bool ParamsOnly,
                    TIMMask* Mask) {
  int32_t pages = 0;
  ReadTiffPage(Bitmap, S, pages, false, true, Mask, ParamsOnly, Progress, Params);
}

struct TTiffPageReader::TState {
  TState(TStream& S, int64_t Base) : File(S, Base) {}
  TTiffFile File;
  std::vector<uint32_t> Offsets;
};

TTiffPageReader::TTiffPageReader(TStream& S) {
  try {
    auto st = std::make_unique<TState>(S, S.Position());
    if (st->File.ReadHeader()) st->File.WalkChain(-1, nullptr, nullptr, &st->Offsets);
    F = std::move(st);
  } catch (...) {
    F.reset();  // no chain to walk: no pages
  }
}

TTiffPageReader::~TTiffPageReader() = default;

int32_t TTiffPageReader::PageCount() const { return F ? int32_t(F->Offsets.size()) : 0; }

bool TTiffPageReader::ReadPage(int32_t Index, TBitmap& Bitmap, TIOParamsVals& Params, TProgressRec& Progress,
                               TIMMask* Mask) {
  try {
    Params.TiffImageCount = PageCount();
    std::vector<TTiffEntry> entries;
    uint32_t next = 0;
    if (Index < 0 || Index >= PageCount() || !F->File.ReadDirectory(F->Offsets[size_t(Index)], entries, next) ||
        entries.empty()) {
      Progress.Fail();
      return false;
    }
    DecodePage(F->File, entries, Bitmap, false, Mask, false, Progress, Params);
  } catch (...) {
    Progress.Fail();
  }
  return !Progress.Failed();
}

int32_t GetTiffPageCountStream(TStream& S) {
  try {
    TTiffFile file(S, S.Position());
    if (!file.ReadHeader()) return 0;
    return file.WalkChain(-1, nullptr);
  } catch (...) {
    return 0;
  }
}

}  // namespace kv
