// A fixed-seed source of numbers for the engine's randomized tests, so that
// a failing case comes back on every run and on every machine.
#ifndef BRINDLE_TESTS_ENGINE_SEEDED_RANDOM_H
#define BRINDLE_TESTS_ENGINE_SEEDED_RANDOM_H

#include <cstdint>

namespace bw {

class SeededRandom {
 public:
  explicit SeededRandom(uint64_t seed) : state_(seed) {}
  // A number in [0, bound), from the high bits of a linear congruential step.
  uint64_t below(uint64_t bound) {
    state_ = state_ * 6364136223846793005ull + 1442695040888963407ull;
    return (state_ >> 33) % bound;
  }

 private:
  uint64_t state_;
};

}  // namespace bw

#endif
