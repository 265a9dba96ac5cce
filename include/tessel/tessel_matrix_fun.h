// Matrix functions of the tessel library: products, transpose, SVD and inverse.
#pragma once

#include <algorithm>
#include <limits>
#include <string>

#include "tessel/tessel_dense_matrix.h"
#include "tessel/tessel_dense_vector.h"
#include "tessel/tessel_lapack.h"

namespace tessel::matrix_fun {

using Container::TesselMatrix;
using Container::TesselVector;
using Container::VectorLike;

// Transpose of A.
template <class T, class Tag>
TesselMatrix<T, Tag> transpose(const TesselMatrix<T, Tag>& A) {
  TesselMatrix<T, Tag> out(A.ncols(), A.nrows());
  for (int c = 0; c < A.ncols(); ++c) {
    for (int r = 0; r < A.nrows(); ++r) out(c, r) = A(r, c);
  }
  return out;
}

// Matrix product A B; tessel::error when A's columns differ from B's rows.
template <class T, class Tag>
TesselMatrix<T, Tag> mult(const TesselMatrix<T, Tag>& A, const TesselMatrix<T, Tag>& B) {
  if (A.ncols() != B.nrows()) {
    TesselError("mult:: inner matrix dimensions must agree\n");
  }
  TesselMatrix<T, Tag> out(A.nrows(), B.ncols(), T());
  for (int c = 0; c < B.ncols(); ++c) {
    T* oc = out.data() + static_cast<long>(c) * out.nrows();
    for (int k = 0; k < A.ncols(); ++k) {
      const T b = B(k, c);
      const T* ak = A.data() + static_cast<long>(k) * A.nrows();
      for (int r = 0; r < A.nrows(); ++r) oc[r] += ak[r] * b;
    }
  }
  return out;
}

// Matrix-vector product A v, a column vector of A's rows; tessel::error when v's length differs
// from A's columns.
template <class T, class Tag, VectorLike V>
TesselVector<T, Tag> mult(const TesselMatrix<T, Tag>& A, const V& v) {
  if (A.ncols() != v.size()) {
    TesselError("mult:: matrix columns must equal the vector length\n");
  }
  TesselVector<T, Tag> out(A.nrows(), T());
  for (int k = 0; k < A.ncols(); ++k) {
    const T b = static_cast<T>(v[k]);
    const T* ak = A.data() + static_cast<long>(k) * A.nrows();
    for (int r = 0; r < A.nrows(); ++r) out[r] += ak[r] * b;
  }
  return out;
}

// Singular-value decomposition A = U diag(S) V of the m x n matrix A (A is not modified): U is
// m x m, S has min(m, n) values in decreasing order, V is n x n and receives the transposed
// right singular vectors (LAPACK's VT). The outputs must be sized by the caller; a wrong size
// throws tessel::error, checked in the order U, V, S. Returns LAPACK's info (0 on success).
inline int svd(const TesselMatrix<double>& A, TesselMatrix<double>& U, TesselVector<double>& S,
               TesselMatrix<double>& V) {
  const int m = A.nrows();
  const int n = A.ncols();
  if (U.nrows() != m || U.ncols() != m) {
    TesselError(
        "svd:: Output matrix U dimension mismatch, has to be square with number of rows equal to "
        "A\n");
  }
  if (V.nrows() != n || V.ncols() != n) {
    TesselError(
        "svd:: Output matrix V dimension mismatch, has to be square with number of cols equal to "
        "A\n");
  }
  if (S.size() != std::min(m, n)) {
    TesselError(
        "svd:: Output Vector S dimension mismatch, has to have size of min(A.rows,A.cols)\n");
  }
  // LAPACK overwrites its input: work on a copy of A's values.
  TesselMatrix<double> work;
  work = A;
  return tessel_lapack::gesvd('A', 'A', work, S, U, V);
}

// Inverse of the square matrix A through its SVD: the Moore-Penrose pseudo-inverse over the
// singular values above 2^-52 * max(1, n * largest). When some are dropped, warns on standard
// error and still returns the result. tessel::error when A is not square or the decomposition
// fails to converge.
inline TesselMatrix<double> inv(const TesselMatrix<double>& A) {
  const int n = A.nrows();
  if (A.ncols() != n) TesselError("inv:: matrix must be square\n");
  TesselMatrix<double> U(n, n), V(n, n);
  TesselVector<double> S(n);
  if (svd(A, U, S, V) != 0) {
    TesselError("inv:: singular value decomposition did not converge\n");
  }
  const double smax = n > 0 ? S[0] : 0.0;
  const double tol = std::numeric_limits<double>::epsilon() * std::max(1.0, n * smax);
  int kept = 0;
  TesselVector<double> sinv(n, 0.0);
  for (int k = 0; k < n; ++k) {
    if (S[k] > tol) {
      sinv[k] = 1.0 / S[k];
      ++kept;
    }
  }
  if (kept < n) {
    VEPRINTF(
        "Warning: inv():: Matrix is close to singular or badly scaled.\nResults may be inaccurate "
        "\n");
  }
  // R = VT' diag(sinv) U': R(i, j) = sum_k VT(k, i) sinv(k) U(j, k).
  TesselMatrix<double> R(n, n, 0.0);
  for (int k = 0; k < n; ++k) {
    if (sinv[k] == 0.0) continue;
    for (int j = 0; j < n; ++j) {
      const double ujk = U(j, k) * sinv[k];
      for (int i = 0; i < n; ++i) R(i, j) += V(k, i) * ujk;
    }
  }
  return R;
}

}  // namespace tessel::matrix_fun

namespace tessel::Container {

// Matrix product and matrix-vector product (see matrix_fun::mult).
template <class T, class Tag>
TesselMatrix<T, Tag> operator*(const TesselMatrix<T, Tag>& A, const TesselMatrix<T, Tag>& B) {
  return matrix_fun::mult(A, B);
}
template <class T, class Tag, VectorLike V>
TesselVector<T, Tag> operator*(const TesselMatrix<T, Tag>& A, const V& v) {
  return matrix_fun::mult(A, v);
}

}  // namespace tessel::Container
