#include "imaging/formats/stream_reader.h"

#include <algorithm>
#include <cstring>

namespace kv {

TStreamReader::TStreamReader(TStream& S, int32_t BufferSize)
    : FStream(S), FBuf(size_t(std::max(BufferSize, 16))), FBase(S.Position()) {}

bool TStreamReader::Fill() {
  FBase += int64_t(FEnd);
  FPos = FEnd = 0;
  const int32_t n = FStream.Read(FBuf.data(), int32_t(FBuf.size()));
  if (n <= 0) return false;
  FEnd = size_t(n);
  return true;
}

bool TStreamReader::Read(void* Dest, size_t Count) {
  auto* d = static_cast<uint8_t*>(Dest);
  while (Count > 0) {
    if (FPos == FEnd) {
      // Large blocks go straight from the stream into the caller's memory.
      if (Count >= FBuf.size()) {
        FBase += int64_t(FEnd);
        FPos = FEnd = 0;
        const int32_t want = int32_t(std::min<size_t>(Count, size_t(1) << 30));
        const int32_t n = FStream.Read(d, want);
        if (n <= 0) return false;
        FBase += n;
        d += n;
        Count -= size_t(n);
        continue;
      }
      if (!Fill()) return false;
    }
    const size_t n = std::min(Count, FEnd - FPos);
    std::memcpy(d, FBuf.data() + FPos, n);
    FPos += n;
    d += n;
    Count -= n;
  }
  return true;
}

bool TStreamReader::Skip(int64_t Count) {
  while (Count > 0) {
    if (FPos == FEnd && !Fill()) return false;
    const size_t n = size_t(std::min<int64_t>(Count, int64_t(FEnd - FPos)));
    FPos += n;
    Count -= int64_t(n);
  }
  return true;
}

void TStreamReader::Sync() {
  // The stream moves back to what was used; the buffered bytes are read again when wanted.
  FBase = Position();
  FPos = FEnd = 0;
  FStream.SetPosition(FBase);
}

}  // namespace kv
