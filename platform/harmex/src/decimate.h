// Low-pass filtering and decimation of a sound to the analysis band.
#pragma once

#include <cstddef>
#include <vector>

namespace harmex {

// Keeps x[0 .. n-1] up to pass_hz and takes every factor-th sample: y[i] is the filtered sound
// at time i * factor / sr (linear-phase FIR centred on each output, so no delay). The
// anti-alias filter is a Kaiser-windowed sinc, flat to pass_hz and at least 60 dB down from
// sr / factor - pass_hz (factor >= 1; factor 1 copies x). Edges are taken as zeros. The
// outputs are computed in blocks on up to `threads` threads (the same values for any number).
[[nodiscard]] std::vector<float> decimate(const float* x, std::size_t n, int factor, double sr,
                                          double pass_hz, int threads = 1);

}  // namespace harmex
