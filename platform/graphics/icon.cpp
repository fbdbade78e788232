#include "platform/graphics/icon.h"

#include <algorithm>
#include <cstring>

#include "platform/graphics/canvas.h"
#include "platform/rtl/exceptions.h"
#include "platform/rtl/streams.h"

namespace kv {

namespace {

constexpr char kInvalidIcon[] = "Symbol ist ungültig";
constexpr int64_t kMaxIconBytes = int64_t(64) << 20;
[[noreturn]] void Invalid() { throw EInvalidGraphic(kInvalidIcon); }

uint16_t U16(const uint8_t* p) { return uint16_t(p[0] | (p[1] << 8)); }
uint32_t U32(const uint8_t* p) {
  return uint32_t(p[0]) | (uint32_t(p[1]) << 8) | (uint32_t(p[2]) << 16) | (uint32_t(p[3]) << 24);
}
void Put16(std::vector<uint8_t>& v, uint32_t x) {
  v.push_back(uint8_t(x));
  v.push_back(uint8_t(x >> 8));
}
void Put32(std::vector<uint8_t>& v, uint32_t x) {
  for (int i = 0; i < 4; ++i) v.push_back(uint8_t(x >> (8 * i)));
}

struct TDecoded {
  std::unique_ptr<TBitmap> Image;
  std::vector<uint8_t> Mask;
  int32_t Bits = 0;
};

// One directory entry's image: a 40-byte header with the doubled height,
// colour table, XOR rows and AND rows, all bottom-up.
TDecoded DecodeImage(const uint8_t* p, size_t n) {
  if (n < 40 || U32(p) < 40 || U32(p) > n) Invalid();
  const int32_t hdr = int32_t(U32(p));
  const int32_t w = int32_t(U32(p + 4));
  const int32_t h2 = int32_t(U32(p + 8));
  const int32_t bits = U16(p + 14);
  const uint32_t comp = U32(p + 16);
  uint32_t used = U32(p + 32);
  if (w <= 0 || w > 1024 || h2 <= 0 || h2 > 2048 || comp != 0) Invalid();
  const int32_t h = h2 / 2;
  if (h <= 0) Invalid();
  if (bits != 1 && bits != 4 && bits != 8 && bits != 24 && bits != 32) Invalid();
  if (bits <= 8 && (used == 0 || used > (1u << bits))) used = 1u << bits;
  if (bits > 8) used = 0;
  size_t off = size_t(hdr);
  if (off + size_t(used) * 4 > n) Invalid();
  const uint8_t* table = p + off;
  off += size_t(used) * 4;
  const size_t xorRow = size_t((int64_t(w) * bits + 31) / 32 * 4), andRow = size_t((w + 31) / 32 * 4);
  if (off + xorRow * size_t(h) > n) Invalid();
  const uint8_t* xorBits = p + off;
  off += xorRow * size_t(h);
  const bool haveAnd = off + andRow * size_t(h) <= n;
  const uint8_t* andBits = haveAnd ? p + off : nullptr;

  TDecoded d;
  d.Bits = bits;
  d.Image = std::make_unique<TBitmap>();
  d.Image->AllocateForOverwrite(w, h, pf24bit);
  d.Mask.assign(size_t(w) * size_t(h), 0);
  bool anyAlpha = false;
  if (bits == 32)
    for (int32_t y = 0; y < h && !anyAlpha; ++y)
      for (int32_t x = 0; x < w; ++x)
        if (xorBits[size_t(y) * xorRow + size_t(x) * 4 + 3]) { anyAlpha = true; break; }
  for (int32_t y = 0; y < h; ++y) {
    const uint8_t* src = xorBits + size_t(h - 1 - y) * xorRow;
    const uint8_t* msk = andBits ? andBits + size_t(h - 1 - y) * andRow : nullptr;
    uint8_t* dst = static_cast<uint8_t*>(d.Image->ScanLine(y));
    for (int32_t x = 0; x < w; ++x) {
      uint32_t idx = 0;
      uint8_t b = 0, g = 0, r = 0;
      switch (bits) {
        case 1: idx = (src[x >> 3] >> (7 - (x & 7))) & 1; break;
        case 4: idx = (x & 1) ? src[x >> 1] & 15 : src[x >> 1] >> 4; break;
        case 8: idx = src[x]; break;
        case 24: b = src[3 * x], g = src[3 * x + 1], r = src[3 * x + 2]; break;
        default: b = src[4 * x], g = src[4 * x + 1], r = src[4 * x + 2]; break;
      }
      if (bits <= 8 && idx < used) b = table[4 * idx], g = table[4 * idx + 1], r = table[4 * idx + 2];
      dst[3 * x] = b;
      dst[3 * x + 1] = g;
      dst[3 * x + 2] = r;
      bool clear = msk && ((msk[x >> 3] >> (7 - (x & 7))) & 1);
      if (bits == 32 && anyAlpha) clear = src[4 * x + 3] < 128;
      d.Mask[size_t(y) * size_t(w) + size_t(x)] = clear ? 1 : 0;
    }
  }
  return d;
}

}  // namespace

TIcon::TIcon() = default;
TIcon::~TIcon() = default;

bool TIcon::IsTransparentPixel(int32_t X, int32_t Y) const {
  if (!FImage || X < 0 || Y < 0 || X >= Width() || Y >= Height()) return true;
  return FMask[size_t(Y) * size_t(Width()) + size_t(X)] != 0;
}

void TIcon::LoadFromStream(TStream& Stream) {
  const int64_t avail = Stream.Size() - Stream.Position();
  if (avail <= 0) {
    Assign(nullptr);
    return;
  }
  if (avail > kMaxIconBytes) Invalid();
  std::vector<uint8_t> data(static_cast<size_t>(avail));
  Stream.ReadBuffer(data.data(), int32_t(avail));
  if (data.size() < 6 || U16(data.data()) != 0 || U16(data.data() + 2) != 1) Invalid();
  const size_t count = U16(data.data() + 4);
  if (count == 0 || 6 + count * 16 > data.size()) Invalid();
  // The largest image, the deepest among equals.
  size_t best = count;
  int64_t bestArea = -1;
  int32_t bestBits = -1;
  for (size_t i = 0; i < count; ++i) {
    const uint8_t* e = data.data() + 6 + i * 16;
    const uint32_t size = U32(e + 8), off = U32(e + 12);
    if (off < 6 + count * 16 || uint64_t(off) + size > data.size() || size < 40) Invalid();
    const int64_t area = int64_t(e[0] ? e[0] : 256) * (e[1] ? e[1] : 256);
    const int32_t bits = U16(data.data() + off + 14);
    if (area > bestArea || (area == bestArea && bits > bestBits)) best = i, bestArea = area, bestBits = bits;
  }
  const uint8_t* e = data.data() + 6 + best * 16;
  TDecoded d = DecodeImage(data.data() + U32(e + 12), U32(e + 8));
  FData = std::move(data);
  FImage = std::move(d.Image);
  FMask = std::move(d.Mask);
  FBitCount = d.Bits;
  Changed();
}

void TIcon::FromBitmap(const TBitmap& Image, TColor MaskColor) {
  if (Image.Empty()) {
    Assign(nullptr);
    return;
  }
  const int32_t w = Image.Width(), h = Image.Height();
  if (w > 256 || h > 256) throw EInvalidGraphic(kInvalidIcon);
  const size_t xorRow = size_t((w * 24 + 31) / 32 * 4), andRow = size_t((w + 31) / 32 * 4);
  const uint32_t bytes = uint32_t(40 + (xorRow + andRow) * size_t(h));
  std::vector<uint8_t> f;
  Put16(f, 0), Put16(f, 1), Put16(f, 1);
  f.push_back(uint8_t(w & 0xFF)), f.push_back(uint8_t(h & 0xFF)), f.push_back(0), f.push_back(0);
  Put16(f, 1), Put16(f, 24), Put32(f, bytes), Put32(f, 22);
  Put32(f, 40), Put32(f, uint32_t(w)), Put32(f, uint32_t(2 * h)), Put16(f, 1), Put16(f, 24);
  for (int i = 0; i < 6; ++i) Put32(f, 0);
  const TColorRef key = MaskColor == clNone ? 0xFFFFFFFFu : ColorToRGB(MaskColor);
  std::vector<uint8_t> andBits(andRow * size_t(h), 0);
  for (int32_t y = h - 1; y >= 0; --y) {
    std::vector<uint8_t> row(xorRow, 0);
    for (int32_t x = 0; x < w; ++x) {
      const TColorRef c = ColorToRGB(Image.GetPixelColor(x, y));
      row[size_t(3 * x)] = GetBValue(c);
      row[size_t(3 * x + 1)] = GetGValue(c);
      row[size_t(3 * x + 2)] = GetRValue(c);
      if (c == key) andBits[size_t(h - 1 - y) * andRow + size_t(x >> 3)] |= uint8_t(0x80 >> (x & 7));
    }
    f.insert(f.end(), row.begin(), row.end());
  }
  f.insert(f.end(), andBits.begin(), andBits.end());
  TReadOnlyMemoryStream s(f.data(), int64_t(f.size()));
  LoadFromStream(s);
}

void TIcon::SaveToStream(TStream& Stream) {
  if (!FData.empty()) Stream.WriteBuffer(FData.data(), int32_t(FData.size()));
}

void TIcon::Draw(TCanvas& ACanvas, const TRect& Rect) {
  if (!FImage || Rect.Width() <= 0 || Rect.Height() <= 0) return;
  const int32_t w = Width(), h = Height();
  const TRect clip = ACanvas.ClipRect();
  TBitmap& target = ACanvas.Bitmap();
  for (int32_t y = std::max(Rect.Top, clip.Top); y < std::min(Rect.Bottom, clip.Bottom); ++y) {
    const int32_t sy = int32_t(int64_t(y - Rect.Top) * h / Rect.Height());
    const uint8_t* src = static_cast<const uint8_t*>(FImage->ScanLine(sy));
    const uint8_t* msk = FMask.data() + size_t(sy) * size_t(w);
    for (int32_t x = std::max(Rect.Left, clip.Left); x < std::min(Rect.Right, clip.Right); ++x) {
      const int32_t sx = int32_t(int64_t(x - Rect.Left) * w / Rect.Width());
      if (msk[sx]) continue;
      target.SetPixelColor(x, y, TColor(RGB(src[3 * sx + 2], src[3 * sx + 1], src[3 * sx])));
    }
  }
  target.NotifyChanged();
}

void TIcon::Assign(const TPersistent* Source) {
  if (!Source) {
    FData.clear();
    FImage.reset();
    FMask.clear();
    FBitCount = 0;
    Changed();
    return;
  }
  if (const auto* i = dynamic_cast<const TIcon*>(Source)) {
    if (i == this) return;
    FData = i->FData;
    FImage.reset();
    if (i->FImage) {
      FImage = std::make_unique<TBitmap>();
      FImage->Assign(i->FImage.get());
    }
    FMask = i->FMask;
    FBitCount = i->FBitCount;
    Changed();
    return;
  }
  TGraphic::Assign(Source);
}

}  // namespace kv
