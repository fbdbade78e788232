// Pixel memory of bitmaps. Large pictures are filled once, row by row, right
// after they are allocated; on this platform every first touch of a fresh
// 4 KiB page costs a fault, which for a photo of tens of megabytes outweighs
// the decoding itself. Large blocks are therefore aligned to 2 MiB and offered
// to the kernel for huge pages, which cuts those faults by a factor of 512.
#pragma once
#include <cstddef>
#include <cstdint>
#include <memory>

namespace kv {

struct TPixelBlockFree {
  void operator()(uint8_t* P) const noexcept;
};
using TPixelBlock = std::unique_ptr<uint8_t[], TPixelBlockFree>;

// Bytes of uninitialised pixel memory; null when there is not enough.
TPixelBlock AllocatePixelBlock(size_t Bytes);

}  // namespace kv
