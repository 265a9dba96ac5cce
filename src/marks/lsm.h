// Least-squares placement of periodic marks.
#pragma once

#include <tessel/tessel.h>

#include "core/failure.h"

// Times x[0..L] (s) minimising sum_k (x[k] - x[k-1] - P[k-1])^2 (spacing of one period P,
// from vecteurT0_v, L values) + beta * sum_{0<k<L} (x[k] - M[k])^2 (interior marks on their
// peaks M, from vecteurMaxE_v, L + 1 values) + gamma * ((x[0] - M[0])^2 + (x[L] - M[L])^2).
// Solved as its tridiagonal normal equations (Thomas algorithm), O(L). L = 0 returns M[0].
// Fails (framed message, status 1) when the vector sizes do not match L.
[[nodiscard]] Expected<tessel::TesselVector<double>> lsm(
    const tessel::TesselVector<double>& vecteurT0_v,
    const tessel::TesselVector<double>& vecteurMaxE_v, long L, double beta, double gamma);
