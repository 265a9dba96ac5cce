// Temporal centre of gravity and concentration of one frame.
#pragma once

#include <tessel/tessel.h>

// For a frame x of L samples: centre_offset = energy-weighted mean time of the frame, in
// samples from its centre (L - 1) / 2; concentration = 1 - 2 sigma / L, sigma the energy-
// weighted spread of time around that mean (1 for a single non-zero sample). An all-zero frame
// gives offset 0 and sigma = L / 2 (integer division). Two passes, no allocation.
void marktemporel(const tessel::TesselVector<double>& frame, double& centre_offset,
                  double& concentration);
