// A growable byte buffer that grows and shrinks in steps of GrowthStep bytes,
// so that appending one byte at a time stays cheap.
#pragma once
#include <cstdint>
#include <memory>

#include "platform/rtl/object.h"

namespace kv {

class TStream;

class TIMByteArray : public TObject {
 public:
  TIMByteArray();  // 8192 bytes reserved, Size 0

  // Growing past Capacity makes Capacity = n + GrowthStep; shrinking below
  // Capacity - GrowthStep does the same, in a new block that keeps the first n
  // bytes. A negative size, or one above MaxInt - GrowthStep, raises EListError.
  void SetSize(int32_t n);
  void AppendByte(uint8_t b);
  // Grows by n, reads up to n bytes into the new end and shrinks back to what
  // was read; returns the count read.
  int32_t AppendFromStream(TStream& Stream, int32_t n);

  int32_t Size() const { return FSize; }
  int32_t Capacity() const { return FCapacity; }
  int32_t GrowthStep() const { return FGrowthStep; }
  uint8_t* Data() { return FData.get(); }
  const uint8_t* Data() const { return FData.get(); }

 private:
  void Reallocate(int32_t NewCapacity);

  int32_t FSize = 0;
  int32_t FCapacity = 0;
  int32_t FGrowthStep = 8192;
  std::unique_ptr<uint8_t[]> FData;
};

}  // namespace kv
