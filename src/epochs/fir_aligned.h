// FIR filtering of a stretch of the output only.
#pragma once

#include <tessel/tessel.h>

// Outputs first .. first + count - 1 of the causal FIR filter b applied to x with a zero
// initial state and x taken as zero beyond its last sample: out(i) = sum over k of
// b(k) x(first + i - k), the terms added in the order k = 0, 1, ... (as the library's filter
// does, so the values are the same). Works on the stretch alone: no copy of x, no output
// beyond `count`.
tessel::TesselVector<double> fir_aligned(const tessel::TesselVector<double>& b,
                                         const tessel::TesselVector<double>& x, long first,
                                         long count);

// The same outputs written to out[0 .. count - 1], which need not be initialised (a block of a
// longer output: outputs first .. first + count - 1 of the whole are the same values whatever
// the blocks). Nothing is allocated beyond the list of non-zero coefficients.
void fir_aligned(const tessel::TesselVector<double>& b, const tessel::TesselVector<double>& x,
                 long first, long count, double* out);
