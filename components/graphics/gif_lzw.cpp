#include "components/graphics/gif_lzw.h"

#include <algorithm>
#include <cstring>

#include "components/graphics/gif_texts.h"
#include "platform/rtl/exceptions.h"

namespace kv {

std::vector<int32_t> InterlacedRowOrder(int32_t Height) {
  std::vector<int32_t> rows;
  rows.reserve(size_t(std::max(0, Height)));
  static constexpr int32_t kStart[4] = {0, 4, 2, 1}, kStep[4] = {8, 8, 4, 2};
  for (int32_t pass = 0; pass < 4; ++pass)
    for (int32_t y = kStart[pass]; y < Height; y += kStep[pass]) rows.push_back(y);
  return rows;
}

namespace {

constexpr int32_t kMaxCodes = 4096;

// The data bytes of the sub-blocks, without their length bytes. A sub-block
// longer than what is left is cut short and flagged.
std::vector<uint8_t> JoinSubBlocks(const uint8_t* p, size_t n, bool& Short) {
  std::vector<uint8_t> out;
  out.reserve(n);
  size_t i = 0;
  while (i < n) {
    const size_t len = p[i++];
    if (len == 0) return out;
    const size_t take = std::min(len, n - i);
    out.insert(out.end(), p + i, p + i + take);
    i += take;
    if (take < len) break;
  }
  Short = true;  // no terminator met
  return out;
}

class TBitReader {
 public:
  explicit TBitReader(const std::vector<uint8_t>& Data) : FData(Data) {}
  // -1 when the data run out.
  int32_t Next(int32_t Width) {
    while (FBits < Width) {
      if (FPos >= FData.size()) return -1;
      FAcc |= uint32_t(FData[FPos++]) << FBits;
      FBits += 8;
    }
    const int32_t code = int32_t(FAcc & ((1u << Width) - 1));
    FAcc >>= Width;
    FBits -= Width;
    return code;
  }
  int32_t Percent() const { return FData.empty() ? 100 : int32_t(uint64_t(FPos) * 100 / FData.size()); }

 private:
  const std::vector<uint8_t>& FData;
  size_t FPos = 0;
  uint32_t FAcc = 0;
  int32_t FBits = 0;
};

class TBitWriter {
 public:
  explicit TBitWriter(std::vector<uint8_t>& Out) : FOut(Out) {}
  void Put(int32_t Code, int32_t Width) {
    FAcc |= uint64_t(uint32_t(Code)) << FBits;
    FBits += Width;
    while (FBits >= 8) {
      FBlock[FCount++] = uint8_t(FAcc);
      FAcc >>= 8;
      FBits -= 8;
      if (FCount == 255) Flush();  // 2040 bits fill one sub-block
    }
  }
  void Finish() {
    if (FBits > 0) {
      FBlock[FCount++] = uint8_t(FAcc);
      FBits = 0;
      if (FCount == 255) Flush();
    }
    if (FCount > 0) Flush();
    FOut.push_back(0);
  }

 private:
  void Flush() {
    FOut.push_back(uint8_t(FCount));
    FOut.insert(FOut.end(), FBlock, FBlock + FCount);
    FCount = 0;
  }
  std::vector<uint8_t>& FOut;
  uint64_t FAcc = 0;
  int32_t FBits = 0;
  uint8_t FBlock[255];
  int32_t FCount = 0;
};

}  // namespace

TGifDecodeResult GifLzwDecode(const uint8_t* Coded, size_t Size, int32_t Width, int32_t Height, bool Interlaced,
                              bool Tolerant, uint8_t* Pixels, const TGifCoderProgress& Progress) {
  TGifDecodeResult res;
  auto damaged = [&](const char* Text) {
    if (!Tolerant) throw EInvalidGraphicOperation(Text);
    res.Corrupt = true;
  };
  if (Width <= 0 || Height <= 0) return res;
  if (Size == 0) {
    damaged(SGIFDecodeError);
    return res;
  }
  int32_t m = Coded[0];
  if (m < 2 || m > 9) {
    damaged(SGIFCodeSize);
    m = std::clamp(m, 2, 9);
  }
  bool shortData = false;
  const std::vector<uint8_t> data = JoinSubBlocks(Coded + 1, Size - 1, shortData);
  if (shortData) res.Corrupt = true;

  const std::vector<int32_t> rows = Interlaced ? InterlacedRowOrder(Height) : std::vector<int32_t>();
  const int32_t clear = 1 << m, eoi = clear + 1;
  std::vector<uint16_t> prefix(kMaxCodes, 0);
  std::vector<uint8_t> suffix(kMaxCodes, 0);
  std::vector<uint8_t> stack(kMaxCodes + 1);
  int32_t width = m + 1, next = clear + 2, prev = -1;
  uint8_t first = 0;
  bool full = false;

  int32_t row = 0, x = 0;
  uint8_t* line = Pixels + size_t(Interlaced ? rows[0] : 0) * size_t(Width);
  int32_t lastPercent = -1;
  auto emit = [&](const uint8_t* s, int32_t n) {
    for (int32_t i = 0; i < n && row < Height; ++i) {
      line[x] = s[i];
      if (++x == Width) {
        x = 0;
        if (++row < Height) line = Pixels + size_t(Interlaced ? rows[size_t(row)] : row) * size_t(Width);
      }
    }
  };

  TBitReader in(data);
  while (row < Height) {
    const int32_t code = in.Next(width);
    if (code < 0) {
      res.Corrupt = true;  // data ended before the picture did
      break;
    }
    if (code == eoi) break;
    if (code == clear) {
      width = m + 1;
      next = clear + 2;
      full = false;
      prev = -1;
      continue;
    }
    if (Progress && in.Percent() != lastPercent) Progress(lastPercent = in.Percent());
    if (prev < 0) {
      // The first code after a clear is a root value.
      if (code > clear) {
        damaged(SGIFDecodeError);
        break;
      }
      first = uint8_t(code);
      emit(&first, 1);
      prev = code;
      continue;
    }
    // A code beyond the next free one would index past what the table holds.
    if (code > next || (code == next && full)) {
      damaged(SGIFDecodeError);
      break;
    }
    int32_t sp = 0, c = code;
    if (code == next) {
      stack[size_t(sp++)] = first;  // the previous string plus its own first character
      c = prev;
    }
    int32_t steps = 0;
    while (c > eoi) {
      if (++steps > kMaxCodes) break;
      stack[size_t(sp++)] = suffix[size_t(c)];
      c = prefix[size_t(c)];
    }
    if (steps > kMaxCodes || c == clear || c == eoi) {
      damaged(SGIFDecodeError);
      break;
    }
    first = uint8_t(c);
    stack[size_t(sp++)] = first;
    std::reverse(stack.begin(), stack.begin() + sp);
    emit(stack.data(), sp);
    if (!full) {
      prefix[size_t(next)] = uint16_t(prev);
      suffix[size_t(next)] = first;
      ++next;
      if (next == (1 << width)) {
        if (width < 12) ++width;
        else full = true;
      }
    }
    prev = code;
  }
  if (Progress) Progress(100);
  return res;
}

std::vector<uint8_t> GifLzwEncode(const uint8_t* Pixels, int32_t Width, int32_t Height, int32_t BitCount,
                                  bool Interlaced, const TGifCoderProgress& Progress) {
  constexpr int32_t kSlots = 17777;
  struct TEntry {
    int32_t Prefix = -1;
    int32_t Code = 0;
    uint8_t Suffix = 0;
  };
  const int32_t initWidth = BitCount == 1 ? 3 : BitCount + 1;
  const int32_t clear = 1 << (initWidth - 1), eoi = clear + 1;
  std::vector<uint8_t> out;
  out.push_back(uint8_t(initWidth - 1));
  TBitWriter bits(out);
  std::vector<TEntry> table(kSlots);
  int32_t width = initWidth, next = clear + 2;
  auto reset = [&] {
    std::fill(table.begin(), table.end(), TEntry{});
    width = initWidth;
    next = clear + 2;
  };
  bits.Put(clear, width);

  int32_t cur = -1, len = 0;
  int64_t hash = 0;
  const std::vector<int32_t> rows = Interlaced ? InterlacedRowOrder(Height) : std::vector<int32_t>();
  for (int32_t r = 0; r < Height; ++r) {
    const uint8_t* line = Pixels + size_t(Interlaced ? rows[size_t(r)] : r) * size_t(Width);
    for (int32_t x = 0; x < Width; ++x) {
      const uint8_t e = line[x];
      if (cur < 0) {
        cur = e;
        len = 1;
        hash = int64_t(e) * 301 + 903;
        continue;
      }
      int64_t h = ((int64_t(e) + len + 5) * hash) % kSlots;
      int32_t slot = int32_t(h);
      while (table[size_t(slot)].Prefix >= 0 &&
             !(table[size_t(slot)].Prefix == cur && table[size_t(slot)].Suffix == e))
        slot = slot == kSlots - 1 ? 0 : slot + 1;
      if (table[size_t(slot)].Prefix >= 0) {
        cur = table[size_t(slot)].Code;
        ++len;
        hash = h;
        continue;
      }
      bits.Put(cur, width);
      const int32_t assigned = next++;
      table[size_t(slot)] = TEntry{cur, assigned, e};
      cur = e;
      len = 1;
      hash = int64_t(e) * 301 + 903;
      if (assigned == (1 << width)) {
        ++width;
      } else if (assigned > 4093) {
        bits.Put(cur, width);
        bits.Put(clear, width);
        reset();
        cur = -1;
      }
    }
    if (Progress) Progress(int32_t(int64_t(r + 1) * 100 / Height));
  }
  if (cur >= 0) bits.Put(cur, width);
  bits.Put(eoi, width);
  bits.Finish();
  return out;
}

}  // namespace kv
