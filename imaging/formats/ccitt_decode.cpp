// Fax decoding works on the changing elements of a row (where a run of the
// other colour starts) rather than on pixels: two-dimensional codes are
// defined on them, and a row is painted from them in whole bytes at the end.
#include <algorithm>
#include <cstring>

#include "imaging/formats/ccitt.h"
#include "imaging/formats/ccitt_codes.h"
#include "imaging/model/pixel.h"

namespace kv {

namespace {

constexpr int32_t kEndOfData = -3;
constexpr int32_t kEolFound = -2;
constexpr int32_t kMaxRun = 1 << 24;

uint8_t ReverseBits(uint8_t b) {
  b = uint8_t((b >> 4) | (b << 4));
  b = uint8_t(((b & 0xCC) >> 2) | ((b & 0x33) << 2));
  return uint8_t(((b & 0xAA) >> 1) | ((b & 0x55) << 1));
}

}  // namespace

TCcittDecoder::TCcittDecoder(const uint8_t* Data, int32_t Size, int32_t Width, int32_t Compression,
                             uint32_t Options, int32_t FillOrder)
    : FData(Data),
      FSize(std::max(Size, 0)),
      FEnd(uint64_t(std::max(Size, 0)) * 8),
      FWidth(std::max(Width, 1)),
      FCompression(Compression),
      FOptions(Options) {
  if (FillOrder == 2) {
    FReversed.resize(size_t(FSize));
    for (int64_t i = 0; i < FSize; ++i) FReversed[size_t(i)] = ReverseBits(Data[i]);
    FData = FReversed.data();
  }
  FRef.assign(3, FWidth);  // the row above the first is white
  FCur.reserve(size_t(FWidth) + 4);
}

// The next Bits (at most 25) bits from Pos; bits past the strip read as zero.
uint32_t TCcittDecoder::PeekAt(uint64_t Pos, int32_t Bits) const {
  const int64_t at = int64_t(Pos >> 3);
  uint32_t v;
  if (at + 4 <= FSize) {
    v = (uint32_t(FData[at]) << 24) | (uint32_t(FData[at + 1]) << 16) | (uint32_t(FData[at + 2]) << 8) |
        uint32_t(FData[at + 3]);
  } else {
    v = 0;
    for (int64_t i = 0; i < 4; ++i) v = (v << 8) | (at + i < FSize ? FData[at + i] : 0u);
  }
  return (v << (Pos & 7)) >> (32 - Bits);
}

// How many zero bits follow, counting no further than Limit or the strip's end.
int32_t TCcittDecoder::ZerosAhead(int32_t Limit) const {
  int32_t zeros = 0;
  uint64_t pos = FPos;
  while (zeros < Limit && pos < FEnd) {
    const uint32_t v = PeekAt(pos, 24);
    if (v != 0) {
      zeros += __builtin_clz(v) - 8;
      break;
    }
    zeros += 24;
    pos += 24;
  }
  return std::min(zeros, Limit);
}

bool TCcittDecoder::AtEol() const {
  if (FPos >= FEnd || Peek(12) > 1) return false;
  const int32_t zeros = ZerosAhead(1 << 30);
  return zeros >= 11 && FPos + uint64_t(zeros) < FEnd;
}

void TCcittDecoder::SkipEol() { FPos += uint64_t(ZerosAhead(1 << 30)) + 1; }

// One run of Colour (makeup codes and a terminating code), kEolFound with the
// end-of-line code left in place, or kEndOfData.
int32_t TCcittDecoder::ReadRun(int32_t Colour) {
  const ccitt::TRunSlot* table = ccitt::Tables().Runs[Colour];
  int32_t total = 0;
  for (;;) {
    if (FPos >= FEnd) return kEndOfData;
    const ccitt::TRunSlot& slot = table[Peek(ccitt::kRunBits)];
    if (slot.Len != 0 && slot.Run != ccitt::kEolRun) {
      FPos += slot.Len;
      total = std::min(total + slot.Run, kMaxRun);
      if (slot.Run < 64) return total;
      continue;
    }
    if (AtEol()) return kEolFound;
    ++FPos;  // no code starts here: skip a bit and try again
  }
}

bool TCcittDecoder::Push(int32_t X) {
  if (FCur.size() > size_t(FWidth) + 1) return false;  // only corrupt data gets here
  FCur.push_back(X);
  return true;
}

// Count pixels of Colour at X: a change is recorded when the colour differs.
void TCcittDecoder::Put(int32_t& X, int32_t Count, int32_t Colour, int32_t& Current) {
  if (Count <= 0) return;
  if (Colour != Current) {
    Push(X);
    Current = Colour;
  }
  X = std::min(X + Count, FWidth);
}

// Uncompressed mode: each group of zeros ended by a one is a pixel pattern.
void TCcittDecoder::Uncompressed(int32_t& A0, int32_t& Colour) {
  int32_t x = std::max(A0, 0);
  while (FPos < FEnd && x < FWidth) {
    const int32_t zeros = ZerosAhead(12);
    if (zeros > 10) break;  // an end of line: leave it for the row loop
    FPos += uint64_t(zeros) + 1;
    if (zeros <= 4) {
      Put(x, zeros, 0, Colour);
      Put(x, 1, 1, Colour);
    } else if (zeros == 5) {
      Put(x, 5, 0, Colour);
    } else {
      Put(x, zeros - 6, 0, Colour);
      const int32_t next = FPos < FEnd ? int32_t(Peek(1)) : 0;
      ++FPos;
      if (next != Colour) {
        Push(x);
        Colour = next;
      }
      break;
    }
  }
  A0 = x;
}

void TCcittDecoder::DecodeOneD() {
  int32_t a0 = 0;
  int32_t colour = 0;
  bool started = false;
  while (a0 < FWidth) {
    if (FPos < FEnd && Peek(12) == 0x0F) {
      FPos += 12;  // the extension code of uncompressed mode
      Uncompressed(a0, colour);
      started = true;
      continue;
    }
    const int32_t run = ReadRun(colour);
    if (run == kEolFound) {
      if (!started) {
        SkipEol();  // an end of line before the row starts
        continue;
      }
      break;  // ends the row; left for the next one, and black runs on to the edge
    }
    if (run == kEndOfData) {
      if (colour == 1) Push(a0);  // what the data does not cover stays white
      break;
    }
    started = true;
    a0 = std::min(a0 + run, FWidth);
    if (!Push(a0)) break;
    colour ^= 1;
  }
}

int32_t TCcittDecoder::FindB1(int32_t A0, int32_t Colour) {
  size_t j = FRefIndex;
  while (j > 0 && FRef[j - 1] > A0) --j;
  while (FRef[j] <= A0 || int32_t(j & 1) != Colour) ++j;
  FRefIndex = j;
  return FRef[j];
}

void TCcittDecoder::DecodeTwoD() {
  const ccitt::TTables& t = ccitt::Tables();
  int32_t a0 = -1;  // before the first pixel
  int32_t colour = 0;
  FRefIndex = 0;
  while (a0 < FWidth) {
    if (FPos >= FEnd) {
      if (colour == 1) Push(std::max(a0, 0));
      return;
    }
    const ccitt::TModeSlot& m = t.Modes[Peek(7)];
    switch (m.Mode) {
      case ccitt::mdVertical: {
        FPos += m.Len;
        const int32_t b1 = FindB1(a0, colour);
        const int32_t a1 = std::clamp(b1 + m.Delta, std::max(a0, 0), FWidth);
        if (!Push(a1)) return;
        colour ^= 1;
        a0 = a1;
        break;
      }
      case ccitt::mdPass: {
        FPos += m.Len;
        FindB1(a0, colour);
        a0 = FRef[FRefIndex + 1];
        break;
      }
      case ccitt::mdHorizontal: {
        FPos += m.Len;
        const int32_t r1 = ReadRun(colour);
        const int32_t r2 = r1 >= 0 ? ReadRun(colour ^ 1) : r1;
        if (r2 < 0) {
          if (r2 == kEndOfData && colour == 1) Push(std::max(a0, 0));
          return;
        }
        const int32_t a1 = std::min(std::max(a0, 0) + r1, FWidth);
        const int32_t a2 = std::min(a1 + r2, FWidth);
        if (!Push(a1) || !Push(a2)) return;
        a0 = a2;
        break;
      }
      case ccitt::mdExtension:
        FPos += 10;
        Uncompressed(a0, colour);
        break;
      default:
        if (AtEol()) return;  // ends the row and is read again at the next one
        ++FPos;
        break;
    }
  }
}

void TCcittDecoder::DecodeRow(uint8_t* Row) {
  FCur.clear();
  if (FCompression == 2) {
    if (!FFirstRow) FPos = (FPos + 7) & ~uint64_t(7);
    DecodeOneD();
  } else if (FCompression == 3) {
    bool oneD = (FOptions & kT4TwoD) == 0 || FFirstRow;
    while (AtEol()) {
      SkipEol();
      if (FOptions & kT4TwoD) {
        oneD = FPos < FEnd && Peek(1) == 1;
        ++FPos;
      }
    }
    if (oneD) DecodeOneD();
    else DecodeTwoD();
  } else {
    DecodeTwoD();
  }
  FFirstRow = false;

  const size_t bytes = (size_t(FWidth) + 7) / 8;
  std::memset(Row, 0xFF, bytes);
  const size_t n = FCur.size();
  for (size_t k = 0; k < n; k += 2) {
    const int32_t from = std::min(FCur[k], FWidth);
    const int32_t to = k + 1 < n ? std::min(FCur[k + 1], FWidth) : FWidth;
    if (to > from) FillBitRun(Row, from, to - 1, false);
  }
  FRef.swap(FCur);
  FRef.insert(FRef.end(), 3, FWidth);
}

}  // namespace kv
