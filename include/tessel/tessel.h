// tessel: the vector and matrix library of glotmark (header-only). Include this header only.
//
// Usage, with `using namespace tessel;` (or qualify with tessel::):
//
//   TesselVector<double> x(n, 0.0);           // n zeros, a column vector (setcol(false): row)
//   TesselVector<double> u(n, uninitialized); // n values left unset, to be overwritten
//   TesselVector<double> y = {1.0, 2.0, 3.0};  // listed values
//   x(0) = 1.0; x[1] = 2.0;                    // 0-based element access, no bounds check
//   TesselVector<double> s = x;                // SHARES x's storage: s(0) = 5 changes x(0)
//   TesselVector<double> c; c = x;             // assignment COPIES values (c resized to x)
//   x(Range(2, 5))                             // view of x[2..5] (inclusive), size 4
//   x(RangeToEnd(2))                           // view of x[2..n-1]
//   x(Slice(9, -3, 0))                         // view of x[9], x[6], x[3], x[0]
//   x(Range(0, 2)) = y;  x(Range(0, 9)) = 0.0; // write through a view (same length)
//   TesselVector<double> w = x(Range(2, 5));   // copy a view into a new vector
//   TesselVector<double> z = 2.0 * x + 1;      // element-wise, evaluated at once
//   z = sqrt(abs(x - y(Range(0, 2))));         // also cos, sin, exp, sinc, round, real, imag, pow
//   x += 1.0; x(Range(0, 2)) *= y;             // in-place element-wise
//   double total = basic_ops::sum(x), m = basic_ops::median(x);
//   int where = basic_ops::imax_elem(x);       // first largest element
//   TesselVector<int> idx = base_algo::find(x, base_algo::gt(0));  // positions with x > 0
//   TesselVector<double> pos = x(idx);         // gather through an index vector (copy)
//   x(idx) = 0.0;                              // scatter through it
//
//   TesselMatrix<double> M(rows, cols, 0.0);   // column-major: M(r, c) is data()[c*rows + r]
//   M(r, c) = 1.0;  M.nrows(); M.ncols();       // rendC() == ncols-1, cendC() == nrows-1
//   M(c)                                       // view of column c (contiguous)
//   M(Range(r0, r1), c)                        // rows r0..r1 of column c
//   M(r, Range(c0, c1))                        // row r, columns c0..c1 (a row view)
//   M.resize(r2, c2);                          // keeps every (row, column) inside both shapes
//   M + N;  M * 2.0;                           // element-wise with matrices of the same shape
//   M * N;  M * x;                             // matrix products (matrix_fun::mult)
//   TesselMatrix<double> Mi = matrix_fun::inv(M);
//
//   TesselVector<cplx<double>> X = sig_proc::fft(x, 0);  // complex spectrum, no scaling
//   TesselVector<double> mag = abs(X);                   // moduli
//
//   parallel::parallel_for(n, grain, [&](long b, long e, int worker) { ... });  // on threads
//
// Views point into their vector: they stay valid while it lives and is not resized.
// Errors throw tessel::error ("tessel error: ..."); warnings go to standard error (VEPRINTF).
#pragma once

#include "tessel/tessel_base_algo.h"
#include "tessel/tessel_basic_ops.h"
#include "tessel/tessel_cplx.h"
#include "tessel/tessel_dense_matrix.h"
#include "tessel/tessel_dense_vector.h"
#include "tessel/tessel_error.h"
#include "tessel/tessel_indices.h"
#include "tessel/tessel_lapack.h"
#include "tessel/tessel_matrix_fun.h"
#include "tessel/tessel_parallel.h"
#include "tessel/tessel_sig_proc.h"
#include "tessel/tessel_vec_fun.h"
