#include "net/socket_buffer.h"

#include <algorithm>
#include <cstring>

namespace kv {

TBuffer::TBuffer(int32_t Size) {
  FBufSize = Size > 0 ? Size : 1514;
  FBuf = std::make_unique_for_overwrite<uint8_t[]>(static_cast<size_t>(FBufSize));
}

void TBuffer::SetBufSize(int32_t Value) {
  if (Value <= 0) Value = 1514;
  if (Value == FBufSize) return;
  if (FWrCount == FRdCount) {
    FWrCount = FRdCount = 0;
    FBuf = std::make_unique_for_overwrite<uint8_t[]>(static_cast<size_t>(Value));
  } else {
    // A smaller size keeps what fits of the written bytes.
    auto fresh = std::make_unique_for_overwrite<uint8_t[]>(static_cast<size_t>(Value));
    FWrCount = std::min(FWrCount, Value);
    FRdCount = std::min(FRdCount, FWrCount);
    std::memcpy(fresh.get(), FBuf.get(), static_cast<size_t>(FWrCount));
    FBuf = std::move(fresh);
  }
  FBufSize = Value;
}

int32_t TBuffer::Write(const void* Data, int32_t Len) {
  const int32_t n = std::clamp(Len, 0, FBufSize - FWrCount);
  if (n > 0) std::memcpy(FBuf.get() + FWrCount, Data, static_cast<size_t>(n));
  FWrCount += n;
  return n;
}

const uint8_t* TBuffer::Peek(int32_t& Len) const {
  Len = FWrCount - FRdCount;
  return Len > 0 ? FBuf.get() + FRdCount : nullptr;
}

int32_t TBuffer::Remove(int32_t Len) {
  const int32_t n = std::clamp(Len, 0, FWrCount - FRdCount);
  FRdCount += n;
  if (FRdCount >= FWrCount) FRdCount = FWrCount = 0;
  return n;
}

}  // namespace kv
