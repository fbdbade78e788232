#include "imaging/model/nul_stream.h"

#include <algorithm>

#include "platform/rtl/types.h"

namespace kv {

int32_t TNulStream::Advance(int32_t Count) {
  if (Count <= 0) return 0;
  const int32_t n = std::min(Count, MaxInt - FPosition);
  FPosition += n;
  FSize = std::max(FSize, FPosition);
  return n;
}

int32_t TNulStream::Read(void*, int32_t Count) { return Advance(Count); }

int32_t TNulStream::Write(const void*, int32_t Count) { return Advance(Count); }

int64_t TNulStream::Seek(int64_t Offset, TSeekOrigin Origin) {
  int64_t base = 0;
  switch (Origin) {
    case soBeginning: base = 0; break;
    case soCurrent: base = FPosition; break;
    case soEnd: base = FSize; break;
  }
  // Offsets come from callers as int64; clamp before adding so the sum cannot overflow.
  if (Offset > int64_t(MaxInt) || Offset < -int64_t(MaxInt)) return -1;
  const int64_t target = base + Offset;
  if (target < 0 || target > MaxInt) return -1;
  FPosition = int32_t(target);
  FSize = std::max(FSize, FPosition);
  return FPosition;
}

}  // namespace kv
