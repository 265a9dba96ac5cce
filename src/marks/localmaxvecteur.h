// Periodic marks of a voiced stretch from the best starting sample.
#pragma once

#include <tessel/tessel.h>

#include "core/failure.h"

// Runs localmax from the starts debut_n, debut_n + step, ... up to debut_n + round(T0)
// (T0 = sr / f0 at debut_n, in samples; step = round(T0 / alpha), at least 1) and returns the
// marks of the start whose marks sum the largest energy (the first such start; debut_n when
// none beats 0). A start that places no mark counts as energy 0. energy receives the energy of
// the returned marks. Fails (framed message, status 1) when debut_n < 0, fin_n is past the
// last sample, or the returned run finds no mark.
[[nodiscard]] Expected<tessel::TesselVector<tessel::cplx<double>>> localmaxvecteur(
    const tessel::TesselVector<double>& data_v, double sr, const tessel::TesselMatrix<double>& f0_m,
    long debut_n, long fin_n, double alpha, double energy);

// The same marks, the f0 looked up by binary search when increasing is true
// (bp_increasing(f0_m)).
[[nodiscard]] Expected<tessel::TesselVector<tessel::cplx<double>>> localmaxvecteur(
    const tessel::TesselVector<double>& data_v, double sr, const tessel::TesselMatrix<double>& f0_m,
    long debut_n, long fin_n, double alpha, double energy, bool increasing);
