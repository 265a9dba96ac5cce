// One-dimensional median filter.
#pragma once

#include <tessel/tessel.h>

#include "core/failure.h"

// Median filter of order n over x, with zeros assumed outside x. Odd n: y[i] is the median
// of x[i - (n-1)/2 .. i + (n-1)/2]; even n: of x[i - n/2 .. i + n/2 - 1] (one more sample
// on the left). An even count takes the mean of the two middle values. x of 2 elements or
// fewer gives zeros. The result has the length of x. n < 1 is a framed failure.
[[nodiscard]] Expected<tessel::TesselVector<double>> medfilt1(const tessel::TesselVector<double>& x,
                                                              int n);
