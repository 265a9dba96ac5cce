// Value of a break-point track (two columns: time in seconds, value) at given times.
#pragma once

#include "tessel/tessel.h"

// Value of track at time t (seconds) by the break-point rule: the first value before the first
// time, the last value after the last time, otherwise a scan over every interval where a later
// hit replaces an earlier one (t equal to a time gives its value, t strictly inside an interval
// the linear interpolation), the last value at the last time, and 0.0 when nothing applies
// (possible only when the times do not increase). An empty track gives 0.0. O(rows).
[[nodiscard]] double breakpoint_value_scan(const tessel::TesselMatrix<double>& track, double t);

// The same rule at each element of times, in order. When the track's times increase strictly
// each value is found by binary search (O(log rows)), which gives exactly what the scan gives;
// otherwise the scan above is used.
[[nodiscard]] tessel::TesselVector<double> breakpoint_values(
    const tessel::TesselMatrix<double>& track, const tessel::TesselVector<double>& times);
