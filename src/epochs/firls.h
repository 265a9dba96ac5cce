// Least-squares linear-phase FIR design.
#pragma once

#include <tessel/tessel.h>

// Linear-phase FIR filter of order `order` (order + 1 coefficients, symmetric) that minimises
// the squared error to a piecewise-linear amplitude response, every band weighted 1. Band k
// runs from edges(2k) to edges(2k+1) (1.0 = Nyquist frequency, ascending) with amplitude going
// linearly from amps(2k) to amps(2k+1). Contiguous bands use the closed form; bands with gaps
// solve the normal equations through an explicit matrix inverse. Orders 1 and 2 with more
// than one amplitude are raised by one. Arguments are not validated.
tessel::TesselVector<double> firls(const long& order, const tessel::TesselVector<double>& edges,
                                   const tessel::TesselVector<double>& amps);
