// Value of the f0 break-point function at one time.
#pragma once

#include <tessel/tessel.h>

// f0_m: one row per point, column 0 the time (s), column 1 the value. Returns the first value
// before the first time and the last value after the last time; otherwise, with k the row
// nearest to t (the lower row on a tie), V[k] when t equals T[k], when there are exactly two
// rows, or when k is an end row on t's side, else the linear interpolation between k and its
// neighbour on t's side. A NaN t prints " Not a case" and gives 0 (V[k] with two rows). An
// empty matrix gives 0. Scans every row: O(rows).
[[nodiscard]] double evalbp_s(const tessel::TesselMatrix<double>& f0_m, double t);

// The same value; when increasing is true (bp_increasing(f0_m)) the nearest row is found by
// binary search in O(log rows), otherwise by the scan.
[[nodiscard]] double evalbp_s(const tessel::TesselMatrix<double>& f0_m, double t, bool increasing);
