// TIFF LZW. The decoder keeps the whole output of a strip in one buffer, so a
// table entry is just where its string was first written, how long it is and
// its first byte: each new entry is the previous code's string plus the next
// byte, which is exactly the bytes already written at the previous code's
// position. Decoding a code is then one short copy from earlier output, and
// no string needs a buffer of its own. The encoder is the hashing compressor of the LZW family.
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

// The bytes 0 .. 255 in order, where the single-byte strings are copied
// from, with room for a 16-byte read past the last.
struct TLzwBytes {
  uint8_t B[256 + 16];
  constexpr TLzwBytes() : B() {
    for (int i = 0; i < 256; ++i) B[i] = uint8_t(i);
  }
};
constexpr TLzwBytes kLzwBytes;

// An entry is where its string lies (earlier output, or kLzwBytes for a
// single byte), how long it is and its first byte (the byte a string not
// yet in the table repeats). Clear and end have length 0. Every code below
// the table's count is then decoded the same way: one short copy.
struct TLzwEntry {
  const uint8_t* Str;
  uint16_t Length;
  uint8_t First;
};

class TLzwDecoder {
 public:
  TLzwDecoder(const uint8_t* Data, int32_t Size, uint8_t* Out, int32_t OutLength)
      : FIn(Data), FInEnd(Data + std::max(Size, 0)), FOut(Out), FOutLength(size_t(OutLength)) {
    for (uint32_t i = 0; i < 256; ++i) FTable[i] = TLzwEntry{kLzwBytes.B + i, 1, uint8_t(i)};
    FTable[kClear] = FTable[kEnd] = TLzwEntry{kLzwBytes.B, 0, 0};
  }

  // The state lives in locals: the output is written through byte pointers,
  // which may alias any member, so members would be stored and reloaded for
  // every code.
  int32_t Run() {
    const uint8_t* in = FIn;
    const uint8_t* const inEnd = FInEnd;
    uint8_t* const out = FOut;
    const size_t outLength = FOutLength;
    TLzwEntry* const table = FTable;
    uint64_t buf = 0;   // unread bits at the top
    uint32_t bits = 0;  // how many
    size_t fill = 0;
    const uint8_t* prevStr = nullptr;
    uint32_t prevLen = 0;
    uint8_t prevFirst = 0;
    uint32_t havePrev = 0;  // 0 right after a clear: the next code adds no entry
    uint32_t width = 9;
    uint32_t count = kFirstFree;
    while (fill < outLength) {
      // At least 57 bits, most significant bit first, as far as the data
      // goes: eight bytes at a time while eight are left, then byte by byte,
      // so nothing past the data is read.
      if (inEnd - in >= 8) {
        uint64_t v;
        std::memcpy(&v, in, 8);
        buf |= __builtin_bswap64(v) >> bits;
        in += (63 - bits) >> 3;
        bits |= 56;
      } else {
        while (bits <= 56 && in < inEnd) {
          buf |= uint64_t(*in++) << (56 - bits);
          bits += 8;
        }
      }
      if (bits < width) break;  // the last code must lie wholly inside the data
      const uint32_t code = uint32_t(buf >> (64 - width));
      buf <<= width;
      bits -= width;

      uint8_t* const dst = out + fill;
      const size_t room = outLength - fill;
      uint32_t len;
      uint8_t first;
      if (code < count) {
        const TLzwEntry e = table[code];
        len = e.Length;
        first = e.First;
        if (len == 0) {
          if (code == kEnd) break;
          count = kFirstFree;  // a clear
          width = 9;
          havePrev = 0;
          continue;
        }
        // Right after a clear the count is 258: only a single byte gets here.
        Copy(e.Str, dst, len, room);
      } else if (code == count && havePrev) {
        // The string not yet in the table: the previous one plus its own first
        // byte. The previous string ends where this one starts.
        len = prevLen + 1;
        first = prevFirst;
        Copy(prevStr, dst, prevLen, room);
        if (prevLen < room) dst[prevLen] = prevFirst;
      } else {
        return -1;  // past the table, or not a single byte after a clear
      }
      if (count >= kTableSize) {
        if (havePrev) return -1;
      } else {
        // Written also right after a clear, but counted only with a previous string.
        table[count] = TLzwEntry{prevStr, uint16_t(prevLen + 1), prevFirst};
        count += havePrev;
        // One code early: the width grows when the table reaches 2^width - 1.
        if (count + 1 == (1u << width) && width < 12) ++width;
      }
      havePrev = 1;
      prevStr = dst;
      prevLen = len;
      prevFirst = first;
      fill += std::min<size_t>(len, room);
    }
    return int32_t(fill);
  }

 private:
  // A string to the output, cut at its end (Room bytes on). It lies wholly
  // before Dst (or in kLzwBytes), so a short one goes as two 8-byte words
  // (read before anything is written); the bytes past Len are rewritten by
  // the next string.
  static void Copy(const uint8_t* Src, uint8_t* Dst, uint32_t Len, size_t Room) {
    if (Len <= 16 && Room >= 16) {
      uint64_t a, b;
      std::memcpy(&a, Src, 8);
      std::memcpy(&b, Src + 8, 8);
      std::memcpy(Dst, &a, 8);
      std::memcpy(Dst + 8, &b, 8);
    } else {
      std::memcpy(Dst, Src, std::min<size_t>(Len, Room));
    }
  }

  const uint8_t* FIn;
  const uint8_t* FInEnd;
  uint8_t* FOut;
  size_t FOutLength;
  TLzwEntry FTable[kTableSize];
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
  auto decoder = std::make_unique<TLzwDecoder>(Data, DataLength, Out, OutLength);  // 64 KiB of table
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
