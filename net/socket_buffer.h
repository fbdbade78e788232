// One chunk of a socket's send buffer.
#pragma once
#include <cstdint>
#include <memory>

#include "platform/rtl/object.h"

namespace kv {

// 0 <= RdCount <= WrCount <= BufSize; a chunk whose bytes were all sent starts
// over at its beginning.
class TBuffer : public TObject {
 public:
  explicit TBuffer(int32_t Size);  // Size <= 0: one Ethernet frame, 1514 bytes
  int32_t BufSize() const { return FBufSize; }
  void SetBufSize(int32_t Value);
  // Copies what fits; returns the count (0 when full).
  int32_t Write(const void* Data, int32_t Len);
  // The first unsent byte and the unsent count (nullptr and 0 when none).
  const uint8_t* Peek(int32_t& Len) const;
  int32_t Remove(int32_t Len);
  int32_t WrCount() const { return FWrCount; }
  int32_t RdCount() const { return FRdCount; }

 private:
  std::unique_ptr<uint8_t[]> FBuf;
  int32_t FBufSize = 0;
  int32_t FWrCount = 0;
  int32_t FRdCount = 0;
};

}  // namespace kv
