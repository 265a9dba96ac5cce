// Gaussian kernel.
#pragma once

#include <tessel/tessel.h>

// Values of the normal density of standard deviation sigma, exp(-t^2 / (2 sigma^2)) /
// (sqrt(2 pi) sigma), at the points of `axis`. An axis of fewer than two points is read as a
// point count P = trunc(axis(0)) and the points i - (P - 1) / 2, i = 0 .. P-1, are used
// instead. `sum` receives the sum of the values; the kernel is not renormalised.
tessel::TesselVector<double> gaussian(const tessel::TesselVector<double>& axis, const double& sigma,
                                      double& sum);
