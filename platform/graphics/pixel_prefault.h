// While a decoder fills a large fresh pixel block from its start, a helper
// thread has the kernel map and clear the pages ahead of it, so that the
// clearing runs beside the decoding instead of inside it. The helper touches
// no byte of the block itself and is waited for when the object goes. Small
// blocks, blocks not from AllocatePixelBlock's huge-page kind and kernels
// without the advice get no helper. Defined in pixel_block.cpp.
#pragma once
#include <atomic>
#include <cstddef>
#include <cstdint>
#include <thread>

namespace kv {

class TPixelBlockPrefault {
 public:
  TPixelBlockPrefault(uint8_t* Block, size_t Bytes);
  ~TPixelBlockPrefault();
  TPixelBlockPrefault(const TPixelBlockPrefault&) = delete;
  TPixelBlockPrefault& operator=(const TPixelBlockPrefault&) = delete;

 private:
  std::atomic<bool> FStop{false};
  std::thread FThread;
};

}  // namespace kv
