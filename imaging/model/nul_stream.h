// A stream that stores nothing: writing an image into it measures the encoded
// size. Position and Size are int32; a read or write that would carry the
// position past MaxInt moves only up to MaxInt and reports the short count, so
// WriteBuffer raises instead of the size wrapping.
#pragma once
#include <cstdint>

#include "platform/rtl/streams.h"

namespace kv {

class TNulStream : public TStream {
 public:
  // Add Count to the position, raise Size to it, touch no memory.
  int32_t Read(void* Buffer, int32_t Count) override;
  int32_t Write(const void* Buffer, int32_t Count) override;
  // soEnd counts from Size. A target outside 0..MaxInt leaves the position
  // where it was and returns -1.
  int64_t Seek(int64_t Offset, TSeekOrigin Origin) override;
  int64_t Size() override { return FSize; }

 private:
  int32_t Advance(int32_t Count);

  int32_t FPosition = 0;
  int32_t FSize = 0;  // the largest position reached
};

}  // namespace kv
