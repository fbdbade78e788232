#include "imaging/model/hash_set.h"

#include <string>

#include "platform/rtl/exceptions.h"

namespace kv {

THash1::THash1(int32_t Bits) {
  if (Bits < 0 || Bits > 30) throw EListError("Invalid hash table size (" + std::to_string(Bits) + " bits)");
  FBits = Bits;
  FSize = int32_t(1) << Bits;
  FSlots.assign(size_t(FSize), 0);
  FStates.assign(size_t(FSize), bsEmpty);
}

bool THash1::Insert(uint32_t Key) {
  const size_t b = Key & uint32_t(FSize - 1);
  switch (FStates[b]) {
    case bsEmpty:
      FSlots[b] = Key;
      FStates[b] = bsKey;
      break;
    case bsKey: {
      if (FSlots[b] == Key) return false;
      const int32_t first = int32_t(FNodes.size());
      FNodes.push_back({FSlots[b], first + 1});
      FNodes.push_back({Key, -1});
      FSlots[b] = uint32_t(first);
      FStates[b] = bsChain;
      break;
    }
    default: {
      int32_t i = int32_t(FSlots[b]);
      for (;;) {
        if (FNodes[size_t(i)].Key == Key) return false;
        if (FNodes[size_t(i)].Next < 0) break;
        i = FNodes[size_t(i)].Next;
      }
      FNodes[size_t(i)].Next = int32_t(FNodes.size());
      FNodes.push_back({Key, -1});
      break;
    }
  }
  ++FCount;
  return true;
}

}  // namespace kv
