// Peaks of the epoch curve near the expected period positions of a voiced stretch.
#pragma once

#include <tessel/tessel.h>

#include "core/failure.h"

// Marks on the largest values of data_v (epoch curve, one value per sample) over the stretch
// debut_n .. fin_n (0-based, inclusive), one near each expected position: the first position
// is the peak within one period of debut_n, each next one a local mean period further (f0 from
// f0_m, time in s / Hz), and each mark is the peak within half-width period / alpha of its
// position. Each mark is (time in s, local mean period in s); energy receives the sum of the
// curve at the marks. Fails (framed message, status 1) when debut_n < 0, fin_n is past the
// last sample, or no mark is found.
[[nodiscard]] Expected<tessel::TesselVector<tessel::cplx<double>>> localmax(
    const tessel::TesselVector<double>& data_v, double sr, const tessel::TesselMatrix<double>& f0_m,
    long debut_n, long fin_n, double alpha, double& energy);

// The same marks, the f0 looked up by binary search when increasing is true
// (bp_increasing(f0_m)). With allow_empty, a stretch giving no mark returns an empty list
// (energy 0) instead of failing.
[[nodiscard]] Expected<tessel::TesselVector<tessel::cplx<double>>> localmax(
    const tessel::TesselVector<double>& data_v, double sr, const tessel::TesselMatrix<double>& f0_m,
    long debut_n, long fin_n, double alpha, double& energy, bool increasing, bool allow_empty);
