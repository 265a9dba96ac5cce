// Short-term energy staircase of the energy epoch method.
#pragma once

#include <tessel/tessel.h>

// Frame energy sqrt(sum of x^2 over the frame / window_s) of frames of round(sr * window_s)
// samples every round(sr * hop_s) samples (frames starting at 0, H, 2H, ... strictly before
// n - N), each held over samples k + round(N/2 - H/2) .. k + round(N/2 + H/2) of the result
// (one value per signal sample, 0 elsewhere; a later frame overwrites a shared border).
// A hop of exactly 0.0 is replaced by window_s / 2 and written back. A signal of at most N
// samples gives zeros. A frame step below one sample is taken as one sample.
tessel::TesselVector<double> ener(const tessel::TesselVector<double>& signal, const double& sr,
                                  double& window_s, double& hop_s);

// Samples from .. from + count - 1 of the same staircase written to out[0 .. count - 1] (need
// not be initialised): the values of the whole result, whatever the block. window_s and hop_s
// as above (hop_s already non-zero). Reads only the frames that reach the block.
void ener(const tessel::TesselVector<double>& signal, double sr, double window_s, double hop_s,
          long from, long count, double* out);
