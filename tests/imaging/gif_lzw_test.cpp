// The GIF LZW coder on its own: round trips over depths, sizes and patterns,
// the packet limit, interlaced row order, deferred clear codes and corrupt
// code streams.
#include <gtest/gtest.h>

#include <cstdint>
#include <map>
#include <random>
#include <vector>

#include "imaging/formats/gif_lzw.h"
#include "platform/rtl/streams.h"

namespace kv {
namespace {

std::vector<uint8_t> Encode(int32_t W, int32_t H, int32_t Bits, const std::vector<uint8_t>& Px, bool Interlaced) {
  TMemoryStream s;
  GifLzwEncode(s, H, W, Bits, Px.data(), Interlaced);
  const auto* p = static_cast<const uint8_t*>(s.Memory());
  return {p, p + s.Size()};
}

// Decodes Data into a W x H buffer that starts as 0xEE; Moved tells whether
// the decoder took the data (success) or put the stream back.
std::vector<uint8_t> Decode(const std::vector<uint8_t>& Data, int32_t W, int32_t H, bool Interlaced, bool& Moved) {
  TReadOnlyMemoryStream s(Data.data(), int64_t(Data.size()));
  std::vector<uint8_t> out(size_t(W) * size_t(H), 0xEE);
  GifLzwDecode(s, H, W, out.data(), Interlaced);
  Moved = s.Position() != 0;
  return out;
}

std::vector<uint8_t> Pattern(int32_t W, int32_t H, int32_t Bits, int Kind) {
  std::mt19937 rng(uint32_t(W * 31 + H * 7 + Bits + Kind));
  std::vector<uint8_t> px(size_t(W) * size_t(H));
  const uint32_t mask = (1u << Bits) - 1;
  for (size_t i = 0; i < px.size(); ++i) {
    switch (Kind) {
      case 0: px[i] = uint8_t(rng() & mask); break;           // noise: the table fills and clears
      case 1: px[i] = uint8_t((i / 5000) & mask); break;      // long runs: successively longer strings
      default: px[i] = uint8_t(((i % size_t(W)) / 3 + i / size_t(W)) & mask); break;
    }
  }
  return px;
}

// Sub-block lengths of encoded data, after the code size byte.
std::vector<int> Blocks(const std::vector<uint8_t>& D) {
  std::vector<int> sizes;
  for (size_t i = 1; i < D.size();) {
    sizes.push_back(D[i]);
    if (D[i] == 0) break;
    i += size_t(D[i]) + 1;
  }
  return sizes;
}

TEST(GifLzw, RoundTripsEveryDepthSizeAndPattern) {
  struct TCase { int32_t W, H; };
  for (const TCase c : {TCase{1, 1}, TCase{7, 1}, TCase{1, 2}, TCase{3, 5}, TCase{300, 200}})
    for (int32_t bits = 1; bits <= 8; ++bits)
      for (int kind = 0; kind < 3; ++kind)
        for (bool interlaced : {false, true}) {
          const auto px = Pattern(c.W, c.H, bits, kind);
          const auto data = Encode(c.W, c.H, bits, px, interlaced);
          ASSERT_EQ(data[0], std::max(2, bits));
          for (int n : Blocks(data)) ASSERT_LE(n, 254);
          ASSERT_EQ(Blocks(data).back(), 0);
          bool moved = false;
          const auto out = Decode(data, c.W, c.H, interlaced, moved);
          EXPECT_TRUE(moved);
          EXPECT_EQ(out, px) << c.W << 'x' << c.H << " bits " << bits << " kind " << kind << " il " << interlaced;
        }
}

TEST(GifLzw, OneBitStartsWithThreeBitClearCode) {
  const auto data = Encode(4, 1, 1, {0, 1, 1, 0}, false);
  ASSERT_GE(data.size(), 3u);
  EXPECT_EQ(data[0], 2);
  EXPECT_EQ(data[2] & 7, 4);  // the clear code 4 in the first three bits
}

TEST(GifLzw, InterlacedRowOrder) {
  std::vector<int32_t> rows;
  for (int32_t i = 0; i < 10; ++i) rows.push_back(GifInterlacedRow(i, 10));
  EXPECT_EQ(rows, (std::vector<int32_t>{0, 8, 4, 2, 6, 1, 3, 5, 7, 9}));
  EXPECT_EQ(GifInterlacedRow(0, 1), 0);
  EXPECT_EQ(GifInterlacedRow(1, 2), 1);
}

// A plain LZW coder that never sends a clear code once the table is full (a
// deferred clear): the table freezes and 12-bit codes go on.
std::vector<uint8_t> EncodeWithoutClears(const std::vector<uint8_t>& Px, int32_t CodeSize) {
  std::vector<uint8_t> bytes;
  uint32_t acc = 0;
  int bits = 0;
  int width = CodeSize + 1;
  const int clear = 1 << CodeSize;
  auto put = [&](int code) {
    acc |= uint32_t(code) << bits;
    bits += width;
    while (bits >= 8) bytes.push_back(uint8_t(acc)), acc >>= 8, bits -= 8;
  };
  std::map<std::pair<int, int>, int> table;
  int next = clear + 2;
  put(clear);
  int prefix = Px[0];
  for (size_t i = 1; i < Px.size(); ++i) {
    auto it = table.find({prefix, Px[i]});
    if (it != table.end()) {
      prefix = it->second;
      continue;
    }
    put(prefix);
    if (next < 4096) {
      table[{prefix, Px[i]}] = next;
      if (next == (1 << width) && width < 12) ++width;
      ++next;
    }
    prefix = Px[i];
  }
  put(prefix);
  put(clear + 1);
  if (bits) bytes.push_back(uint8_t(acc));
  std::vector<uint8_t> out{uint8_t(CodeSize)};
  for (size_t i = 0; i < bytes.size(); i += 200) {
    const size_t n = std::min<size_t>(200, bytes.size() - i);
    out.push_back(uint8_t(n));
    out.insert(out.end(), bytes.begin() + long(i), bytes.begin() + long(i + n));
  }
  out.push_back(0);
  return out;
}

TEST(GifLzw, DecodesPastAFullTableWithoutClearCode) {
  const auto px = Pattern(256, 160, 8, 0);  // noise fills 4096 codes long before the end
  const auto data = EncodeWithoutClears(px, 8);
  bool moved = false;
  EXPECT_EQ(Decode(data, 256, 160, false, moved), px);
  EXPECT_TRUE(moved);
}

TEST(GifLzw, CorruptStreamsPutTheStreamBack) {
  struct TCase {
    const char* Name;
    std::vector<uint8_t> Data;
  };
  const TCase cases[] = {
      {"code size 1", {1, 1, 0x00, 0}},
      {"code size 9", {9, 1, 0x00, 0}},
      {"code size 12", {12, 1, 0x00, 0}},
      {"code past the table", {2, 2, 0xCC, 0x01, 0}},       // clear 4, pixel 1, then 7 while 6 is next
      {"end after clear with data left", {2, 2, 0x2C, 0x00, 0}},
      {"empty stream", {}},
  };
  for (const TCase& c : cases) {
    bool moved = true;
    const auto out = Decode(c.Data, 2, 1, false, moved);
    EXPECT_FALSE(moved) << c.Name;
    EXPECT_EQ(out[1], 0xEE) << c.Name;
  }
}

TEST(GifLzw, ShortDataIsSuccessAndLeavesTheRest) {
  // Clear, end and nothing after: no pixels, but a valid stream.
  bool moved = false;
  auto out = Decode({2, 1, 0x2C, 0}, 2, 1, false, moved);
  EXPECT_TRUE(moved);
  EXPECT_EQ(out, (std::vector<uint8_t>{0xEE, 0xEE}));
  // Data cut off mid-picture (no 0 block either): the decoded pixels stay.
  const auto px = Pattern(40, 40, 4, 2);
  auto data = Encode(40, 40, 4, px, false);
  data.resize(data.size() / 2);
  out = Decode(data, 40, 40, false, moved);
  EXPECT_TRUE(moved);
  EXPECT_TRUE(std::equal(out.begin(), out.begin() + 100, px.begin()));
  EXPECT_EQ(out.back(), 0xEE);
}

TEST(GifLzw, LeavesTheStreamAfterTheZeroBlock) {
  auto data = Encode(5, 5, 3, Pattern(5, 5, 3, 0), false);
  const size_t end = data.size();
  data.push_back(0x3B);
  TReadOnlyMemoryStream s(data.data(), int64_t(data.size()));
  std::vector<uint8_t> out(25);
  GifLzwDecode(s, 5, 5, out.data(), false);
  EXPECT_EQ(s.Position(), int64_t(end));
}

// A stream that takes only a few bytes: the encoder's failed write must not pass unnoticed.
class TShortStream : public TMemoryStream {
 public:
  int32_t Write(const void* Buffer, int32_t Count) override {
    return TMemoryStream::Write(Buffer, std::min(Count, 10));
  }
};

TEST(GifLzw, FailedWriteRaises) {
  TShortStream s;
  const auto px = Pattern(64, 64, 8, 0);
  EXPECT_ANY_THROW(GifLzwEncode(s, 64, 64, 8, px.data(), false));
}

}  // namespace
}  // namespace kv
