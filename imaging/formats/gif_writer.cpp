// GIF writer: one image with a global colour table and a graphic control
// extension; the pixel data goes through the encoder hook.
#include <algorithm>
#include <climits>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <vector>

#include "imaging/formats/gif.h"
#include "imaging/formats/gif_blocks.h"
#include "imaging/processing/convert_bits.h"
#include "imaging/processing/quant_source.h"
#include "imaging/processing/quantizer.h"
#include "platform/rtl/file_utils.h"

namespace kv {

namespace {

using namespace gif;

void Report(TProgressRec& Progress, int32_t Per) {
  if (Progress.OnProgress) Progress.OnProgress(Progress.Sender, Per);
}

uint32_t Packed(const TBGRPixel& P) { return uint32_t(P.r) << 16 | uint32_t(P.g) << 8 | P.b; }

// Index of the nearer of black (0) and white (1) by the sum of channel
// differences; black wins a tie.
uint8_t NearestBlackWhite(const TBGRPixel& P) {
  const int32_t toBlack = P.r + P.g + P.b;
  const int32_t toWhite = 3 * 255 - toBlack;
  return toWhite < toBlack ? 1 : 0;
}

// The bits of a 1-bit bitmap as indices, one a byte.
void IndicesFromBits(const TBitmap& B, uint8_t* Out) {
  const int32_t w = B.Width();
  for (int32_t y = 0; y < B.Height(); ++y) {
    const uint8_t* row = static_cast<const uint8_t*>(B.ScanLine(y));
    uint8_t* o = Out + int64_t(y) * w;
    for (int32_t x = 0; x < w; ++x) o[x] = (row[x >> 3] >> (7 - (x & 7))) & 1;
  }
}

struct TGifPicture {
  int32_t Bits = 8;
  std::vector<TBGRPixel> Palette;  // 2^Bits entries
  std::vector<uint8_t> Indices;    // Width x Height, top row first
  uint8_t Background = 0;
  uint8_t Transparent = 0;
};

void ToOneBit(const TBitmap& Bitmap, const TIOParamsVals& Params, TGifPicture& P, TProgressRec& Progress) {
  P.Palette = {TBGRPixel{0, 0, 0}, TBGRPixel{255, 255, 255}};
  if (Bitmap.PixelFormat() == pf1bit) {
    // The bitmap's own two colours, so that a white-on-black bitmap is not inverted.
    if (Bitmap.PaletteCount() == 2)
      for (int32_t i = 0; i < 2; ++i) {
        const TPaletteEntry& e = Bitmap.Palette()[size_t(i)];
        P.Palette[size_t(i)] = TBGRPixel{e.peBlue, e.peGreen, e.peRed};
      }
    IndicesFromBits(Bitmap, P.Indices.data());
  } else {
    TBGRPixel c0, c1;
    std::unique_ptr<TBitmap> two = ConvertTo1BitIfTwoColors(Bitmap, c0, c1);
    if (two && c0 == c1) P.Palette = {c0, c1};  // a picture of one colour keeps it
    if (!two) {
      two = std::make_unique<TBitmap>();
      two->Assign(&Bitmap);
      ConvertTo1BitDither(*two, Progress);
    }
    IndicesFromBits(*two, P.Indices.data());
  }
  P.Background = NearestBlackWhite(Params.GifBackground);
  P.Transparent = NearestBlackWhite(Params.GifTransparentColor);
}

// Entry of Palette nearest to C by the sum of channel differences; the first of equals wins.
uint8_t NearestEntry(const std::vector<TBGRPixel>& Palette, int32_t Count, const TBGRPixel& C) {
  int32_t best = 0, bestDistance = INT32_MAX;
  for (int32_t i = 0; i < Count; ++i) {
    const TBGRPixel& p = Palette[size_t(i)];
    const int32_t d = std::abs(p.r - C.r) + std::abs(p.g - C.g) + std::abs(p.b - C.b);
    if (d < bestDistance) best = i, bestDistance = d;
  }
  return uint8_t(best);
}

// Indices of every pixel through Lookup (a packed colour to its index), one
// look-up per run of equal colours.
template <typename TLookup>
void MapPixels(const TBitmap& Src, uint8_t* Out, TLookup Lookup) {
  const int32_t w = Src.Width();
  for (int32_t y = 0; y < Src.Height(); ++y) {
    const TBGRPixel* row = static_cast<const TBGRPixel*>(Src.ScanLine(y));
    uint8_t* o = Out + int64_t(y) * w;
    uint32_t last = Packed(row[0]);
    uint8_t lastIndex = Lookup(last);
    for (int32_t x = 0; x < w; ++x) {
      const uint32_t c = Packed(row[x]);
      if (c != last) {
        last = c;
        lastIndex = Lookup(c);
      }
      o[x] = lastIndex;
    }
  }
}

void ToPalette(const TBitmap& Bitmap, TIOParamsVals& Params, TGifPicture& P, TProgressRec& Progress) {
  const TBitmap* src = &Bitmap;
  TBitmap expanded;
  if (Bitmap.PixelFormat() != pf24bit) {
    ConvertTo24BitRows(Bitmap, expanded, Progress);
    src = &expanded;
  }
  int32_t used = 1 << P.Bits;
  TExactColours exact;
  if (exact.Collect(TQuantSource::Of(*src), used)) {
    // Few enough colours for the table: they go in as they are, and no
    // quantizer needs to learn them.
    used = exact.Count();
    for (int32_t i = 0; i < used; ++i) {
      const uint32_t c = exact.Colour(i);
      P.Palette[size_t(i)] = TBGRPixel{uint8_t(c), uint8_t(c >> 8), uint8_t(c >> 16)};
      exact.SetIndex(i, i);
    }
    MapPixels(*src, P.Indices.data(), [&](uint32_t C) { return uint8_t(exact.Find(C)); });
    P.Background = NearestEntry(P.Palette, used, Params.GifBackground);
    P.Transparent = NearestEntry(P.Palette, used, Params.GifTransparentColor);
  } else {
    TIMQuantizer q(*src, 0, -1, used, 0, P.Palette.data());
    MapPixels(*src, P.Indices.data(), [&](uint32_t C) { return uint8_t(q.RGBIndex(C)); });
    P.Background = uint8_t(q.RGBIndex(Packed(Params.GifBackground)));
    P.Transparent = uint8_t(q.RGBIndex(Packed(Params.GifTransparentColor)));
  }
  Params.SetColorMap(P.Palette.data(), int32_t(P.Palette.size()));  // the palette this save chose
}

// Header, colour table, graphic control extension and image descriptor.
std::vector<uint8_t> HeadBytes(const TBitmap& Bitmap, const TIOParamsVals& Params, const TGifPicture& P) {
  std::vector<uint8_t> b;
  const std::string& v = Params.GifVersion;
  const bool validVersion = v.size() == 6 && v.compare(0, 3, "GIF") == 0;
  const std::string version = validVersion ? v : "GIF89a";
  b.insert(b.end(), version.begin(), version.end());
  uint8_t screen[7];
  Put16(screen, uint32_t(Bitmap.Width()));
  Put16(screen + 2, uint32_t(Bitmap.Height()));
  screen[4] = uint8_t(0x80 + (P.Bits - 1) * 16 + (P.Bits - 1));
  screen[5] = P.Background;
  screen[6] = 0;
  b.insert(b.end(), screen, screen + 7);
  for (const TBGRPixel& c : P.Palette) b.insert(b.end(), {c.r, c.g, c.b});

  uint8_t gce[8] = {kExtension, kGraphicControl, 4, uint8_t(8 + (Params.GifTransparent ? 1 : 0)), 0, 0,
                    P.Transparent, 0};
  Put16(gce + 4, uint32_t(std::clamp(Params.GifDelayTime, 0, 65535)));
  b.insert(b.end(), gce, gce + 8);

  uint8_t d[10] = {kImage};
  Put16(d + 1, uint32_t(std::clamp(Params.GifXPos, 0, 65535)));
  Put16(d + 3, uint32_t(std::clamp(Params.GifYPos, 0, 65535)));
  Put16(d + 5, uint32_t(Bitmap.Width()));
  Put16(d + 7, uint32_t(Bitmap.Height()));
  d[9] = Params.GifInterlaced ? 0x40 : 0;
  b.insert(b.end(), d, d + 10);
  return b;
}

bool CheckedWrite(TStream& S, const void* Data, int32_t Count, TProgressRec& Progress) {
  if (S.Write(Data, Count) == Count) return true;
  Progress.Fail();
  return false;
}

}  // namespace

void WriteGifStream(TStream& S, const TBitmap& Bitmap, TIOParamsVals& Params, TProgressRec& Progress) {
  try {
    Report(Progress, 0);
    if (Progress.Failed()) return;
    const int32_t w = Bitmap.Width(), h = Bitmap.Height();
    // GIF sizes are 16-bit; a larger picture cannot be stored at all.
    if (w <= 0 || h <= 0 || w > 65535 || h > 65535 ||
        (Bitmap.PixelFormat() != pf1bit && Bitmap.PixelFormat() != pf24bit))
      return Progress.Fail();

    TGifPicture p;
    p.Bits = std::clamp(Params.BitsPerSample, 1, 8);
    p.Palette.assign(size_t(1) << p.Bits, TBGRPixel{});
    p.Indices.assign(size_t(w) * size_t(h), 0);
    TProgressRec quiet;  // the conversions' own progress is not this writer's
    if (p.Bits == 1) ToOneBit(Bitmap, Params, p, quiet);
    else ToPalette(Bitmap, Params, p, quiet);
    Report(Progress, 30);
    if (Progress.Failed()) return;

    const std::vector<uint8_t> head = HeadBytes(Bitmap, Params, p);
    if (!CheckedWrite(S, head.data(), int32_t(head.size()), Progress)) return;
    Report(Progress, 70);
    if (Progress.Failed()) return;

    const TGifLzwCompressProc encode = Params.GifLzwCompress ? Params.GifLzwCompress : GifLzwEncoderHook;
    if (!encode) return Progress.Fail();
    encode(S, h, w, p.Bits, p.Indices.data(), Params.GifInterlaced);
    const uint8_t trailer = kTrailer;
    if (!CheckedWrite(S, &trailer, 1, Progress)) return;
    Report(Progress, 100);
  } catch (...) {
    Progress.Fail();  // a short write inside the encoder ends here as well
  }
}

bool WriteGifFile(const std::string& FileName, const TBitmap& Bitmap, TIOParamsVals& Params,
                  TProgressRec& Progress) {
  bool aborted = false;
  bool* const outer = Progress.Aborted;
  if (!outer) Progress.Aborted = &aborted;
  try {
    TMemoryStream m;
    WriteGifStream(m, Bitmap, Params, Progress);
    if (!Progress.Failed())
      SaveFileAtomically(FileName,
                         std::string_view(static_cast<const char*>(m.Memory()), size_t(m.Size())));
  } catch (...) {
    Progress.Fail();
  }
  const bool ok = !Progress.Failed();
  Progress.Aborted = outer;
  return ok;
}

}  // namespace kv
