// GIF LZW. The decoder gathers the sub-blocks into one buffer and decodes in
// stored row order into one run of pixels, so a table entry is just where its
// string was first written and how long it is (each new entry is the previous
// string plus one pixel, which is exactly what follows it in the output).
// Interlaced pictures decode into a scratch run and are then dealt out to
// their rows. The encoder is the hashed LZW of Unix compress.
#include "imaging/formats/gif_lzw.h"

#include <algorithm>
#include <cstring>
#include <memory>
#include <vector>

#include "imaging/formats/lzw_hooks.h"
#include "platform/rtl/streams.h"

namespace kv {

namespace {

constexpr int32_t kMaxCodes = 4096;
constexpr int32_t kMaxWidth = 12;

// The data sub-blocks after the code size byte, joined. Reads the stream in
// large pieces and gives back what lies past the 0 block, so a file stream
// costs a few reads rather than two per sub-block. Four zero bytes follow the
// data so that a code can always be fetched with one 32-bit load.
void ReadSubBlocks(TStream& S, std::vector<uint8_t>& Data) {
  constexpr int32_t kChunk = 1 << 16;
  std::unique_ptr<uint8_t[]> chunk(new uint8_t[kChunk]);
  int32_t need = 0;  // bytes left in the current sub-block; 0 when a size byte is due
  for (;;) {
    const int32_t n = S.Read(chunk.get(), kChunk);
    if (n <= 0) break;  // the data ends without its 0 block
    int32_t i = 0;
    bool done = false;
    while (i < n) {
      if (need == 0) {
        need = chunk[size_t(i++)];
        if (need == 0) {
          done = true;
          break;
        }
      }
      const int32_t take = std::min(need, n - i);
      Data.insert(Data.end(), chunk.get() + i, chunk.get() + i + take);
      i += take;
      need -= take;
    }
    if (done) {
      if (i < n) S.Seek(i - n, soCurrent);
      break;
    }
  }
  Data.insert(Data.end(), 4, 0);
}

class TGifLzwDecoder {
 public:
  TGifLzwDecoder(const std::vector<uint8_t>& Data, int32_t MinCodeSize, uint8_t* Out, int64_t Total)
      : FData(Data.data()),
        FBitEnd((uint64_t(Data.size()) - 4) * 8),
        FClear(1u << MinCodeSize),
        FMinWidth(MinCodeSize + 1),
        FOut(Out),
        FTotal(Total) {}

  // False for a corrupt code stream. Decoding ends with success at the end
  // code, when the data is used up, or when every pixel has been written.
  bool Run() {
    const uint32_t end = FClear + 1;
    Reset();
    bool havePrev = false;
    bool afterClear = false;
    int64_t prevPos = 0;
    uint32_t prevLen = 0;
    uint32_t code;
    while (FFill < FTotal && ReadCode(code)) {
      if (code == FClear) {
        Reset();
        havePrev = false;
        afterClear = true;
        continue;
      }
      if (code == end) {
        // An end code straight after a clear code, with bytes still to come,
        // is a damaged stream rather than an empty picture.
        return !(afterClear && !havePrev && (FBitPos + 7) / 8 < FBitEnd / 8);
      }
      const int64_t pos = FFill;
      uint32_t len;
      if (!havePrev) {
        // The first code after a clear is a single pixel; a table code here
        // has nothing to refer to and counts as pixel 0.
        FOut[pos] = code < FClear ? uint8_t(code) : 0;
        len = 1;
      } else if (code < FClear) {
        FOut[pos] = uint8_t(code);
        len = 1;
      } else if (code < FNext) {
        len = FLength[code];
        const int64_t n = std::min<int64_t>(len, FTotal - pos);
        std::memcpy(FOut + pos, FOut + FOffset[code], size_t(n));
      } else if (code == FNext && FNext < uint32_t(kMaxCodes)) {
        // The string not yet in the table: the previous one plus its own first pixel.
        len = prevLen + 1;
        const int64_t n = std::min<int64_t>(len, FTotal - pos);
        for (int64_t i = 0; i < n; ++i) FOut[pos + i] = FOut[prevPos + i];  // overlapping on purpose
      } else {
        return false;
      }
      if (havePrev && FNext < uint32_t(kMaxCodes)) {
        FOffset[FNext] = prevPos;
        FLength[FNext] = uint16_t(prevLen + 1);
        if (++FNext == FLimit && FWidth < kMaxWidth) {
          ++FWidth;
          FLimit <<= 1;
        }
      }
      havePrev = true;
      afterClear = false;
      prevPos = pos;
      prevLen = len;
      FFill = std::min<int64_t>(pos + len, FTotal);
    }
    return true;
  }

  int64_t Filled() const { return FFill; }

 private:
  void Reset() {
    FWidth = FMinWidth;
    FLimit = 1u << FWidth;
    FNext = FClear + 2;
  }

  bool ReadCode(uint32_t& Code) {
    if (FBitPos + uint64_t(FWidth) > FBitEnd) return false;
    const uint8_t* p = FData + (FBitPos >> 3);
    const uint32_t v = uint32_t(p[0]) | uint32_t(p[1]) << 8 | uint32_t(p[2]) << 16;
    Code = (v >> (FBitPos & 7)) & ((1u << FWidth) - 1);
    FBitPos += uint64_t(FWidth);
    return true;
  }

  const uint8_t* FData;
  uint64_t FBitEnd;
  uint64_t FBitPos = 0;
  uint32_t FClear;
  int32_t FMinWidth;
  int32_t FWidth = 0;
  uint32_t FLimit = 0;
  uint32_t FNext = 0;
  uint8_t* FOut;
  int64_t FTotal;
  int64_t FFill = 0;
  int64_t FOffset[kMaxCodes] = {};
  uint16_t FLength[kMaxCodes] = {};
};

// --- Encoder -----------------------------------------------------------------

constexpr int32_t kHashSize = 5003;  // prime, about 80 % occupancy with 4096 codes
constexpr int32_t kHashShift = 4;    // 8 - doublings of 5003 up to 65535

class TGifLzwEncoder {
 public:
  TGifLzwEncoder(TStream& S, int32_t CodeSize) : FS(S) {
    FInitWidth = CodeSize + 1;
    FClear = 1 << CodeSize;
    FEnd = FClear + 1;
    FWidth = FInitWidth;
    FMaxCode = (1 << FWidth) - 1;
    FNext = FClear + 2;
    FOut.reserve(kFlushAt + 512);
    FOut.push_back(uint8_t(CodeSize));
    FPacketStart = FOut.size();
    FOut.push_back(0);  // length byte of the first packet, set when it is closed
    ClearHash();
    Output(FClear);
  }

  void First(uint8_t C) { FPrefix = C; }

  void Next(uint8_t C) {
    const int32_t key = FPrefix + (int32_t(C) << 12);
    int32_t i = (int32_t(C) << kHashShift) ^ FPrefix;
    if (FKeys[i] == key) {
      FPrefix = FCodes[i];
      return;
    }
    if (FKeys[i] >= 0) {
      const int32_t disp = i == 0 ? 1 : kHashSize - i;
      do {
        i -= disp;
        if (i < 0) i += kHashSize;
        if (FKeys[i] == key) {
          FPrefix = FCodes[i];
          return;
        }
      } while (FKeys[i] > 0);
    }
    Output(FPrefix);
    if (FNext < kMaxCodes) {
      FKeys[i] = key;
      FCodes[i] = uint16_t(FNext++);
    } else {
      ClearHash();
      FNext = FClear + 2;
      FClearFlag = true;
      Output(FClear);
    }
    FPrefix = C;
  }

  // Ends the data: last prefix (when there were pixels), end code, the bits
  // left over, the last packet and the 0 block.
  void Finish(bool HadPixels) {
    if (HadPixels) Output(FPrefix);
    Output(FEnd);
    if (FBits > 0) PutByte(uint8_t(FAcc));
    ClosePacket();  // the length byte left open is 0: the block that ends the data
    FS.WriteBuffer(FOut.data(), int32_t(FOut.size()));
  }

 private:
  static constexpr size_t kPacket = 254;
  static constexpr size_t kFlushAt = 1 << 16;

  void ClearHash() { std::fill(std::begin(FKeys), std::end(FKeys), -1); }

  void Output(int32_t Code) {
    FAcc |= uint32_t(Code) << FBits;
    FBits += FWidth;
    while (FBits >= 8) {
      PutByte(uint8_t(FAcc));
      FAcc >>= 8;
      FBits -= 8;
    }
    if (FNext > FMaxCode || FClearFlag) {
      if (FClearFlag) {
        FWidth = FInitWidth;
        FMaxCode = (1 << FWidth) - 1;
        FClearFlag = false;
      } else {
        ++FWidth;
        FMaxCode = FWidth == kMaxWidth ? kMaxCodes : (1 << FWidth) - 1;
      }
    }
  }

  void PutByte(uint8_t B) {
    FOut.push_back(B);
    if (FOut.size() - FPacketStart - 1 == kPacket) ClosePacket();
  }

  // Sets the length byte of the open packet and opens the next one; an empty
  // packet stays open, so nothing empty is ever written.
  void ClosePacket() {
    const size_t len = FOut.size() - FPacketStart - 1;
    if (len == 0) return;
    FOut[FPacketStart] = uint8_t(len);
    if (FOut.size() >= kFlushAt) {
      FS.WriteBuffer(FOut.data(), int32_t(FOut.size()));
      FOut.clear();
    }
    FPacketStart = FOut.size();
    FOut.push_back(0);
  }

  TStream& FS;
  int32_t FInitWidth;
  int32_t FClear;
  int32_t FEnd;
  int32_t FWidth;
  int32_t FMaxCode;
  int32_t FNext;
  bool FClearFlag = false;
  int32_t FPrefix = 0;
  uint32_t FAcc = 0;
  int32_t FBits = 0;
  std::vector<uint8_t> FOut;
  size_t FPacketStart = 0;
  int32_t FKeys[kHashSize];
  uint16_t FCodes[kHashSize] = {};
};

}  // namespace

int32_t GifInterlacedRow(int32_t Index, int32_t Height) {
  const int32_t pass1 = (Height + 7) / 8, pass2 = (Height + 3) / 8, pass3 = (Height + 1) / 4;
  if (Index < pass1) return Index * 8;
  Index -= pass1;
  if (Index < pass2) return 4 + Index * 8;
  Index -= pass2;
  if (Index < pass3) return 2 + Index * 4;
  return 1 + (Index - pass3) * 2;
}

void GifLzwDecode(TStream& S, int32_t Height, int32_t Width, uint8_t* Indices, bool Interlaced) {
  const int64_t start = S.Position();
  uint8_t codeSize = 0;
  if (S.Read(&codeSize, 1) != 1 || codeSize < 2 || codeSize > 8) {
    S.SetPosition(start);
    return;
  }
  std::vector<uint8_t> data;
  // The data cannot be longer than what is left of the stream: one block
  // for it saves growing (and touching) a buffer again and again.
  data.reserve(size_t(std::clamp<int64_t>(S.Size() - S.Position(), 0, int64_t(1) << 28)) + 4);
  ReadSubBlocks(S, data);
  if (data.size() <= 4 || Width <= 0 || Height <= 0) return;  // no data: nothing to decode, not an error

  const int64_t total = int64_t(Width) * Height;
  std::unique_ptr<uint8_t[]> scratch;
  uint8_t* out = Indices;
  if (Interlaced) {
    scratch.reset(new uint8_t[size_t(total)]);
    out = scratch.get();
  }
  auto decoder = std::make_unique<TGifLzwDecoder>(data, codeSize, out, total);
  const bool ok = decoder->Run();
  if (!ok) {
    S.SetPosition(start);
    return;
  }
  if (Interlaced) {
    const int64_t filled = decoder->Filled();
    for (int32_t r = 0; int64_t(r) * Width < filled; ++r) {
      const int64_t n = std::min<int64_t>(Width, filled - int64_t(r) * Width);
      std::memcpy(Indices + int64_t(GifInterlacedRow(r, Height)) * Width, out + int64_t(r) * Width, size_t(n));
    }
  }
}

void GifLzwEncode(TStream& S, int32_t Height, int32_t Width, int32_t BitsPerPixel, const uint8_t* Indices,
                  bool Interlaced) {
  const int32_t bits = std::clamp(BitsPerPixel, 1, 8);
  const int32_t codeSize = std::max(2, bits);
  const uint8_t mask = uint8_t((1 << bits) - 1);  // an index past the table would be read as a control code
  auto enc = std::make_unique<TGifLzwEncoder>(S, codeSize);
  const bool any = Width > 0 && Height > 0;
  bool first = true;
  for (int32_t r = 0; any && r < Height; ++r) {
    const uint8_t* row = Indices + int64_t(Interlaced ? GifInterlacedRow(r, Height) : r) * Width;
    int32_t x = 0;
    if (first) {
      enc->First(row[0] & mask);
      first = false;
      x = 1;
    }
    for (; x < Width; ++x) enc->Next(row[x] & mask);
  }
  enc->Finish(any);
}

void InstallGifLzwHooks() {
  GifLzwDecoderHook = &GifLzwDecode;
  GifLzwEncoderHook = &GifLzwEncode;
}

}  // namespace kv
