#include "pluginhost/guarded_buffer.h"

#include <sys/mman.h>
#include <unistd.h>

#include <cstring>

namespace kv {
namespace {

constexpr std::size_t kCanary = 16 * 1024;
constexpr uint8_t kPattern = 0xA5;

std::size_t PageSize() {
  static const std::size_t p = std::size_t(sysconf(_SC_PAGESIZE));
  return p;
}

bool AllAre(const uint8_t* p, std::size_t n, uint8_t v) {
  for (std::size_t i = 0; i < n; ++i)
    if (p[i] != v) return false;
  return true;
}

}  // namespace

TGuardedBuffer::~TGuardedBuffer() { Free(); }

bool TGuardedBuffer::Allocate(std::size_t Size) {
  Free();
  if (Size > SIZE_MAX / 2) return false;
  const std::size_t page = PageSize();
  // Layout: guard page | canary | data (ends where the tail canary starts) | canary | guard page.
  const std::size_t body = (kCanary + Size + kCanary + page - 1) / page * page;
  const std::size_t total = page + body + page;
  void* m = mmap(nullptr, total, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
  if (m == MAP_FAILED) return false;
  FBase = static_cast<uint8_t*>(m);
  FMapped = total;
  mprotect(FBase, page, PROT_NONE);
  mprotect(FBase + total - page, page, PROT_NONE);
  // The data ends right at the tail canary, so even a short overrun is caught.
  FData = FBase + page + body - kCanary - Size;
  FSize = Size;
  std::memset(FBase + page, kPattern, std::size_t(FData - (FBase + page)));
  std::memset(FData + Size, kPattern, kCanary);
  return true;
}

void TGuardedBuffer::Free() {
  if (FBase) munmap(FBase, FMapped);
  FBase = nullptr;
  FMapped = 0;
  FData = nullptr;
  FSize = 0;
}

bool TGuardedBuffer::Intact() const {
  if (!FBase) return true;
  const std::size_t page = PageSize();
  const uint8_t* front = FBase + page;
  return AllAre(front, std::size_t(FData - front), kPattern) && AllAre(FData + FSize, kCanary, kPattern);
}

}  // namespace kv
