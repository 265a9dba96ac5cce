// Spectral evidence for a period: how far the harmonics of a candidate f0 stand above the
// spectrum midway between them.
#pragma once

#include <vector>

namespace harmex {

// Log power spectrum of one analysis frame (Hann window, zero-padded FFT) and, for any period,
// the mean over its harmonics inside the band of (peak log power at the harmonic) minus
// (log power midway below it), in nepers of power. Every harmonic counts the same whatever its
// level, so a strong low-frequency interferer does not outweigh a weaker voice's whole series;
// a period twice the true one scores about half (every other harmonic is a valley) and half
// the true period scores about nothing (its midpoints are the odd harmonics).
class HarmonicContrast {
 public:
  // window: frame length in samples (>= 4); sr: rate of the frames, Hz; the band [lo_hz,
  // hi_hz] is where harmonics are looked at (clamped to the FFT's range).
  HarmonicContrast(long window, double sr, double lo_hz, double hi_hz);

  // Takes the frame x[0 .. window-1]; returns false (and scores 0 afterwards) when it is silent.
  bool analyse(const float* x);

  // Contrast for a period of lag samples (fractional); 0 when no harmonic fits in the band.
  [[nodiscard]] double at(double lag) const;

  // Level of the harmonics of a period that are not multiples of m against those that are:
  // the amplitude ratio of their geometric means (1 when no harmonic of either kind is in the
  // band). About 1 for a voice's own period whatever its formants; well below 1 for m times
  // its period, whose harmonics in between fall in the voice's valleys or, when another talker
  // happens to sit at f0 / m, on that talker's weaker harmonics.
  [[nodiscard]] double interleaved_level(double lag, int m) const;

 private:
  long window_;
  int nfft_ = 1;
  int lo_ = 1, hi_ = 1;  // band, FFT bins (0-based), with one bin of margin on each side
  bool silent_ = true;
  std::vector<double> taper_, buf_, logp_;
};

}  // namespace harmex
