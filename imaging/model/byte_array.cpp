#include "imaging/model/byte_array.h"

#include <algorithm>
#include <cstring>
#include <string>

#include "platform/rtl/exceptions.h"
#include "platform/rtl/streams.h"
#include "platform/rtl/types.h"

namespace kv {

TIMByteArray::TIMByteArray() { Reallocate(FGrowthStep); }

void TIMByteArray::Reallocate(int32_t NewCapacity) {
  std::unique_ptr<uint8_t[]> block(new uint8_t[size_t(NewCapacity)]);
  if (FSize > 0) std::memcpy(block.get(), FData.get(), size_t(std::min(FSize, NewCapacity)));
  FData = std::move(block);
  FCapacity = NewCapacity;
}

void TIMByteArray::SetSize(int32_t n) {
  // Capacity = n + GrowthStep must stay an int32.
  if (n < 0 || n > MaxInt - FGrowthStep)
    throw EListError("Invalid byte array size (" + std::to_string(n) + ")");
  if (n > FCapacity || n < FCapacity - FGrowthStep) Reallocate(n + FGrowthStep);
  FSize = n;
}

void TIMByteArray::AppendByte(uint8_t b) {
  if (FSize == MaxInt) throw EListError("Byte array capacity exceeded");
  SetSize(FSize + 1);
  FData[size_t(FSize) - 1] = b;
}

int32_t TIMByteArray::AppendFromStream(TStream& Stream, int32_t n) {
  if (n <= 0) return 0;
  if (n > MaxInt - FSize) throw EListError("Byte array capacity exceeded");
  const int32_t old = FSize;
  SetSize(old + n);
  const int32_t got = std::clamp(Stream.Read(FData.get() + old, n), 0, n);
  SetSize(old + got);
  return got;
}

}  // namespace kv
