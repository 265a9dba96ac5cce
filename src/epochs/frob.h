// Frobenius-norm epoch curve.
#pragma once

#include <tessel/tessel.h>

#include "core/failure.h"

// Epoch curve from the Frobenius norm of the sliding linear-prediction data matrix: for
// position i of the span first..last (0-based sample indices, inclusive), the energy Q(i) of
// the p + 1 windows of Nw samples starting at i .. i + p, as element i = t + j sqrt(Q) / p
// with t = (first + i + 1 + p) / sr seconds. Nw = round(0.5 sr / f0(0)) for one f0 value, or
// round(0.75 sr / mean f0) for several (Hz). order -1 selects 10; an order above Nw becomes
// round(Nw / 2) made even (with a message when the caller gave it); the order used is written
// back. Running sums make it O(n). A negative sum left by rounding counts as 0; a position
// whose sum is NaN is left out. Bad bounds or no f0 value: a framed failure, status 1.
[[nodiscard]] Expected<tessel::TesselVector<tessel::cplx<double>>> frob(
    const tessel::TesselVector<double>& signal, const double& sr, long& first, long& last,
    const tessel::TesselVector<double>& f0, int& order);
