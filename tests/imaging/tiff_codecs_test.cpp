// The byte codecs under the TIFF reader and writer: LZW, PackBits and fax coding.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <random>
#include <vector>

#include "imaging/formats/ccitt.h"
#include "imaging/formats/packbits.h"
#include "imaging/formats/tiff_lzw.h"
#include "platform/rtl/streams.h"

namespace kv {
namespace {

std::vector<uint8_t> LzwEncode(const std::vector<uint8_t>& Data, size_t Chunk) {
  TMemoryStream out;
  void* state = nullptr;
  for (size_t i = 0; i < Data.size(); i += Chunk)
    TiffLzwEncode(Data.data() + i, int32_t(std::min(Chunk, Data.size() - i)), out, state);
  TiffLzwEncode(nullptr, 0, out, state);
  EXPECT_EQ(state, nullptr);
  const auto* p = static_cast<const uint8_t*>(out.Memory());
  return {p, p + out.Size()};
}

// The strip decoded into a buffer of Length bytes; what is not produced stays
// 0xEE so that a short result shows. Empty on a corrupt stream.
std::vector<uint8_t> LzwDecode(const std::vector<uint8_t>& Code, int32_t Length, int32_t* Produced = nullptr) {
  std::vector<uint8_t> out(size_t(Length), 0xEE);
  const int32_t n = TiffLzwDecode(Code.data(), int32_t(Code.size()), out.data(), Length);
  if (Produced) *Produced = n;
  if (n < 0) return {};
  return out;
}

// Codes of the given widths, most significant bit first, padded with zeros.
std::vector<uint8_t> PackCodes(const std::vector<std::pair<uint32_t, int>>& Codes) {
  std::vector<uint8_t> out;
  uint64_t acc = 0;
  int bits = 0;
  for (auto [code, width] : Codes) {
    acc = (acc << width) | code;
    bits += width;
    while (bits >= 8) out.push_back(uint8_t(acc >> (bits -= 8)));
  }
  if (bits) out.push_back(uint8_t(acc << (8 - bits)));
  return out;
}

TEST(TiffLzw, RoundTripsAcrossRowsAndTableClears) {
  std::mt19937 rng(7);
  std::vector<uint8_t> random(100000);
  for (auto& b : random) b = uint8_t(rng());
  std::vector<uint8_t> smooth(300000);  // long strings, codes of up to 12 bits
  for (size_t i = 0; i < smooth.size(); ++i) smooth[i] = uint8_t((i / 7) % 5 + (i % 1000 < 3 ? rng() % 4 : 0));
  std::vector<uint8_t> same(5000, 0xAB);
  for (const std::vector<uint8_t>* data : {&random, &smooth, &same}) {
    const auto code = LzwEncode(*data, 1000);
    EXPECT_EQ(LzwEncode(*data, data->size()), code) << "row calls continue one code stream";
    EXPECT_EQ(LzwDecode(code, int32_t(data->size())), *data);
    // A buffer shorter than the data takes what fits, without writing past it.
    auto part = LzwDecode(code, int32_t(data->size() / 3));
    EXPECT_TRUE(std::equal(part.begin(), part.end(), data->begin()));
  }
}

TEST(TiffLzw, RandomDataClearsTheTable) {
  std::mt19937 rng(1);
  std::vector<uint8_t> random(100000);
  for (auto& b : random) b = uint8_t(rng());
  const auto code = LzwEncode(random, random.size());
  // Decode codes by hand: count clear codes after the first.
  int clears = 0;
  uint64_t pos = 0;
  int width = 9;
  int count = 258;
  bool first = true;
  while (pos + width <= code.size() * 8) {
    uint32_t v = 0;
    for (int i = 0; i < width; ++i, ++pos) v = (v << 1) | ((code[pos >> 3] >> (7 - (pos & 7))) & 1);
    if (v == 257) break;
    if (v == 256) {
      clears += first ? 0 : 1;
      width = 9;
      count = 258;
      first = true;
      continue;
    }
    if (!first && ++count >= 511) width = count >= 2047 ? 12 : count >= 1023 ? 11 : 10;
    first = false;
  }
  EXPECT_GE(clears, 1);
  EXPECT_EQ(LzwDecode(code, int32_t(random.size())), random);
}

TEST(TiffLzw, WidthGrowsWhenTheTableReaches511) {
  // Clear, 254 single bytes at 9 bits (each adds an entry after the first:
  // 253 entries, count 511), then the next code is 10 bits wide.
  std::vector<std::pair<uint32_t, int>> codes{{256, 9}};
  std::vector<uint8_t> expect;
  for (int i = 0; i < 254; ++i) {
    codes.push_back({uint32_t(i), 9});
    expect.push_back(uint8_t(i));
  }
  codes.push_back({258, 10});  // entry 258 is bytes 0, 1
  codes.push_back({257, 10});
  expect.push_back(0);
  expect.push_back(1);
  EXPECT_EQ(LzwDecode(PackCodes(codes), int32_t(expect.size())), expect);
  // Our encoder widens at the same point: a decoder that widened one code
  // later would misread this stream.
  EXPECT_EQ(LzwDecode(LzwEncode(expect, expect.size()), int32_t(expect.size())), expect);
}

TEST(TiffLzw, CorruptAndShortStreams) {
  int32_t n = 0;
  // A code past the table's end, and a table code right after a clear.
  EXPECT_TRUE(LzwDecode(PackCodes({{256, 9}, {65, 9}, {300, 9}}), 4, &n).empty());
  EXPECT_EQ(n, -1);
  EXPECT_TRUE(LzwDecode(PackCodes({{256, 9}, {258, 9}}), 2).empty());
  // An end code before the bytes asked for, and data that stops: fewer bytes.
  EXPECT_EQ(LzwDecode(PackCodes({{256, 9}, {65, 9}, {257, 9}, {66, 9}}), 3, &n)[0], 65);
  EXPECT_EQ(n, 1);
  EXPECT_EQ(LzwDecode(PackCodes({{256, 9}, {65, 9}, {66, 9}}), 4, &n)[1], 66);
  EXPECT_EQ(n, 2);
  LzwDecode({}, 3, &n);
  EXPECT_EQ(n, 0);
}

// A stream cut at every length, each copy exactly as long as the cut (so a
// read past the data shows under the address checker): the decoder gives a
// prefix of the data that grows with the cut, as far as whole codes reach.
TEST(TiffLzw, StreamsCutAnywhereGiveAPrefix) {
  std::mt19937 rng(3);
  std::vector<uint8_t> data(6000);
  for (size_t i = 0; i < data.size(); ++i) data[i] = uint8_t(i % 300 < 150 ? (i / 3) % 7 : rng() % 3);
  const auto code = LzwEncode(data, data.size());
  int32_t last = 0;
  for (size_t cut = 0; cut <= code.size(); ++cut) {
    const std::vector<uint8_t> part(code.begin(), code.begin() + std::ptrdiff_t(cut));
    int32_t n = 0;
    const auto out = LzwDecode(part, int32_t(data.size()), &n);
    ASSERT_GE(n, last) << cut;
    ASSERT_TRUE(std::equal(out.begin(), out.begin() + n, data.begin())) << cut;
    last = n;
  }
  EXPECT_EQ(last, int32_t(data.size()));
}

// The string not yet in the table (a byte run) at every place the output may
// end: nothing is written past the buffer, and what fits is right.
TEST(TiffLzw, RunsCutByTheOutputBuffer) {
  // Clear, 'A', then 258 ("AA"), 259 ("AAA"), 260 ("AAAA"): each is the code
  // being defined, 10 bytes of 'A' in all.
  const auto code = PackCodes({{256, 9}, {65, 9}, {258, 9}, {259, 9}, {260, 9}, {257, 9}});
  for (int32_t length = 1; length <= 12; ++length) {
    int32_t n = 0;
    const auto out = LzwDecode(code, length, &n);
    EXPECT_EQ(n, std::min(length, 10)) << length;
    EXPECT_EQ(std::count(out.begin(), out.end(), 'A'), std::min(length, 10)) << length;
  }
}

TEST(PackBits, CodingAndRoundTrip) {
  struct {
    std::vector<uint8_t> In, Code;
  } cases[] = {
      {{1, 2, 3}, {2, 1, 2, 3}},
      {{7, 7, 7, 7}, {uint8_t(-3), 7}},
      {{7, 7, 7, 1}, {3, 7, 7, 7, 1}},  // runs under 4 stay literal
      {{1, 5, 5, 5, 5, 5, 2}, {0, 1, uint8_t(-4), 5, 0, 2}},
  };
  for (auto& c : cases) {
    std::vector<uint8_t> code;
    PackBitsEncode(c.In.data(), int32_t(c.In.size()), code);
    EXPECT_EQ(code, c.Code);
  }
  std::vector<uint8_t> mixed(1000);
  for (size_t i = 0; i < mixed.size(); ++i) mixed[i] = i % 300 < 200 ? 9 : uint8_t(i * 37);
  std::vector<uint8_t> code;
  PackBitsEncode(mixed.data(), int32_t(mixed.size()), code);
  std::vector<uint8_t> back(mixed.size());
  EXPECT_EQ(PackBitsDecode(code.data(), int32_t(code.size()), back.data(), int32_t(back.size())),
            int32_t(code.size()));
  EXPECT_EQ(back, mixed);
}

TEST(PackBits, DecodingStaysInsideBothBuffers) {
  const uint8_t code[] = {0x80, uint8_t(-126), 4, 5, 1, 2};  // no-op, 127 x 4, a literal cut short
  std::vector<uint8_t> out(10, 0xEE);
  EXPECT_EQ(PackBitsDecode(code, 3, out.data(), 5), 3);
  EXPECT_EQ(out, (std::vector<uint8_t>{4, 4, 4, 4, 4, 0xEE, 0xEE, 0xEE, 0xEE, 0xEE}));
  EXPECT_EQ(PackBitsDecode(code + 3, 3, out.data(), 4), 3);  // literal of 6 with 2 bytes left
  EXPECT_EQ(out, (std::vector<uint8_t>{1, 2, 0, 0, 4, 0xEE, 0xEE, 0xEE, 0xEE, 0xEE}));
}

// Rows of black-is-one pixels, the encoder's convention.
using TRows = std::vector<std::vector<uint8_t>>;

TRows SampleRows(int32_t Width, int32_t Height) {
  std::mt19937 rng(3);
  TRows rows(size_t(Height), std::vector<uint8_t>((size_t(Width) + 7) / 8));
  for (int32_t y = 0; y < Height; ++y)
    for (int32_t x = 0; x < Width; ++x) {
      const bool disc = (x - 40) * (x - 40) + (y - 30) * (y - 30) < 400;
      const bool bar = x > 90 && x < 95 + y % 7;
      const bool noise = y > 50 && rng() % 9 == 0;
      const bool wide = y == 5 && x > 3;  // one run across the whole row
      if (disc || bar || noise || wide) rows[size_t(y)][size_t(x) / 8] |= uint8_t(0x80 >> (x % 8));
    }
  return rows;
}

std::vector<uint8_t> Encode(const TRows& Rows, int32_t Width, int32_t Compression, bool TwoD) {
  TCcittEncoder enc(Width, Compression, TwoD);
  for (auto& r : Rows) enc.EncodeRow(r.data());
  enc.Finish();
  return enc.Out;
}

TRows Decode(const std::vector<uint8_t>& Data, int32_t Width, int32_t Height, int32_t Compression,
             uint32_t Options, int32_t FillOrder = 1) {
  TCcittDecoder dec(Data.data(), int32_t(Data.size()), Width, Compression, Options, FillOrder);
  TRows rows(size_t(Height), std::vector<uint8_t>((size_t(Width) + 7) / 8));
  for (auto& r : rows) {
    dec.DecodeRow(r.data());
    for (auto& b : r) b = uint8_t(~b);  // back to black-is-one
    if (Width % 8) r.back() &= uint8_t(0xFF << (8 - Width % 8));
  }
  return rows;
}

TEST(Ccitt, EveryCodingRoundTrips) {
  for (int32_t width : {1, 7, 133, 2700}) {
    const TRows rows = SampleRows(width, 90);
    struct {
      int32_t Compression;
      bool TwoD;
      uint32_t Options;
    } kinds[] = {{2, false, 0}, {3, false, 0}, {3, true, kT4TwoD}, {4, true, 0}};
    for (auto k : kinds)
      EXPECT_EQ(Decode(Encode(rows, width, k.Compression, k.TwoD), width, 90, k.Compression, k.Options), rows)
          << width << " " << k.Compression << " " << k.TwoD;
  }
}

TEST(Ccitt, RunCodesOfTheStandard) {
  // An all-white row of 1728: makeup 1728 (010011011), terminating 0 (00110101), padded.
  std::vector<uint8_t> white(216, 0);
  EXPECT_EQ(Encode({white}, 1728, 2, false), (std::vector<uint8_t>{0x4D, 0x9A, 0x80}));
  // 6000 black after one white pixel: white 1 (000111), then black 2560, 2560,
  // makeup 832 (0000001001101) and terminating 48 (000001100100).
  std::vector<uint8_t> black(751, 0xFF);
  black[0] = 0x7F;
  const auto code = Encode({black}, 6001, 2, false);
  std::string bits;
  for (uint8_t b : code)
    for (int i = 7; i >= 0; --i) bits += char('0' + ((b >> i) & 1));
  EXPECT_EQ(bits.substr(0, 6 + 12 + 12 + 13 + 12),
            "000111" "000000011111" "000000011111" "0000001001101" "000001100100");
}

TEST(Ccitt, GroupThreeWithAndWithoutEndOfLines) {
  const int32_t width = 64;
  const TRows rows = SampleRows(width, 20);
  // Our writer's rows each start with an end of line.
  const auto withEol = Encode(rows, width, 3, false);
  // Rows one after the other without any, as some writers do: no code run
  // holds eleven zeros, so dropping every end of line leaves the bare rows.
  std::string bits;
  for (uint8_t b : withEol)
    for (int i = 7; i >= 0; --i) bits += char('0' + ((b >> i) & 1));
  for (size_t at; (at = bits.find("000000000001")) != std::string::npos;) bits.erase(at, 12);
  std::vector<uint8_t> bare((bits.size() + 7) / 8);
  for (size_t i = 0; i < bits.size(); ++i) bare[i / 8] |= uint8_t((bits[i] - '0') << (7 - i % 8));
  // Byte-aligned end-of-line codes behind fill bits.
  std::vector<uint8_t> filled;
  for (auto& r : rows) {
    TCcittEncoder one(width, 2, false);
    one.EncodeRow(r.data());
    filled.insert(filled.end(), {0x00, 0x01});
    filled.insert(filled.end(), one.Out.begin(), one.Out.end());
  }
  EXPECT_EQ(Decode(bare, width, 20, 3, 0), rows);
  EXPECT_EQ(Decode(withEol, width, 20, 3, 0), rows);
  EXPECT_EQ(Decode(filled, width, 20, 3, kT4FillBits), rows);
}

TEST(Ccitt, FillOrderTwoMatchesItsReversedTwin) {
  const TRows rows = SampleRows(200, 40);
  const auto code = Encode(rows, 200, 4, true);
  std::vector<uint8_t> reversed(code);
  for (auto& b : reversed) {
    uint8_t r = 0;
    for (int i = 0; i < 8; ++i) r = uint8_t(r | (((b >> i) & 1) << (7 - i)));
    b = r;
  }
  EXPECT_EQ(Decode(reversed, 200, 40, 4, 0, 2), rows);
}

TEST(Ccitt, GarbageNeverLeavesTheRowOrTheStrip) {
  std::mt19937 rng(5);
  for (int trial = 0; trial < 200; ++trial) {
    std::vector<uint8_t> junk(size_t(rng() % 64));
    for (auto& b : junk) b = uint8_t(rng() % 3 == 0 ? 0 : rng());
    for (int32_t c : {2, 3, 4}) {
      const uint32_t options = c == 3 ? rng() % 8 : 0;
      Decode(junk, 1 + int32_t(rng() % 300), 12, c, options, 1 + int32_t(rng() % 2));
    }
  }
  // A strip that stops inside a row leaves the rest of the page white.
  const TRows rows = SampleRows(120, 60);
  auto code = Encode(rows, 120, 4, true);
  code.resize(code.size() / 2);
  const TRows cut = Decode(code, 120, 60, 4, 0);
  EXPECT_EQ(cut.front(), rows.front());
  EXPECT_EQ(cut.back(), std::vector<uint8_t>(15, 0));
}

}  // namespace
}  // namespace kv
