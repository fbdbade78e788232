// A read buffer over a stream for the codecs that take their input a byte or
// a value at a time (PNM tokens, TGA packets): one virtual Read per block
// instead of one per byte.
#pragma once
#include <cstddef>
#include <cstdint>
#include <vector>

#include "platform/rtl/streams.h"

namespace kv {

class TStreamReader {
 public:
  explicit TStreamReader(TStream& S, int32_t BufferSize = 8192);

  // Next byte, or -1 at the end of the stream.
  int Get() {
    if (FPos == FEnd && !Fill()) return -1;
    return FBuf[FPos++];
  }
  int Peek() {
    if (FPos == FEnd && !Fill()) return -1;
    return FBuf[FPos];
  }
  // Copies Count bytes; false when the stream ends first (what there was is copied).
  bool Read(void* Dest, size_t Count);
  // Skips Count bytes; false when the stream ends first.
  bool Skip(int64_t Count);
  // Stream position of the next byte Get would return.
  int64_t Position() const { return FBase + int64_t(FPos); }
  // Seeks the stream to Position(), so that it reads on where the codec stopped,
  // and empties the buffer.
  void Sync();

 private:
  bool Fill();

  TStream& FStream;
  std::vector<uint8_t> FBuf;
  size_t FPos = 0;
  size_t FEnd = 0;
  int64_t FBase = 0;  // stream position of FBuf[0]
};

}  // namespace kv
