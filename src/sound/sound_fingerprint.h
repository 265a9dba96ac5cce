// What identifies a sound as read: a later run reuses results only for the same samples.
#pragma once

#include <cstdint>
#include <span>
#include <string>

// "<rate>_<frames>_<hash>": the sampling rate (Hz, rounded to an integer), the number of frames
// and a 64-bit hash of the samples' bits (16 lower-case hex digits). Any change of a sample,
// of the length or of the rate changes the text. About a nanosecond per sample.
[[nodiscard]] std::string sound_fingerprint(std::span<const double> samples, double sr);

// The same text made from samples handed over in blocks, in order, of any sizes (for a reader
// that does not keep them): add every block, then text().
class SoundFingerprinter {
 public:
  SoundFingerprinter();
  void add(std::span<const double> block);
  [[nodiscard]] std::string text(double sr) const;

 private:
  std::uint64_t lane_[4];
  double pending_[4] = {};  // the samples of an unfinished group of four
  std::size_t npending_ = 0;
  std::size_t count_ = 0;
};
