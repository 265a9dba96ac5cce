// Mean of the f0 break-point function over an interval.
#pragma once

#include <tessel/tessel.h>

// Mean of the values (column 1) of the rows of f0_m whose time (column 0) lies in [t1, t2],
// bounds included; evalbp_s at (t1 + t2) / 2 when no row does. Times in s. O(rows).
[[nodiscard]] double lmeanf0(double t1, double t2, const tessel::TesselMatrix<double>& f0_m);

// The same value; when increasing is true (bp_increasing(f0_m)) the rows are found by binary
// search, in O(log rows + rows inside).
[[nodiscard]] double lmeanf0(double t1, double t2, const tessel::TesselMatrix<double>& f0_m,
                             bool increasing);
