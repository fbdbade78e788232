// TIFF writing: one page as one strip, its values, then its directory, linked
// in as a new file's first page or before a chosen page of an existing file.
#include <algorithm>
#include <cstring>
#include <memory>
#include <vector>

#include "imaging/formats/ccitt.h"
#include "imaging/formats/codec_failure.h"
#include "imaging/formats/packbits.h"
#include "imaging/formats/tiff.h"
#include "imaging/formats/tiff_dir.h"
#include "imaging/formats/tiff_tags.h"
#include "imaging/model/colour_space.h"
#include "imaging/model/nul_stream.h"
#include "imaging/processing/bitmap_utils.h"
#include "imaging/processing/convert_bits.h"
#include "imaging/processing/quantizer.h"
#include "platform/rtl/pascal_math.h"
#include "platform/rtl/streams.h"

namespace kv {

namespace {

enum TKind : uint8_t { kBilevel, kGray, kPalette, kRgb, kCmyk, kLab };

void Put16(std::vector<uint8_t>& B, uint32_t V) {
  B.push_back(uint8_t(V));
  B.push_back(uint8_t(V >> 8));
}
void Put32(std::vector<uint8_t>& B, uint32_t V) {
  Put16(B, V & 0xFFFF);
  Put16(B, V >> 16);
}

// Directory entries in Intel order; values over four bytes are collected
// to be written before the directory.
class TDirectoryBuilder {
 public:
  void Add(uint16_t Tag, uint16_t Type, const std::vector<uint32_t>& Values) {
    std::vector<uint8_t> data;
    for (uint32_t v : Values) {
      if (Type == ttShort) Put16(data, v);
      else Put32(data, v);
    }
    AddRaw(Tag, Type, Type == ttRational ? uint32_t(Values.size() / 2) : uint32_t(Values.size()), data);
  }
  void AddAscii(uint16_t Tag, const std::string& Text) {
    if (Text.empty()) return;
    std::vector<uint8_t> data(Text.begin(), Text.end());
    data.push_back(0);
    AddRaw(Tag, ttAscii, uint32_t(data.size()), data);
  }
  // Writes the long values, the directory (on an even offset) with NextOffset;
  // returns the directory's offset relative to Base.
  uint32_t Write(TStream& S, int64_t Base, uint32_t NextOffset) {
    std::sort(FEntries.begin(), FEntries.end(), [](const TItem& a, const TItem& b) { return a.Tag < b.Tag; });
    for (TItem& e : FEntries) {
      if (e.Data.size() <= 4) continue;
      if ((S.Position() - Base) & 1) S.WriteBuffer("", 1);
      e.Offset = uint32_t(S.Position() - Base);
      S.WriteBuffer(e.Data.data(), int32_t(e.Data.size()));
    }
    if ((S.Position() - Base) & 1) S.WriteBuffer("", 1);
    const uint32_t at = uint32_t(S.Position() - Base);
    std::vector<uint8_t> dir;
    Put16(dir, uint32_t(FEntries.size()));
    for (const TItem& e : FEntries) {
      Put16(dir, e.Tag);
      Put16(dir, e.Type);
      Put32(dir, e.Count);
      if (e.Data.size() <= 4) {
        uint8_t field[4] = {};
        std::memcpy(field, e.Data.data(), e.Data.size());
        dir.insert(dir.end(), field, field + 4);
      } else {
        Put32(dir, e.Offset);
      }
    }
    Put32(dir, NextOffset);
    S.WriteBuffer(dir.data(), int32_t(dir.size()));
    return at;
  }

 private:
  struct TItem {
    uint16_t Tag, Type;
    uint32_t Count;
    std::vector<uint8_t> Data;
    uint32_t Offset = 0;
  };
  void AddRaw(uint16_t Tag, uint16_t Type, uint32_t Count, std::vector<uint8_t>& Data) {
    FEntries.push_back(TItem{Tag, Type, Count, std::move(Data)});
  }
  std::vector<TItem> FEntries;
};

// The page as it goes to the file: its kind, depth, compression and the
// rows converted from the bitmap.
struct TOutPage {
  TKind Kind = kRgb;
  int32_t Bits = 8;
  int32_t Spp = 3;
  uint32_t Compression = tcNone;
  uint32_t T4Options = 0;
  bool Predictor = false;
  std::unique_ptr<TBitmap> Picture;  // pf1bit for bilevel, else pf24bit
  std::vector<TBGRPixel> Palette;
  std::unique_ptr<TIMQuantizer> Quantizer;
  TTiffLzwCompressProc Lzw = nullptr;
};

void ChooseLayout(const TBitmap& Bitmap, const TIOParamsVals& Params, TOutPage& P) {
  const bool bilevel = Params.BitsPerSample == 1 && Params.SamplesPerPixel == 1;
  if (bilevel) {
    P.Kind = kBilevel;
    P.Bits = 1;
    P.Spp = 1;
    if (Bitmap.PixelFormat() == pf1bit) {
      P.Picture = DuplicateBitmap(Bitmap);
    } else {
      TBGRPixel c0, c1;
      P.Picture = ConvertTo1BitIfTwoColors(Bitmap, c0, c1);  // the lighter colour on set bits, as white
      if (!P.Picture) {
        P.Picture = DuplicateBitmap(Bitmap);
        TProgressRec none;
        ConvertTo1BitDither(*P.Picture, none);
      }
    }
  } else {
    if (Bitmap.PixelFormat() == pf1bit) {
      P.Picture = std::make_unique<TBitmap>();
      TProgressRec none;
      ConvertTo24BitRows(Bitmap, *P.Picture, none);
    } else {
      P.Picture = DuplicateBitmap(Bitmap);
    }
    const int32_t bits = Params.BitsPerSample;
    if (Params.SamplesPerPixel == 1 && bits >= 2 && bits <= 8) {
      P.Spp = 1;
      P.Bits = bits;
      if (IsGrayBitmap(*P.Picture)) {
        P.Kind = kGray;  // gray levels kept as levels, not as palette indexes
      } else {
        P.Kind = kPalette;
        P.Palette.resize(size_t(1) << bits);
        P.Quantizer = std::make_unique<TIMQuantizer>(*P.Picture, 0, -1, 1 << bits, 0, P.Palette.data());
      }
    } else if (Params.TiffPhotometric == 5) {
      P.Kind = kCmyk;
      P.Spp = 4;
    } else if (Params.TiffPhotometric == 7) {
      P.Kind = kLab;
    }
  }
  switch (Params.TiffCompression) {
    case 1: case 2: case 3: case 4:
      if (P.Kind == kBilevel) {
        P.Compression = Params.TiffCompression == 1 ? tcHuffman : Params.TiffCompression == 4 ? tcGroup4 : tcGroup3;
        P.T4Options = Params.TiffCompression == 3 ? kT4TwoD : 0;
      }
      break;
    case 5:
      P.Lzw = Params.TiffLzwCompress ? Params.TiffLzwCompress : TiffLzwEncoderHook;
      if (P.Lzw) P.Compression = tcLzw;
      break;
    case 8:
      P.Compression = tcPackBits;
      break;
    default:
      break;
  }
  P.Predictor = P.Compression == tcLzw && P.Bits == 8 && (P.Kind == kGray || P.Kind == kRgb);
}

// Packs 8-bit values at Bits per sample, most significant bits first.
void PackSamples(const uint8_t* Values, int32_t Count, int32_t Bits, uint8_t* Out) {
  if (Bits == 8) {
    std::memcpy(Out, Values, size_t(Count));
    return;
  }
  std::memset(Out, 0, (size_t(Count) * size_t(Bits) + 7) / 8);
  uint64_t pos = 0;
  for (int32_t i = 0; i < Count; ++i, pos += uint64_t(Bits)) {
    const uint32_t v = uint32_t(Values[i]) << (16 - Bits - (pos & 7));
    Out[pos >> 3] |= uint8_t(v >> 8);
    if ((pos & 7) + uint64_t(Bits) > 8) Out[(pos >> 3) + 1] |= uint8_t(v);
  }
}

// One bitmap row in the page's sample layout.
void ConvertRow(const TOutPage& P, int32_t Y, std::vector<uint8_t>& Values, uint8_t* Out) {
  const int32_t w = P.Picture->Width();
  const auto* src = static_cast<const uint8_t*>(P.Picture->ScanLine(Y));
  switch (P.Kind) {
    case kBilevel:
      std::memcpy(Out, src, (size_t(w) + 7) / 8);
      if (P.Compression != tcNone && P.Compression != tcLzw && P.Compression != tcPackBits)
        for (int32_t i = 0; i < (w + 7) / 8; ++i) Out[i] = uint8_t(~Out[i]);  // fax pages are white-is-zero
      break;
    case kGray: {
      const int32_t maxv = (1 << P.Bits) - 1;
      for (int32_t x = 0; x < w; ++x) Values[size_t(x)] = uint8_t((src[3 * x] * maxv + 127) / 255);
      PackSamples(Values.data(), w, P.Bits, Out);
      break;
    }
    case kPalette:
      QuantizeRow(src, Values.data(), 24, P.Quantizer.get(), int32_t(P.Palette.size()), P.Palette.data(), w, 8);
      PackSamples(Values.data(), w, P.Bits, Out);
      break;
    case kRgb:
      for (int32_t x = 0; x < w; ++x) {
        Out[3 * x] = src[3 * x + 2];
        Out[3 * x + 1] = src[3 * x + 1];
        Out[3 * x + 2] = src[3 * x];
      }
      break;
    case kCmyk:
      for (int32_t x = 0; x < w; ++x) {
        const int32_t b = src[3 * x], g = src[3 * x + 1], r = src[3 * x + 2];
        const int32_t m = std::max({r, g, b});
        uint8_t* o = Out + 4 * x;
        if (m == 0) {  // black: all ink in K
          o[0] = o[1] = o[2] = 0;
          o[3] = 255;
          continue;
        }
        o[0] = uint8_t(255 - r * 255 / m);
        o[1] = uint8_t(255 - g * 255 / m);
        o[2] = uint8_t(255 - b * 255 / m);
        o[3] = uint8_t(255 - m);
      }
      break;
    case kLab:
      for (int32_t x = 0; x < w; ++x) {
        uint8_t l;
        int8_t a, b;
        RGBToCIELab(TBGRPixel{src[3 * x], src[3 * x + 1], src[3 * x + 2]}, l, a, b);
        Out[3 * x] = l;
        Out[3 * x + 1] = uint8_t(a);
        Out[3 * x + 2] = uint8_t(b);
      }
      break;
  }
  if (P.Predictor)
    for (int32_t i = int32_t(w) * P.Spp - 1; i >= P.Spp; --i) Out[i] = uint8_t(Out[i] - Out[i - P.Spp]);
}

// Writes the strip from the stream's position; returns its byte count.
uint32_t WriteStrip(TStream& S, TOutPage& P, TProgressRec& Progress) {
  const int32_t w = P.Picture->Width();
  const int32_t h = P.Picture->Height();
  const int64_t start = S.Position();
  const size_t rowBytes = (size_t(w) * size_t(P.Spp) * size_t(P.Bits) + 7) / 8;
  std::vector<uint8_t> row(rowBytes + 8);
  std::vector<uint8_t> values(static_cast<size_t>(w));
  std::vector<uint8_t> packed;
  std::unique_ptr<TCcittEncoder> fax;
  if (P.Compression == tcHuffman || P.Compression == tcGroup3 || P.Compression == tcGroup4)
    fax = std::make_unique<TCcittEncoder>(w, int32_t(P.Compression), (P.T4Options & kT4TwoD) != 0);
  void* lzw = nullptr;
  struct TLzwGuard {  // ends an encoder state left behind by a failed write
    void*& State;
    TTiffLzwCompressProc Proc;
    ~TLzwGuard() {
      if (State) {
        TNulStream sink;
        Proc(nullptr, 0, sink, State);
      }
    }
  } guard{lzw, P.Lzw};
  Progress.StartCodec(h);
  for (int32_t y = 0; y < h; ++y) {
    ConvertRow(P, y, values, row.data());
    if (fax) {
      fax->EncodeRow(row.data());
      if (!fax->Out.empty()) S.WriteBuffer(fax->Out.data(), int32_t(fax->Out.size()));
      fax->Out.clear();
    } else if (P.Compression == tcLzw) {
      P.Lzw(row.data(), int32_t(rowBytes), S, lzw);
    } else if (P.Compression == tcPackBits) {
      packed.clear();
      PackBitsEncode(row.data(), int32_t(rowBytes), packed);
      S.WriteBuffer(packed.data(), int32_t(packed.size()));
    } else {
      S.WriteBuffer(row.data(), int32_t(rowBytes));
    }
    Progress.CodecRow();
  }
  if (fax) {
    fax->Finish();
    if (!fax->Out.empty()) S.WriteBuffer(fax->Out.data(), int32_t(fax->Out.size()));
  } else if (P.Compression == tcLzw && lzw) {
    P.Lzw(nullptr, 0, S, lzw);
  }
  return uint32_t(S.Position() - start);
}

void BuildDirectory(const TOutPage& P, const TIOParamsVals& Params, uint32_t StripOffset, uint32_t StripBytes,
                    TDirectoryBuilder& D) {
  const uint32_t w = uint32_t(P.Picture->Width());
  const uint32_t h = uint32_t(P.Picture->Height());
  D.Add(tgImageWidth, ttLong, {w});
  D.Add(tgImageLength, ttLong, {h});
  D.Add(tgBitsPerSample, ttShort, std::vector<uint32_t>(size_t(P.Spp), uint32_t(P.Bits)));
  D.Add(tgCompression, ttShort, {P.Compression});
  uint32_t photometric = 2;
  switch (P.Kind) {
    case kBilevel: photometric = P.Compression == tcHuffman || P.Compression == tcGroup3 || P.Compression == tcGroup4 ? 0 : 1; break;
    case kGray: photometric = 1; break;
    case kPalette: photometric = 3; break;
    case kCmyk: photometric = 5; break;
    case kLab: photometric = 8; break;
    case kRgb: photometric = 2; break;
  }
  D.Add(tgPhotometric, ttShort, {photometric});
  D.AddAscii(tgDocumentName, Params.TiffDocumentName);
  D.AddAscii(tgImageDescription, Params.TiffImageDescription);
  D.Add(tgStripOffsets, ttLong, {StripOffset});
  D.Add(tgSamplesPerPixel, ttShort, {uint32_t(P.Spp)});
  D.Add(tgRowsPerStrip, ttLong, {h});
  D.Add(tgStripByteCounts, ttLong, {StripBytes});
  D.Add(tgXResolution, ttRational, {uint32_t(std::max(Params.DpiX, 0)), 1});
  D.Add(tgYResolution, ttRational, {uint32_t(std::max(Params.DpiY, 0)), 1});
  D.AddAscii(tgPageName, Params.TiffPageName);
  // Positions as ten-thousandths, so that a read gives the same whole value back.
  D.Add(tgXPosition, ttRational, {uint32_t(std::clamp<int64_t>(Round(Params.TiffXPos * 10000.0), 0, UINT32_MAX)), 10000});
  D.Add(tgYPosition, ttRational, {uint32_t(std::clamp<int64_t>(Round(Params.TiffYPos * 10000.0), 0, UINT32_MAX)), 10000});
  if (P.Compression == tcGroup3) D.Add(tgT4Options, ttLong, {P.T4Options});
  D.Add(tgResolutionUnit, ttShort, {2});
  if (Params.TiffPageNumber != 0 || Params.TiffPageCount != 0)
    D.Add(tgPageNumber, ttShort, {uint32_t(Params.TiffPageNumber) & 0xFFFF, uint32_t(Params.TiffPageCount) & 0xFFFF});
  if (P.Predictor) D.Add(tgPredictor, ttShort, {2});
  if (P.Kind == kPalette) {
    const size_t n = P.Palette.size();
    std::vector<uint32_t> map(3 * n);
    for (size_t i = 0; i < n; ++i) {  // x257: a full byte becomes a full 16-bit value
      map[i] = P.Palette[i].r * 257u;
      map[n + i] = P.Palette[i].g * 257u;
      map[2 * n + i] = P.Palette[i].b * 257u;
    }
    D.Add(tgColorMap, ttShort, map);
  }
}

void Patch32(TStream& S, int64_t At, uint32_t Value) {
  std::vector<uint8_t> b;
  Put32(b, Value);
  const int64_t back = S.Position();
  S.SetPosition(At);
  S.WriteBuffer(b.data(), 4);
  S.SetPosition(back);
}

}  // namespace

int32_t WriteTiffPage(TStream& S, bool Insert, const TBitmap& Bitmap, TProgressRec& Progress,
                      TIOParamsVals& Params) {
  try {
    if (Bitmap.Empty()) {
      Progress.Fail();
      return 0;
    }
    int64_t base = 0;
    int64_t link = 0;      // where the offset of the new directory goes
    uint32_t next = 0;     // what the new directory links to
    int32_t pages = 1;
    if (Insert) {
      TTiffFile file(S, 0);
      uint8_t sig[2] = {};
      S.SetPosition(0);
      if (S.Read(sig, 2) != 2 || sig[0] != 'I' || sig[1] != 'I' || !file.ReadHeader()) {
        Progress.Fail();
        return 0;
      }
      // Each directory and where its next-offset field stands; the new page
      // takes the link that points at page TiffImageIndex, or the final one.
      std::vector<uint32_t> dirs;
      std::vector<int64_t> nextFields;
      std::vector<TTiffEntry> entries;
      for (uint32_t at = file.FirstDirectory();
           at != 0 && std::find(dirs.begin(), dirs.end(), at) == dirs.end() && dirs.size() < 65536;) {
        uint32_t following = 0;
        if (!file.ReadDirectory(at, entries, following)) break;
        dirs.push_back(at);
        nextFields.push_back(int64_t(at) + 2 + int64_t(entries.size()) * 12);
        at = following;
      }
      const size_t count = dirs.size();
      const size_t index = size_t(std::clamp<int64_t>(Params.TiffImageIndex, 0, int64_t(count)));
      link = index == 0 ? 4 : nextFields[index - 1];
      next = index < count ? dirs[index] : 0;
      pages = int32_t(count) + 1;
      S.Seek(0, soEnd);
    } else {
      base = S.Position();
      const uint8_t header[8] = {'I', 'I', 42, 0, 0, 0, 0, 0};
      S.WriteBuffer(header, 8);
      link = base + 4;
    }
    TOutPage page;
    ChooseLayout(Bitmap, Params, page);
    // Another compression than the one asked for would pass for it.
    if (Params.TiffCompression == 5 && page.Compression != tcLzw) {
      FailCodec(Progress, "LZW-Komprimierung wird nicht unterstützt: kein LZW-Encoder installiert");
      return 0;
    }
    if ((S.Position() - base) & 1) S.WriteBuffer("", 1);
    const uint32_t stripOffset = uint32_t(S.Position() - base);
    const uint32_t stripBytes = WriteStrip(S, page, Progress);
    TDirectoryBuilder dir;
    BuildDirectory(page, Params, stripOffset, stripBytes, dir);
    const uint32_t at = dir.Write(S, base, next);
    const int64_t end = S.Position();
    Patch32(S, link, at);
    S.SetPosition(end);
    return pages;
  } catch (...) {
    Progress.Fail();
    return 0;
  }
}

void WriteTiffStream(TStream& S, const TBitmap& Bitmap, TIOParamsVals& Params, TProgressRec& Progress) {
  WriteTiffPage(S, false, Bitmap, Progress, Params);
}

}  // namespace kv
