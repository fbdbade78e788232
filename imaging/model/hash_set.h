// A set of 32-bit keys in a fixed table of 2^Bits buckets with chains on
// collision; the colour counter uses it with 13 bits.
#pragma once
#include <cstdint>
#include <vector>

#include "platform/rtl/object.h"

namespace kv {

class THash1 : public TObject {
 public:
  // Bits outside 0..30 raise EListError (the table size is an int32).
  explicit THash1(int32_t Bits);

  // True when the key was not in the set yet.
  bool Insert(uint32_t Key);

  int32_t Count() const { return FCount; }
  int32_t Bits() const { return FBits; }
  int32_t Size() const { return FSize; }

 private:
  enum : uint8_t { bsEmpty = 0, bsKey = 1, bsChain = 2 };
  struct TNode {
    uint32_t Key;
    int32_t Next;  // index in FNodes, -1 at the end of a chain
  };

  std::vector<uint32_t> FSlots;  // the key (bsKey) or the chain's first node (bsChain)
  std::vector<uint8_t> FStates;
  std::vector<TNode> FNodes;     // every chain's nodes; freed with the set
  int32_t FCount = 0;
  int32_t FBits = 0;
  int32_t FSize = 0;
};

}  // namespace kv
