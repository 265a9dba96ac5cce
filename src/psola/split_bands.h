// Splitting a sound at the voicing cut-off.
#pragma once

#include <vector>

#include "psola/psola_types.h"

struct Bands {
  std::vector<float> low;   // x minus high
  std::vector<float> high;  // x above the cut-off of the nearest voiced mark, 0 elsewhere
};

// Splits x (sr Hz) by short-time Fourier frames (23 ms at 44.1 kHz, a quarter frame apart,
// Hann windows on both sides): in a frame whose nearest mark is voiced and not transient the
// bins above that mark's VoicingCuttingFrequency go to the high band. low + high == x.
[[nodiscard]] Bands split_bands(const std::vector<float>& x, double sr,
                                const std::vector<PsoMark>& marks);
