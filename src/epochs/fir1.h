// Window-method FIR design.
#pragma once

#include <tessel/tessel.h>

// FIR filter of order `order` (order + 1 coefficients, symmetric) designed by the window
// method: the least-squares ideal response of bands split at the cut-offs `wn` (normalised,
// 1.0 = Nyquist, ascending, each in (0, 1)), times a Hamming window. first_band 1 makes the
// band starting at 0 Hz pass, 0 stops it; bands alternate. An odd order whose last band passes
// is raised by one. Scaled to unit gain at 0 Hz (first_band 1) or at the centre of the first
// pass band (first_band 0; the Nyquist frequency for a high-pass). Arguments are not validated.
tessel::TesselVector<double> fir1(const long& order, const tessel::TesselVector<double>& wn,
                                  const int& first_band);
