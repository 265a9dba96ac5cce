// Periodic marks of one voiced stretch.
#pragma once

#include <tessel/tessel.h>

#include "core/failure.h"

// Mark times (s) over the samples debut_n .. fin_n (0-based, inclusive) of the epoch curve
// data_v: the peaks chosen by localmaxvecteur, then, with three marks or more, moved together
// by lsm (alpha narrows the peak search; beta pulls the interior marks onto their peaks,
// gamma the two end marks). Fails on the faults of localmaxvecteur.
[[nodiscard]] Expected<tessel::TesselVector<double>> markperiodic(
    const tessel::TesselVector<double>& data_v, double sr, const tessel::TesselMatrix<double>& f0_m,
    long debut_n, long fin_n, double alpha, double beta, double gamma);

// The same times, the f0 looked up by binary search when increasing is true
// (bp_increasing(f0_m)).
[[nodiscard]] Expected<tessel::TesselVector<double>> markperiodic(
    const tessel::TesselVector<double>& data_v, double sr, const tessel::TesselMatrix<double>& f0_m,
    long debut_n, long fin_n, double alpha, double beta, double gamma, bool increasing);
