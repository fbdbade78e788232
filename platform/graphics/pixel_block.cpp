#include "platform/graphics/pixel_block.h"

#include <sys/mman.h>

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

}  // namespace kv
