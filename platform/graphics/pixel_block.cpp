#include "platform/graphics/pixel_block.h"
#include "platform/graphics/pixel_prefault.h"

#include <sys/mman.h>

#include <algorithm>
#include <cstdlib>

namespace kv {

namespace {
constexpr size_t kHugePage = size_t(2) << 20;
// Below this a block's faults are cheap and the alignment would waste memory.
constexpr size_t kHugeBlockMin = size_t(8) << 20;
}  // namespace

void TPixelBlockFree::operator()(uint8_t* P) const noexcept { std::free(P); }

TPixelBlock AllocatePixelBlock(size_t Bytes) {
  if (Bytes < kHugeBlockMin) return TPixelBlock(static_cast<uint8_t*>(std::malloc(Bytes ? Bytes : 1)));
  const size_t rounded = (Bytes + kHugePage - 1) / kHugePage * kHugePage;
  auto* p = static_cast<uint8_t*>(std::aligned_alloc(kHugePage, rounded));
  // A kernel without huge pages refuses the advice; the block works all the same.
  if (p) (void)::madvise(p, rounded, MADV_HUGEPAGE);
  return TPixelBlock(p);
}

TPixelBlockPrefault::TPixelBlockPrefault(uint8_t* Block, size_t Bytes) {
#ifdef MADV_POPULATE_WRITE
  // Only blocks of AllocatePixelBlock's huge-page kind are aligned for the advice.
  if (!Block || Bytes < kHugeBlockMin || reinterpret_cast<uintptr_t>(Block) % kHugePage != 0) return;
  const size_t rounded = (Bytes + kHugePage - 1) / kHugePage * kHugePage;
  try {
    FThread = std::thread([this, Block, rounded] {
      constexpr size_t step = 2 * kHugePage;
      for (size_t at = 0; at < rounded && !FStop.load(std::memory_order_relaxed); at += step)
        if (::madvise(Block + at, std::min(step, rounded - at), MADV_POPULATE_WRITE) != 0) return;
    });
  } catch (...) {
    // No thread to spare: the decoder's own writes fault the pages in as before.
  }
#else
  (void)Block;
  (void)Bytes;
#endif
}

TPixelBlockPrefault::~TPixelBlockPrefault() {
  FStop = true;
  if (FThread.joinable()) FThread.join();
}

}  // namespace kv
