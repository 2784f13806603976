// The framework's process-wide random generator: seeded from the clock when a caller asks for
// fresh numbers (Randomize), or from a fixed seed when a run must repeat. Not for secrets.
#pragma once

#include <cstdint>

namespace zyfw {

// Seeds the generator from the clock (nanoseconds of the steady and wall clocks mixed).
void Randomize();
// Seeds the generator with a fixed value, so that the numbers that follow repeat.
void RandSeedSet(uint64_t seed);
// A uniformly drawn integer in [0, range); 0 when range is 0 or negative.
int64_t Random(int64_t range);
// A uniformly drawn float in [0, 1).
double RandomFloat();

}  // namespace zyfw
