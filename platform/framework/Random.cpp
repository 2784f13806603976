#include "platform/framework/Random.h"

#include <chrono>
#include <random>

namespace zyfw {

namespace {

// One generator for the process, like the framework's: the engine is single-threaded, and a
// caller that seeds it expects every later draw to follow from that seed.
std::mt19937_64& Generator() {
  static std::mt19937_64 generator(5489u);
  return generator;
}

}  // namespace

void Randomize() {
  const auto wall = std::chrono::system_clock::now().time_since_epoch().count();
  const auto steady = std::chrono::steady_clock::now().time_since_epoch().count();
  // Two clocks, so that two processes started in the same tick of one still differ.
  std::seed_seq seq{static_cast<uint32_t>(wall), static_cast<uint32_t>(wall >> 32),
                    static_cast<uint32_t>(steady), static_cast<uint32_t>(steady >> 32)};
  Generator().seed(seq);
}

void RandSeedSet(uint64_t seed) { Generator().seed(seed); }

int64_t Random(int64_t range) {
  if (range <= 0) return 0;
  std::uniform_int_distribution<int64_t> draw(0, range - 1);
  return draw(Generator());
}

double RandomFloat() {
  std::uniform_real_distribution<double> draw(0.0, 1.0);
  return draw(Generator());
}

}  // namespace zyfw
