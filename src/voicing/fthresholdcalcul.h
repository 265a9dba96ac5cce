// Threshold crossings of a sampled curve.
#pragma once

#include <vector>

#include <tessel/tessel.h>

// Scans values and returns times[k] for each collected 0-based index k, in order.
// Mode 2: alternating crossings, starting outside: k is collected when values[k] > threshold
// while outside (becoming inside) and when values[k] < threshold while inside; a value equal
// to the threshold changes nothing. Mode 1: every k with values[k] > threshold that rises
// from values[k-1] (never k = 0). Other modes: empty. times has at least the length of values.
tessel::TesselVector<double> fthresholdcalcul(const tessel::TesselVector<double>& times,
                                              const tessel::TesselVector<double>& values,
                                              double threshold, int mode);

// The scan alone on n contiguous values: the collected 0-based indices, in order. Lets a caller
// whose positions are the indices themselves (a curve sampled once per sample) skip building
// the position vector.
std::vector<long> fthresholdcalcul(const double* values, long n, double threshold, int mode);
