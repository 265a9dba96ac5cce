// Voicing cut-off decision from per-harmonic ratios.
#pragma once

#include <tessel/tessel.h>

// Split index between a lower band of harmonic partials and an upper band of noise. For each
// 0-based candidate i the score counts harmonics j <= i with r[j] >= threshold plus those
// j > i with r[j] < threshold; the result is a one-element vector holding the first index of
// the highest score. An empty r gives an empty result.
tessel::TesselVector<int> fc(const tessel::TesselVector<double>& r, double threshold);

// The same on n contiguous ratios (n >= 1), returning the index itself; used by the frame loop.
int fc(const double* r, int n, double threshold);
