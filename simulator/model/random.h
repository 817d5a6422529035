#pragma once
// The simulator's only source of chance. SplitMix64 with our own range and
// probability mapping: the standard distributions differ between standard
// libraries, and a seed must replay the same faults on every platform.
#include <cstdint>

namespace sim {

class CRandom {
 public:
  explicit CRandom(std::uint64_t seed) : m_state(seed) {}

  std::uint64_t Next() {
    std::uint64_t z = (m_state += 0x9E3779B97F4A7C15ULL);
    z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ULL;
    z = (z ^ (z >> 27)) * 0x94D049BB133111EBULL;
    return z ^ (z >> 31);
  }
  // Uniform in [lo, hi] (hi >= lo).
  std::uint32_t Between(std::uint32_t lo, std::uint32_t hi) {
    return lo + static_cast<std::uint32_t>(Next() % (std::uint64_t{hi} - lo + 1));
  }
  bool Chance(double probability) {
    return static_cast<double>(Next() >> 11) * 0x1.0p-53 < probability;
  }

 private:
  std::uint64_t m_state;
};

}  // namespace sim
