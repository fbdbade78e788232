// The program's pseudo-random generator: a linear congruential generator whose whole
// state is RandSeed, so a test (or a replay) that sets RandSeed gets the same sequence.
#pragma once
#include <cstdint>

namespace kv {

inline int32_t RandSeed = 0;

// Seeds from the clock.
void Randomize();
// Uniform over 0..Range-1; 0 when Range is not positive.
int32_t Random(int32_t Range);
// Uniform in [0, 1).
double Random();

}  // namespace kv
