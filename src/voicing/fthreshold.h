// Zones of a track above a threshold.
#pragma once

#include <tessel/tessel.h>

// track: one element per instant, real part its position, imaginary part its value.
// Returns the positions where the track crosses the threshold (see fthresholdcalcul; mode 2
// gives start, end, start, ... of the stretches above it). normalise 1 first scales the
// values to a peak magnitude of 1 (an empty track then throws tessel::error); mode 1 first
// removes the mean of the values.
tessel::TesselVector<double> fthreshold(const tessel::TesselVector<tessel::cplx<double>>& track,
                                        double threshold, int mode, int normalise);
