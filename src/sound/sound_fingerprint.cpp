#include "sound/sound_fingerprint.h"

#include <bit>
#include <cmath>
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

// One group of four samples into the four independent lanes (so that the multiplications of
// neighbouring samples overlap).
void add_group(std::uint64_t* lane, const double* x) {
  for (int k = 0; k < 4; ++k) {
    const auto bits = std::bit_cast<std::uint64_t>(x[k]);
    lane[k] = std::rotl(lane[k] ^ (bits * kMul2), 31) * kMul1;
  }
}

}  // namespace

SoundFingerprinter::SoundFingerprinter() : lane_{kMul1, kMul2, kMul1 ^ kMul2, ~kMul1} {}

void SoundFingerprinter::add(std::span<const double> block) {
  count_ += block.size();
  std::size_t i = 0;
  while (npending_ > 0 && npending_ < 4 && i < block.size()) pending_[npending_++] = block[i++];
  if (npending_ == 4) {
    add_group(lane_, pending_);
    npending_ = 0;
  }
  for (; i + 4 <= block.size(); i += 4) add_group(lane_, block.data() + i);
  while (i < block.size()) pending_[npending_++] = block[i++];
}

std::string SoundFingerprinter::text(double sr) const {
  // The lanes, then the samples of the last unfinished group one by one.
  std::uint64_t h = mix(count_);
  for (const std::uint64_t l : lane_) h = mix(h ^ l);
  for (std::size_t k = 0; k < npending_; ++k)
    h = mix(h ^ (std::bit_cast<std::uint64_t>(pending_[k]) * kMul2));
  char text[80];
  const double rate = std::isfinite(sr) ? std::round(sr) : 0.0;
  std::snprintf(text, sizeof text, "%.0f_%zu_%016llx", rate, count_,
                static_cast<unsigned long long>(h));
  return text;
}

std::string sound_fingerprint(std::span<const double> samples, double sr) {
  SoundFingerprinter f;
  f.add(samples);
  return f.text(sr);
}
