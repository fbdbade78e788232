// A buffer handed to a plug-in, fenced so that writes outside it are noticed:
// a canary zone on each side, and beyond each an inaccessible guard page.
#pragma once
#include <cstddef>
#include <cstdint>

namespace kv {

class TGuardedBuffer {
public:
  TGuardedBuffer() = default;
  ~TGuardedBuffer();
  TGuardedBuffer(const TGuardedBuffer&) = delete;
  TGuardedBuffer& operator=(const TGuardedBuffer&) = delete;

  // False when the memory cannot be had; the old contents are gone either way.
  bool Allocate(std::size_t Size);
  void Free();
  uint8_t* Data() const { return FData; }
  std::size_t Size() const { return FSize; }
  // True while both canary zones hold their pattern.
  bool Intact() const;

private:
  uint8_t* FBase = nullptr;  // start of the whole mapping
  std::size_t FMapped = 0;
  uint8_t* FData = nullptr;
  std::size_t FSize = 0;
};

}  // namespace kv
