// TIFF LZW. The decoder keeps the whole output of a strip in one buffer, so a
// table entry is just where its string was first written and how long it is:
// each new entry is the previous code's string plus the next byte, which is
// exactly the bytes already written at the previous code's position. Decoding
// a code is then one short copy from earlier output, and no string needs a
// buffer of its own. The encoder is the hashing compressor of the LZW family.
#include "imaging/formats/tiff_lzw.h"

#include <algorithm>
#include <cstring>
#include <memory>

#include "platform/rtl/streams.h"

namespace kv {

namespace {

constexpr uint32_t kClear = 256;
constexpr uint32_t kEnd = 257;
constexpr uint32_t kFirstFree = 258;
constexpr uint32_t kTableSize = 4096;

// Entries are (offset, length) into the output written so far.
class TLzwDecoder {
 public:
  TLzwDecoder(const uint8_t* Data, int32_t Size, uint8_t* Out, int32_t OutLength)
      : FData(Data), FSize(std::max(Size, 0)), FBitEnd(uint64_t(FSize) * 8), FOut(Out), FOutLength(OutLength) {}

  int32_t Run() {
    size_t prevPos = 0;
    uint32_t prevLen = 0;
    bool havePrev = false;
    uint32_t code;
    while (FFill < FOutLength && ReadCode(code) && code != kEnd) {
      if (code == kClear) {
        FCount = kFirstFree;
        FWidth = 9;
        havePrev = false;
        continue;
      }
      uint32_t len;
      const size_t pos = size_t(FFill);
      if (code < 256) {
        FOut[pos] = uint8_t(code);
        len = 1;
      } else if (!havePrev) {
        return -1;  // only a single byte may follow a clear
      } else if (code < FCount) {
        len = FLength[code];
        Copy(FOut + FOffset[code], FOut + pos, len);
      } else if (code == FCount) {
        // The string not yet in the table: the previous one plus its own first byte.
        len = prevLen + 1;
        const size_t n = std::min<size_t>(len, size_t(FOutLength) - pos);
        for (size_t i = 0; i < n; ++i) FOut[pos + i] = FOut[prevPos + i];  // overlapping on purpose
      } else {
        return -1;
      }
      if (havePrev) {
        if (FCount >= kTableSize) return -1;
        FOffset[FCount] = uint32_t(prevPos);
        FLength[FCount] = uint16_t(prevLen + 1);
        ++FCount;
        if (FCount == 511) FWidth = 10;
        else if (FCount == 1023) FWidth = 11;
        else if (FCount == 2047) FWidth = 12;
      }
      havePrev = true;
      prevPos = pos;
      prevLen = len;
      FFill = int32_t(std::min<int64_t>(int64_t(pos) + len, FOutLength));
    }
    return FFill;
  }

 private:
  // The code at the bit position, most significant bit first; it must lie wholly inside the data.
  bool ReadCode(uint32_t& Code) {
    if (FBitPos + FWidth > FBitEnd) return false;
    const int64_t at = int64_t(FBitPos >> 3);
    uint32_t v;
    if (at + 4 <= FSize) {
      v = (uint32_t(FData[at]) << 24) | (uint32_t(FData[at + 1]) << 16) | (uint32_t(FData[at + 2]) << 8) |
          uint32_t(FData[at + 3]);
    } else {
      v = 0;
      for (int64_t i = 0; i < 4; ++i) v = (v << 8) | (at + i < FSize ? FData[at + i] : 0u);
    }
    Code = (v << (FBitPos & 7)) >> (32 - FWidth);
    FBitPos += FWidth;
    return true;
  }

  // A table string to the end of the output. It lies wholly before Dst, so
  // short strings go as two 8-byte words (read before anything is written);
  // the bytes past Len are rewritten by the next string.
  void Copy(const uint8_t* Src, uint8_t* Dst, uint32_t Len) {
    const size_t room = size_t(FOut + FOutLength - Dst);
    if (Len <= 16 && room >= 16) {
      uint64_t a, b;
      std::memcpy(&a, Src, 8);
      std::memcpy(&b, Src + 8, 8);
      std::memcpy(Dst, &a, 8);
      std::memcpy(Dst + 8, &b, 8);
    } else {
      std::memcpy(Dst, Src, std::min<size_t>(Len, room));
    }
  }

  const uint8_t* FData;
  int64_t FSize;
  uint64_t FBitPos = 0;
  uint64_t FBitEnd;
  uint8_t* FOut;
  int32_t FOutLength;
  int32_t FFill = 0;
  uint32_t FWidth = 9;
  uint32_t FCount = kFirstFree;
  uint32_t FOffset[kTableSize];
  uint16_t FLength[kTableSize];
};

class TLzwEncoder {
 public:
  static constexpr int32_t kHashSize = 5003;
  static constexpr int32_t kHashShift = 4;
  TStream* Out = nullptr;
  uint32_t Acc = 0;
  uint32_t AccBits = 0;
  uint32_t Width = 9;
  uint32_t MaxCode = 511;
  uint32_t FreeCode = kFirstFree;
  int32_t Prefix = -1;  // none before the first byte
  int32_t HashKey[kHashSize];
  uint16_t HashCode[kHashSize];
  uint8_t Buf[4096];
  int32_t BufFill = 0;

  void ClearHash() { std::fill(std::begin(HashKey), std::end(HashKey), -1); }

  void Flush() {
    if (BufFill > 0) Out->WriteBuffer(Buf, BufFill);
    BufFill = 0;
  }

  void Emit(uint32_t Code) {
    Acc = (Acc << Width) | Code;
    AccBits += Width;
    while (AccBits >= 8) {
      AccBits -= 8;
      Buf[BufFill++] = uint8_t(Acc >> AccBits);
      if (BufFill == int32_t(sizeof Buf)) Flush();
    }
    // One code early, as the decoder widens when its table reaches 2^width - 1.
    if (FreeCode >= MaxCode && Width < 12) {
      ++Width;
      MaxCode = (1u << Width) - 1;
    }
  }

  void Encode(const uint8_t* Data, int32_t Length) {
    int32_t i = 0;
    if (Prefix < 0 && Length > 0) Prefix = Data[i++];
    for (; i < Length; ++i) {
      const int32_t c = Data[i];
      const int32_t key = (c << 12) + Prefix;
      int32_t slot = (c << kHashShift) ^ Prefix;
      if (HashKey[slot] == key) {
        Prefix = HashCode[slot];
        continue;
      }
      if (HashKey[slot] >= 0) {
        const int32_t step = slot == 0 ? 1 : kHashSize - slot;
        bool found = false;
        do {
          slot -= step;
          if (slot < 0) slot += kHashSize;
          if (HashKey[slot] == key) {
            found = true;
            break;
          }
        } while (HashKey[slot] >= 0);
        if (found) {
          Prefix = HashCode[slot];
          continue;
        }
      }
      Emit(uint32_t(Prefix));
      Prefix = c;
      if (FreeCode > 4093) {
        ClearHash();
        Emit(kClear);
        FreeCode = kFirstFree;
        Width = 9;
        MaxCode = 511;
      } else {
        HashKey[slot] = key;
        HashCode[slot] = uint16_t(FreeCode++);
      }
    }
  }

  void Finish() {
    if (Prefix >= 0) {
      Emit(uint32_t(Prefix));
    }
    Emit(kEnd);
    if (AccBits > 0) Buf[BufFill++] = uint8_t(Acc << (8 - AccBits));
    AccBits = 0;
    Flush();
  }
};

}  // namespace

int32_t TiffLzwDecode(const uint8_t* Data, int32_t DataLength, uint8_t* Out, int32_t OutLength) {
  if (!Data || !Out || OutLength <= 0) return 0;
  auto decoder = std::make_unique<TLzwDecoder>(Data, DataLength, Out, OutLength);  // 24 KiB of table
  return decoder->Run();
}

void TiffLzwEncode(const uint8_t* Data, int32_t Length, TStream& Out, void*& State) {
  auto* encoder = static_cast<TLzwEncoder*>(State);
  if (!encoder) {
    encoder = new TLzwEncoder;
    State = encoder;
    encoder->ClearHash();
    encoder->Out = &Out;
    encoder->Emit(kClear);
  }
  encoder->Out = &Out;
  if (!Data) {
    std::unique_ptr<TLzwEncoder> done(encoder);  // released even when the stream fails
    State = nullptr;
    done->Finish();
    return;
  }
  encoder->Encode(Data, std::max(Length, 0));
}

}  // namespace kv
