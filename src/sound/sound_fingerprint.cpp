#include "sound/sound_fingerprint.h"

#include <bit>
#include <cmath>
#include <cstdint>
#include <cstdio>

namespace {

constexpr std::uint64_t kMul1 = 0x9e3779b97f4a7c15ull;  // odd constants of good bit spread
constexpr std::uint64_t kMul2 = 0xc2b2ae3d27d4eb4full;

// The finaliser of splitmix64: every input bit reaches every output bit.
std::uint64_t mix(std::uint64_t z) {
  z = (z ^ (z >> 30)) * 0xbf58476d1ce4e5b9ull;
  z = (z ^ (z >> 27)) * 0x94d049bb133111ebull;
  return z ^ (z >> 31);
}

// Four independent lanes, so that the multiplications of neighbouring samples overlap.
std::uint64_t hash_samples(std::span<const double> x) {
  std::uint64_t lane[4] = {kMul1, kMul2, kMul1 ^ kMul2, ~kMul1};
  const std::size_t n4 = x.size() / 4 * 4;
  for (std::size_t i = 0; i < n4; i += 4) {
    for (int k = 0; k < 4; ++k) {
      const auto bits = std::bit_cast<std::uint64_t>(x[i + static_cast<std::size_t>(k)]);
      lane[k] = std::rotl(lane[k] ^ (bits * kMul2), 31) * kMul1;
    }
  }
  std::uint64_t h = mix(x.size());
  for (const std::uint64_t l : lane) h = mix(h ^ l);
  for (std::size_t i = n4; i < x.size(); ++i)
    h = mix(h ^ (std::bit_cast<std::uint64_t>(x[i]) * kMul2));
  return h;
}

}  // namespace

std::string sound_fingerprint(std::span<const double> samples, double sr) {
  char text[80];
  const double rate = std::isfinite(sr) ? std::round(sr) : 0.0;
  std::snprintf(text, sizeof text, "%.0f_%zu_%016llx", rate, samples.size(),
                static_cast<unsigned long long>(hash_samples(samples)));
  return text;
}
