// Bitmap files in memory and the six palette reductions.
#include "components/graphics/kv_graph.h"

#include <algorithm>
#include <array>
#include <cstring>

#include "platform/rtl/exceptions.h"

namespace kv {

TColorReduction DefaultColorReduction = crHistogram;

namespace {

// Nearest-level tables for 4, 6, 7 and 8 levels; ties go to the lower level.
struct TLevelTables {
  std::array<uint8_t, 256> L4{}, L6{}, L7{}, L8{};
  TLevelTables() {
    Fill(L4, {0, 85, 170, 255});
    Fill(L6, {0, 51, 102, 153, 204, 255});
    Fill(L7, {0, 43, 85, 128, 170, 213, 255});
    Fill(L8, {0, 36, 73, 109, 146, 182, 219, 255});
  }
  template <size_t N>
  static void Fill(std::array<uint8_t, 256>& T, const uint8_t (&Levels)[N]) {
    for (int v = 0; v < 256; ++v) {
      size_t best = 0;
      for (size_t i = 1; i < N; ++i)
        if (std::abs(v - Levels[i]) < std::abs(v - Levels[best])) best = i;
      T[size_t(v)] = uint8_t(best);
    }
  }
};
const TLevelTables& Levels() {
  static const TLevelTables t;
  return t;
}
constexpr uint8_t kLevels6[] = {0, 51, 102, 153, 204, 255};
constexpr uint8_t kLevels7[] = {0, 43, 85, 128, 170, 213, 255};
constexpr uint8_t kLevels8[] = {0, 36, 73, 109, 146, 182, 219, 255};
constexpr uint8_t kLevels4[] = {0, 85, 170, 255};

void Put16(uint8_t* p, uint32_t v) {
  p[0] = uint8_t(v);
  p[1] = uint8_t(v >> 8);
}
void Put32(uint8_t* p, uint32_t v) {
  for (int i = 0; i < 4; ++i) p[i] = uint8_t(v >> (8 * i));
}

[[noreturn]] void NotImplemented() { throw EInvalidGraphicOperation(SNotImplemented); }

// Walks the 24-bit rows (BGR in memory) with the pixel position.
template <typename F>
void ForEachPixel(const TBitmap& Src, F&& Fn) {
  for (int32_t y = 0; y < Src.Height(); ++y) {
    const uint8_t* p = static_cast<const uint8_t*>(Src.ScanLine(y));
    for (int32_t x = 0; x < Src.Width(); ++x, p += 3) Fn(x, y, p[2], p[1], p[0]);
  }
}

void FillGrey128(TReducedPixels& Out, int32_t From) {
  for (int32_t i = From; i < 256; ++i) Out.Palette[i] = TPaletteEntry{128, 128, 128, 0};
}

void Trunc666(const TBitmap& Src, TReducedPixels& Out) {
  const TLevelTables& t = Levels();
  for (int32_t i = 0; i < 216; ++i) Out.Palette[i] = {kLevels6[i / 36], kLevels6[(i / 6) % 6], kLevels6[i % 6], 0};
  FillGrey128(Out, 216);
  uint8_t* dst = Out.Indexes.data();
  ForEachPixel(Src, [&](int32_t, int32_t, uint8_t r, uint8_t g, uint8_t b) {
    *dst++ = uint8_t(36 * t.L6[r] + 6 * t.L6[g] + t.L6[b]);
  });
  Out.ColorsUsed = 216;
}

void Trunc784(const TBitmap& Src, TReducedPixels& Out) {
  const TLevelTables& t = Levels();
  for (int32_t i = 0; i < 224; ++i) Out.Palette[i] = {kLevels7[i / 32], kLevels8[(i / 4) % 8], kLevels4[i % 4], 0};
  FillGrey128(Out, 224);
  uint8_t* dst = Out.Indexes.data();
  ForEachPixel(Src, [&](int32_t, int32_t, uint8_t r, uint8_t g, uint8_t b) {
    *dst++ = uint8_t(32 * t.L7[r] + 4 * t.L8[g] + t.L4[b]);
  });
  Out.ColorsUsed = 224;
}

void Tripel(const TBitmap& Src, TReducedPixels& Out) {
  for (int32_t i = 0; i < 64; ++i) {
    const uint8_t v = uint8_t(4 * i);
    Out.Palette[i] = {v, 0, 0, 0};
    Out.Palette[64 + i] = {0, v, 0, 0};
    Out.Palette[128 + i] = {0, 0, v, 0};
  }
  uint8_t* dst = Out.Indexes.data();
  ForEachPixel(Src, [&](int32_t x, int32_t y, uint8_t r, uint8_t g, uint8_t b) {
    switch ((x + y) % 3) {
      case 0: *dst++ = uint8_t(r >> 2); break;
      case 1: *dst++ = uint8_t((g >> 2) + 64); break;
      default: *dst++ = uint8_t((b >> 2) + 128); break;
    }
  });
}

void Grayscale(const TBitmap& Src, TReducedPixels& Out) {
  for (int32_t i = 0; i < 256; ++i) Out.Palette[i] = {uint8_t(i), uint8_t(i), uint8_t(i), 0};
  uint8_t* dst = Out.Indexes.data();
  ForEachPixel(Src, [&](int32_t, int32_t, uint8_t r, uint8_t g, uint8_t b) {
    *dst++ = uint8_t((77 * r + 150 * g + 29 * b) >> 8);
  });
}

// Popularity: the most frequent colours, counted in a small open-addressed table.
class THistogram {
 public:
  static constexpr int32_t kSlots = 5191;
  static constexpr int32_t kMaxEntries = 2049;

  void Run(const TBitmap& Src, TReducedPixels& Out) {
    while (!Count(Src)) DropBit();
    // The wanted number of most frequent colours; the first of equal counts wins.
    std::vector<int32_t> order;
    for (int32_t s = 0; s < kSlots; ++s)
      if (FKey[s] >= 0) order.push_back(s);
    std::stable_sort(order.begin(), order.end(), [&](int32_t a, int32_t b) { return FCount[a] > FCount[b]; });
    const int32_t used = std::min<int32_t>(256, int32_t(order.size()));
    for (int32_t i = 0; i < used; ++i) {
      const uint32_t c = uint32_t(FKey[order[size_t(i)]]);
      Out.Palette[i] = {uint8_t(c), uint8_t(c >> 8), uint8_t(c >> 16), 0};
    }
    FillGrey128(Out, used);
    for (int32_t s = 0; s < kSlots; ++s) {
      if (FKey[s] < 0) continue;
      const uint32_t c = uint32_t(FKey[s]);
      const int32_t r = c & 0xFF, g = (c >> 8) & 0xFF, b = (c >> 16) & 0xFF;
      int32_t best = 0, bestDist = INT32_MAX;
      for (int32_t i = 0; i < used && bestDist != 0; ++i) {
        const TPaletteEntry& e = Out.Palette[i];
        const int32_t d = (r - e.peRed) * (r - e.peRed) + (g - e.peGreen) * (g - e.peGreen) +
                          (b - e.peBlue) * (b - e.peBlue);
        if (d < bestDist) bestDist = d, best = i;
      }
      FIndex[s] = uint8_t(best);
    }
    uint8_t* dst = Out.Indexes.data();
    ForEachPixel(Src, [&](int32_t, int32_t, uint8_t r, uint8_t g, uint8_t b) {
      *dst++ = FIndex[Find(uint8_t(r & FMask[0]), uint8_t(g & FMask[1]), uint8_t(b & FMask[2]))];
    });
  }
  uint8_t Mask(int32_t Channel) const { return FMask[Channel]; }

 private:
  static int32_t Hash(int32_t r, int32_t g, int32_t b) { return ((r + g) * (b + g) * (r + b)) % kSlots; }
  // The slot holding the colour, or the empty slot where it belongs.
  int32_t Find(uint8_t r, uint8_t g, uint8_t b) const {
    const int32_t key = int32_t(r) | (int32_t(g) << 8) | (int32_t(b) << 16);
    int32_t s = Hash(r, g, b);
    while (FKey[s] >= 0 && FKey[s] != key) s = s == kSlots - 1 ? 0 : s + 1;
    return s;
  }
  bool Count(const TBitmap& Src) {
    std::fill(std::begin(FKey), std::end(FKey), -1);
    std::fill(std::begin(FCount), std::end(FCount), 0);
    int32_t entries = 0;
    for (int32_t y = 0; y < Src.Height(); ++y) {
      const uint8_t* p = static_cast<const uint8_t*>(Src.ScanLine(y));
      for (int32_t x = 0; x < Src.Width(); ++x, p += 3) {
        const uint8_t r = p[2] & FMask[0], g = p[1] & FMask[1], b = p[0] & FMask[2];
        const int32_t s = Find(r, g, b);
        if (FKey[s] < 0) {
          if (++entries > kMaxEntries) return false;
          FKey[s] = int32_t(r) | (int32_t(g) << 8) | (int32_t(b) << 16);
        }
        ++FCount[s];
      }
    }
    return true;
  }
  // One more low bit off one channel, in the order blue, red, green.
  void DropBit() {
    static constexpr int32_t kOrder[3] = {2, 0, 1};
    uint8_t& m = FMask[kOrder[FDrops % 3]];
    m = uint8_t(m << 1);
    ++FDrops;
  }

  uint8_t FMask[3] = {255, 255, 255};  // red, green, blue
  int32_t FDrops = 0;
  int32_t FKey[kSlots];
  int32_t FCount[kSlots];
  uint8_t FIndex[kSlots];
};

// Median cut over 4096 cells of 4 bits per channel.
class TMedianCut {
 public:
  void Run(const TBitmap& Src, TReducedPixels& Out) {
    std::vector<uint32_t> hist(4096, 0);
    ForEachPixel(Src, [&](int32_t, int32_t, uint8_t r, uint8_t g, uint8_t b) { ++hist[Cell(r, g, b)]; });
    std::vector<uint16_t> cells;
    for (uint16_t c = 0; c < 4096; ++c)
      if (hist[c]) cells.push_back(c);
    std::vector<TBox> boxes;
    if (!cells.empty()) boxes.push_back(MakeBox(cells, 0, int32_t(cells.size()), hist));
    while (boxes.size() < 256) {
      int32_t pick = -1, pickLen = -1, pickChannel = 0;
      for (size_t i = 0; i < boxes.size(); ++i) {
        const TBox& bx = boxes[i];
        if (bx.Count < 2) continue;
        for (int32_t ch = 0; ch < 3; ++ch)
          if (bx.Max[ch] - bx.Min[ch] > pickLen) pick = int32_t(i), pickLen = bx.Max[ch] - bx.Min[ch], pickChannel = ch;
      }
      if (pick < 0) break;
      const TBox bx = boxes[size_t(pick)];
      auto first = cells.begin() + bx.First, last = first + bx.Count;
      std::stable_sort(first, last, [&](uint16_t a, uint16_t b) {
        return Channel(a, pickChannel) < Channel(b, pickChannel);
      });
      // Split where the running pixel count passes half of the box's pixels.
      uint64_t run = 0;
      int32_t split = 1;
      for (int32_t i = 0; i < bx.Count - 1; ++i) {
        run += hist[cells[size_t(bx.First + i)]];
        split = i + 1;
        if (run * 2 >= bx.Pixels) break;
      }
      boxes[size_t(pick)] = MakeBox(cells, bx.First, split, hist);
      boxes.push_back(MakeBox(cells, bx.First + split, bx.Count - split, hist));
    }
    std::vector<uint8_t> boxOf(4096, 0);
    for (size_t i = 0; i < boxes.size(); ++i) {
      const TBox& bx = boxes[i];
      uint32_t sum[3] = {0, 0, 0};
      for (int32_t k = 0; k < bx.Count; ++k) {
        const uint16_t c = cells[size_t(bx.First + k)];
        for (int32_t ch = 0; ch < 3; ++ch) sum[ch] += Channel(c, ch);
        boxOf[c] = uint8_t(i);
      }
      uint8_t v[3];
      for (int32_t ch = 0; ch < 3; ++ch) v[ch] = uint8_t((sum[ch] * 16 + 15) / uint32_t(bx.Count));
      if (v[0] <= 16 && v[1] <= 16 && v[2] <= 16) v[0] = v[1] = v[2] = 0;
      Out.Palette[i] = {v[0], v[1], v[2], 0};
    }
    uint8_t* dst = Out.Indexes.data();
    ForEachPixel(Src, [&](int32_t, int32_t, uint8_t r, uint8_t g, uint8_t b) { *dst++ = boxOf[Cell(r, g, b)]; });
    Out.ColorsUsed = uint32_t(boxes.size());
  }

 private:
  struct TBox {
    int32_t First = 0, Count = 0;
    uint64_t Pixels = 0;
    int32_t Min[3] = {15, 15, 15}, Max[3] = {0, 0, 0};
  };
  static uint16_t Cell(uint8_t r, uint8_t g, uint8_t b) { return uint16_t(((r >> 4) << 8) | ((g >> 4) << 4) | (b >> 4)); }
  static int32_t Channel(uint16_t Cell, int32_t Ch) { return (Cell >> (8 - 4 * Ch)) & 15; }
  static TBox MakeBox(const std::vector<uint16_t>& Cells, int32_t First, int32_t Count, const std::vector<uint32_t>& Hist) {
    TBox b;
    b.First = First;
    b.Count = Count;
    for (int32_t i = 0; i < Count; ++i) {
      const uint16_t c = Cells[size_t(First + i)];
      b.Pixels += Hist[c];
      for (int32_t ch = 0; ch < 3; ++ch) {
        b.Min[ch] = std::min(b.Min[ch], Channel(c, ch));
        b.Max[ch] = std::max(b.Max[ch], Channel(c, ch));
      }
    }
    return b;
  }
};

// File header, 40-byte info header and a table of Palette.size() entries
// (1 << Bits of them for indexed files), ready for the rows.
std::unique_ptr<TMemoryStream> StartFile(int32_t Width, int32_t Height, int32_t Bits,
                                         const TPaletteEntry* Palette, int32_t TableEntries, uint32_t ColorsUsed) {
  const int64_t info = 40 + 4 * int64_t(TableEntries);
  const int64_t imageSize = int64_t(ScanLineBytes(Width, Bits, 32)) * Height;
  const int64_t offset = 14 + info;
  if (offset + imageSize > INT32_MAX) throw EInvalidGraphicOperation(SNotImplemented);
  std::vector<uint8_t> head(size_t(offset), 0);
  uint8_t* p = head.data();
  p[0] = 'B';
  p[1] = 'M';
  Put32(p + 2, uint32_t(offset + imageSize));
  Put32(p + 10, uint32_t(offset));
  uint8_t* ih = p + 14;
  Put32(ih, 40);
  Put32(ih + 4, uint32_t(Width));
  Put32(ih + 8, uint32_t(Height));
  Put16(ih + 12, 1);
  Put16(ih + 14, uint32_t(Bits));
  Put32(ih + 20, uint32_t(imageSize));
  Put32(ih + 32, ColorsUsed);
  for (int32_t i = 0; i < TableEntries; ++i) {
    uint8_t* q = ih + 40 + 4 * i;
    q[0] = Palette[i].peBlue;
    q[1] = Palette[i].peGreen;
    q[2] = Palette[i].peRed;
  }
  auto s = std::make_unique<TMemoryStream>();
  s->SetSize(offset + imageSize);
  s->SetPosition(0);
  s->WriteBuffer(head.data(), int32_t(head.size()));
  return s;
}

std::unique_ptr<TMemoryStream> OwnStream(const TBitmap& Bitmap) {
  auto s = std::make_unique<TMemoryStream>();
  const_cast<TBitmap&>(Bitmap).SaveToStream(*s);
  s->SetPosition(0);
  return s;
}

}  // namespace

int32_t RowBytes(int32_t Bits) { return int32_t((int64_t(Bits) + 31) / 32 * 4); }

int32_t ScanLineBytes(int32_t Pixels, int32_t BitsPerPixel, int32_t AlignBits) {
  const int64_t a = std::max(1, AlignBits);
  return int32_t(((int64_t(Pixels) * BitsPerPixel + a - 1) & ~(a - 1)) / 8);
}

int32_t FormatColors(TPixelFormat PixelFormat) {
  switch (PixelFormat) {
    case pf1bit: return 2;
    case pf4bit: return 16;
    case pf8bit: return 256;
    default: return 0;
  }
}

void ReducePixels(const TBitmap& Source, TColorReduction Method, TReducedPixels& Out) {
  if (Source.PixelFormat() != pf24bit) NotImplemented();
  Out.Width = Source.Width();
  Out.Height = Source.Height();
  Out.ColorsUsed = 0;
  std::fill(std::begin(Out.Palette), std::end(Out.Palette), TPaletteEntry{});
  Out.Indexes.assign(size_t(Out.Width) * size_t(Out.Height), 0);
  switch (Method) {
    case crHistogram: std::make_unique<THistogram>()->Run(Source, Out); break;
    case crMedianCut: TMedianCut().Run(Source, Out); break;
    case crTrunc784: Trunc784(Source, Out); break;
    case crTrunc666: Trunc666(Source, Out); break;
    case crTripel: Tripel(Source, Out); break;
    case crGrayscale: Grayscale(Source, Out); break;
    default: NotImplemented();
  }
}

std::unique_ptr<TMemoryStream> BitmapToDIBStream(const TBitmap& Bitmap, TPixelFormat PixelFormat,
                                                 TColorReduction Method) {
  if (Bitmap.Empty() || !Bitmap.Bits()) throw EInvalidGraphic(SInvalidBitmap);
  if (Bitmap.PixelFormat() == PixelFormat && Method != crGrayscale) return OwnStream(Bitmap);
  switch (PixelFormat) {
    case pf1bit:
    case pf4bit: {
      // Nearest entry of the format's standard palette, as the system's own conversion does.
      TBitmap tmp;
      tmp.Assign(&Bitmap);
      tmp.SetPixelFormat(PixelFormat);
      return OwnStream(tmp);
    }
    case pf8bit:
    case pf24bit: break;
    default: NotImplemented();
  }
  TBitmap src;
  src.Assign(&Bitmap);
  if (src.PixelFormat() != pf24bit) src.SetPixelFormat(pf24bit);
  if (PixelFormat == pf24bit && Method != crGrayscale) return OwnStream(src);

  TReducedPixels red;
  ReducePixels(src, Method, red);
  const int32_t w = red.Width, h = red.Height;
  if (PixelFormat == pf24bit) {
    // Grey at 24 bits: each pixel's palette colour written out in full.
    auto s = StartFile(w, h, 24, nullptr, 0, 0);
    std::vector<uint8_t> row(size_t(ScanLineBytes(w, 24, 32)), 0);
    for (int32_t y = h - 1; y >= 0; --y) {
      const uint8_t* idx = red.Indexes.data() + size_t(y) * size_t(w);
      for (int32_t x = 0; x < w; ++x) {
        const TPaletteEntry& e = red.Palette[idx[x]];
        row[size_t(3 * x)] = e.peBlue;
        row[size_t(3 * x + 1)] = e.peGreen;
        row[size_t(3 * x + 2)] = e.peRed;
      }
      s->WriteBuffer(row.data(), int32_t(row.size()));
    }
    s->SetPosition(0);
    return s;
  }
  auto s = StartFile(w, h, 8, red.Palette, 256, red.ColorsUsed);
  std::vector<uint8_t> row(size_t(ScanLineBytes(w, 8, 32)), 0);
  for (int32_t y = h - 1; y >= 0; --y) {
    std::memcpy(row.data(), red.Indexes.data() + size_t(y) * size_t(w), size_t(w));
    s->WriteBuffer(row.data(), int32_t(row.size()));
  }
  s->SetPosition(0);
  return s;
}

std::unique_ptr<TMemoryStream> ReduceToColors(const TBitmap& Bitmap, int32_t Colors) {
  TPixelFormat f = pf8bit;
  if (Colors <= 2) f = pf1bit;
  else if (Colors <= 16) f = pf4bit;
  else if (Colors > 256) f = pf24bit;
  return BitmapToDIBStream(Bitmap, f, DefaultColorReduction);
}

}  // namespace kv
