// Temporal centre of gravity and concentration of one frame.
#pragma once

#include <tessel/tessel.h>

// For a frame x of L samples: centre_offset = energy-weighted mean time of the frame, in
// samples from its centre (L - 1) / 2; concentration = 1 - 2 sigma / L, sigma the energy-
// weighted spread of time around that mean (1 for a single non-zero sample). An all-zero frame
// gives offset 0 and sigma = L / 2 (integer division). Two passes, no allocation.
void marktemporel(const tessel::TesselVector<double>& frame, double& centre_offset,
                  double& concentration);

// The same for `count` windowed frames of `len` samples, frame f (0-based) being
// x[f * stride + i] * w[i] for i = 0 .. len - 1: centre_offsets[f] and concentrations[f] equal
// bit for bit what the one-frame form gives for that frame (each frame's sums keep their
// order; a few frames run side by side only to overlap their chains of additions). Reads
// x[0 .. (count - 1) * stride + len - 1]; no allocation.
void marktemporel(const double* x, long stride, const double* w, long len, long count,
                  double* centre_offsets, double* concentrations);
