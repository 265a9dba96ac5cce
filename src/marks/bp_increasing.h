// Order test of a break-point matrix.
#pragma once

#include <tessel/tessel.h>

// True when the times of bp_m (column 0) increase strictly from row to row (no NaN); a matrix
// of 0 or 1 row counts as increasing. The fast break-point evaluations rely on it. O(rows).
[[nodiscard]] bool bp_increasing(const tessel::TesselMatrix<double>& bp_m);
