// Evaluation of a break-point function at many instants.
#pragma once

#include <tessel/tessel.h>

// Values of the break-point function bp (one row per point: column 0 the abscissa, ascending;
// column 1 the value) at each instant, in the instants' order. Instants before the first
// abscissa take the first value, after the last one the last value. When two or more instants
// lie inside [first, last] abscissa they are linearly interpolated (among equal abscissae the
// first listed counts); a single inside instant takes the single-instant rule instead: the
// nearest point's value when it sits on that point, when bp has exactly two rows, or at an
// end, else the interpolation on the side of the instant. NaN instants, and every instant when
// bp has no row, give 0. Linear time when abscissae and instants are both ascending.
tessel::TesselVector<double> evalbp_v(const tessel::TesselMatrix<double>& bp,
                                      const tessel::TesselVector<double>& instants);
