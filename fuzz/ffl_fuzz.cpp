// Filter Factory files: any bytes load as an ".ffl" library or convert as an
// ".afs" filter without harm; the count then matches the lines, every field
// reads, and the current filter runs (or reports a position) on a small picture.
// Input: one byte choosing the form (odd: ".afs"), then the file.
#include <cstddef>
#include <cstdint>
#include <cstdlib>

#include "imaging/processing/ff_files.h"
#include "platform/rtl/exceptions.h"

namespace {
void Check(bool ok) {
  if (!ok) std::abort();
}
}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* Data, size_t Size) {
  if (Size < 1 || Size > 65536) return 0;
  kv::TMemoryStream s;
  s.WriteBuffer(Data + 1, int32_t(Size - 1));
  s.SetPosition(0);
  kv::tfflfilter f;
  f.LoadFromStream(s, Data[0] & 1);
  const int32_t count = f.Count();
  Check(count >= 0 && f.Lines().Count() >= 2 + 29 * count);
  Check(f.CurrentFilter() == 0);
  for (int32_t n = 0; n < std::min(count, 4); ++n)
    for (int32_t kind = kv::ffkCount; kind <= kv::ffkAlpha; ++kind)
      for (int32_t i = 0; i < 8; ++i) f.GetField(kind, n, i);
  kv::TBitmap src(3, 2), dst(3, 2);
  kv::TProgressRec progress;
  const int32_t err = f.Run(src, dst, progress, {0, 0, 3, 2});
  Check(err >= 0);
  f.NewFilter(count);
  Check(f.Count() == count + 1);
  f.DeleteFilter(0);
  Check(f.Count() == std::max(count, 1));
  return 0;
}
