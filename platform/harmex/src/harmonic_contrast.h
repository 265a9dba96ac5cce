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

 private:
  long window_;
  int nfft_ = 1;
  int lo_ = 1, hi_ = 1;  // band, FFT bins (0-based), with one bin of margin on each side
  bool silent_ = true;
  std::vector<double> taper_, buf_, logp_;
};

}  // namespace harmex
