// AVI reader: any bytes open, fail to open, or give frames whose DIBs are as
// long as their headers say; no read outside a buffer, no unbounded allocation,
// read on the calling thread or ahead on others.
#include <cstdint>
#include <cstdlib>
#include <vector>

#include "platform/media/avi_reader.h"
#include "platform/rtl/streams.h"

namespace {

uint32_t Get32(const std::vector<uint8_t>& D, size_t At) {
  return uint32_t(D[At]) | uint32_t(D[At + 1]) << 8 | uint32_t(D[At + 2]) << 16 | uint32_t(D[At + 3]) << 24;
}

void CheckDib(const std::vector<uint8_t>& Dib) {
  if (Dib.size() < 40) std::abort();
  const uint64_t w = Get32(Dib, 4), h = Get32(Dib, 8), bits = Dib[14];
  const uint64_t table = bits == 1 ? 8 : 0;
  if (40 + table + (w * bits + 31) / 32 * 4 * h != Dib.size()) std::abort();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* Data, size_t Size) {
  kv::TReadOnlyMemoryStream s(Data, int64_t(Size));
  kv::TAviFile avi;
  // Half the inputs are read ahead on worker threads, as the view loads them.
  avi.SetReadAhead(Size % 2 ? 3 : 1);
  if (!avi.Open(s) || !avi.GetVideoStream()) return 0;
  kv::TAviStreamInfo info;
  if (!avi.StreamInfo(info) || !avi.GetFrameOpen()) return 0;
  const int32_t n = int32_t(std::min<uint32_t>(info.Length, 12));
  for (int32_t i = 0; i < n; ++i) {
    const std::vector<uint8_t>* dib = avi.GetFrame(i);
    if (!dib) break;
    CheckDib(*dib);
  }
  // Back to the start: the seek path.
  if (const std::vector<uint8_t>* dib = avi.GetFrame(0)) CheckDib(*dib);
  return 0;
}
