// The bytes of an APP13 segment go to the IPTC loader; whatever it accepts must
// save and load back to the same records. The same bytes, read as
// (type, length, data) triples, drive the JPEG marker list.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "imaging/model/iptc.h"
#include "imaging/model/marker_list.h"
#include "platform/rtl/exceptions.h"

namespace {

using kv::TIMIPTCInfoList;
using kv::TIMMarkerList;

void Check(bool ok) {
  if (!ok) std::abort();
}

bool SameRecord(const TIMIPTCInfoList& a, int32_t i, const TIMIPTCInfoList& b, int32_t j) {
  const int32_t n = a.DataLength(i);
  return a.RecordNumber(i) == b.RecordNumber(j) && a.DatasetNumber(i) == b.DatasetNumber(j) &&
         n == b.DataLength(j) && (n == 0 || std::memcmp(a.Data(i), b.Data(j), size_t(n)) == 0);
}

void FuzzIptc(const uint8_t* data, size_t size) {
  TIMIPTCInfoList first;
  first.LoadFromBuffer(data, int32_t(size));
  Check(!first.UserChanged());
  const std::vector<uint8_t> block = first.SaveToBuffer();
  Check(block.size() >= 26 && block.size() % 2 == 0);

  TIMIPTCInfoList second;
  second.LoadFromBuffer(block.data(), int32_t(block.size()));
  // Everything comes back in order, except the record version, which is never written.
  int32_t j = 0;
  for (int32_t i = 0; i < first.Count(); ++i) {
    if (first.RecordNumber(i) == 2 && first.DatasetNumber(i) == 0) continue;
    Check(j < second.Count() && SameRecord(first, i, second, j));
    ++j;
  }
  Check(j == second.Count());
  Check(second.SaveToBuffer() == block);

  TIMIPTCInfoList copy;
  copy.Assign(&second);
  Check(copy.UserChanged() && copy.Count() == second.Count());
}

void FuzzMarkers(const uint8_t* data, size_t size) {
  // Lengths past the input read from this zero block, so refusals of too-long data are reached too.
  static const std::vector<uint8_t> zeros(70000, 0);
  TIMMarkerList list;
  size_t pos = 0;
  while (pos + 4 <= size) {
    const uint8_t op = data[pos];
    const uint8_t type = data[pos + 1];
    const int32_t len = int32_t((data[pos + 2] << 8) | data[pos + 3]) + ((op & 0x80) ? 0x1000 : 0);
    pos += 4;
    const uint8_t* src = zeros.data();
    if (size - pos >= size_t(len)) {
      src = data + pos;
      pos += size_t(len);
    }
    const int32_t before = list.Count();
    try {
      if ((op & 3) == 1 && before > 0) {
        const int32_t at = op % before;
        list.SetMarker(at, type, len, src);
        Check(list.MarkerType(at) == type && list.MarkerLength(at) == len);
      } else {
        Check(list.AddMarker(type, src, len) == before);
        Check(list.MarkerLength(before) == len);
        Check(len == 0 || std::memcmp(list.MarkerData(before), src, size_t(len)) == 0);
      }
      Check(len <= TIMMarkerList::MaxMarkerLength);
    } catch (const kv::EListError&) {
      Check(len > TIMMarkerList::MaxMarkerLength && list.Count() == before);  // refused, not cut
    }
    int32_t first = -1;
    for (int32_t i = 0; i < list.Count() && first < 0; ++i)
      if (list.MarkerType(i) == type) first = i;
    Check(list.IndexOf(type) == first);
  }

  TIMMarkerList copy;
  copy.Assign(&list);
  Check(copy.Count() == list.Count());
  for (int32_t i = 0; i < list.Count(); ++i) {
    const int32_t n = list.MarkerLength(i);
    Check(copy.MarkerType(i) == list.MarkerType(i) && copy.MarkerLength(i) == n);
    Check(n == 0 || std::memcmp(copy.MarkerData(i), list.MarkerData(i), size_t(n)) == 0);
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size > (1u << 24)) return 0;
  FuzzIptc(data, size);
  FuzzMarkers(data, size);
  return 0;
}
