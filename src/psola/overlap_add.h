// Overlap-add of windowed grains, normalised by the sum of the windows.
#pragma once

#include <cstddef>
#include <functional>
#include <vector>

#include "psola/psola_types.h"

// Receives consecutive blocks of output samples (full scale 1), in order.
using SampleSink = std::function<void(const double* samples, std::size_t count)>;
// Told the fraction of the output done so far, in [0, 1].
using Progress = std::function<void(double fraction)>;

// Adds every grain of x (n samples; samples outside it count as 0) into an output of n_out
// samples, with raised-cosine halves over its extents and a flat top, and divides each output
// sample by the sum of the windows over it where that sum exceeds 1 (where grains leave a gap
// the windows' taper stays). Grains must be sorted by out_pos. The output goes to sink in
// blocks as soon as no later grain can reach it; memory stays bounded by the block and the
// longest grain. progress (may be empty) is called after each block.
void overlap_add(const float* x, std::size_t n, const std::vector<Grain>& grains, std::size_t n_out,
                 const SampleSink& sink, const Progress& progress);
