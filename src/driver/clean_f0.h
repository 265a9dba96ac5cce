// Cleaning of the f0 track before the later steps use it.
#pragma once

#include "tessel/tessel.h"

// Replaces in place, in column 1 (f0, Hz) of track, every value above 2000 Hz, below 20 Hz or
// not a number by 150 Hz, and returns the median of the cleaned column (Hz). The track
// must have at least one row (tessel::error otherwise, from the median).
double clean_f0(tessel::TesselMatrix<double>& track);
