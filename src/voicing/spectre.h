// Zero-phase magnitude and phase spectrum of a windowed frame.
#pragma once

#include <map>
#include <utility>
#include <vector>

#include <tessel/tessel.h>

#include "core/failure.h"

// Buffers and phase-rotation tables kept between spectre calls, so that a frame loop
// allocates only when it meets an FFT size (or frame parity) for the first time.
class SpectreWorkspace {
 public:
  // Interleaved (real, imaginary) buffer of n complex values; contents unspecified.
  double* buffer(int n);
  // cos and sin of theta[k] = pi * k * d / n for k = 0 .. n/2, interleaved; d = n/2 for an
  // odd frame length, n/2 - 0.5 for an even one.
  const double* rotation(int n, bool odd_length);

 private:
  std::vector<double> buffer_;
  std::map<std::pair<int, bool>, std::vector<double>> rotations_;
};

// Spectrum of the L samples of frame, centred in an FFT of n points (n a power of two, at
// least 2 and at least L): sample L/2 (integer half) lands at position n/2, and bins 0 .. n/2
// are turned by pi * k * d / n (d = n/2 for odd L, n/2 - 0.5 for even L). Real and imaginary
// parts are rounded to 10 decimals before taking the modulus (magnitude) and, when phase is
// not null, the argument in radians (phase). n not a power of two of at least 2 is a framed
// failure (nothing computed); L > n is the caller's fault (see the other overload).
// Only the first `bins` values (1 .. n) of magnitude and phase are computed: a caller that
// reads the lower half of the spectrum skips the rest.
[[nodiscard]] Status spectre(const double* frame, int L, int n, SpectreWorkspace& ws,
                             double* magnitude, double* phase, int bins);

// The same on containers: magnitude and phase are resized to n. When L > n it prints the
// "Changing N" warning on standard output and raises n to the smallest power of two above L.
[[nodiscard]] Status spectre(const tessel::TesselVector<double>& frame, int& n,
                             tessel::TesselVector<double>& magnitude,
                             tessel::TesselVector<double>& phase);
