#include "platform/rtl/random.h"

#include <chrono>

namespace kv {

namespace {
uint32_t NextSeed() {
  // Wrap-around is the generator's arithmetic, so it runs on unsigned values.
  const uint32_t s = static_cast<uint32_t>(RandSeed) * 0x08088405u + 1u;
  RandSeed = static_cast<int32_t>(s);
  return s;
}
}  // namespace

void Randomize() {
  const auto t = std::chrono::system_clock::now().time_since_epoch();
  RandSeed = static_cast<int32_t>(static_cast<uint32_t>(std::chrono::duration_cast<std::chrono::microseconds>(t).count()));
}

int32_t Random(int32_t Range) {
  const uint32_t s = NextSeed();
  if (Range <= 0) return 0;
  return static_cast<int32_t>((static_cast<uint64_t>(s) * static_cast<uint32_t>(Range)) >> 32);
}

double Random() { return static_cast<double>(NextSeed()) / 4294967296.0; }

}  // namespace kv
