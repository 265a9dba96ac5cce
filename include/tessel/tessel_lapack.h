// Binding of the LAPACK singular-value decomposition used by tessel.
#pragma once

#include <algorithm>
#include <cstddef>
#include <vector>

#include "tessel/tessel_dense_matrix.h"
#include "tessel/tessel_dense_vector.h"

extern "C" {
// LAPACK: A = U diag(S) VT of a column-major m x n matrix. The trailing lengths are the hidden
// lengths of the two character arguments.
void dgesvd_(const char* jobu, const char* jobvt, const int* m, const int* n, double* a,
             const int* lda, double* s, double* u, const int* ldu, double* vt, const int* ldvt,
             double* work, const int* lwork, int* info, std::size_t jobu_len,
             std::size_t jobvt_len);
}

namespace tessel::tessel_lapack {

// Calls dgesvd_ on A (overwritten) with the dimensions and leading dimensions of the containers,
// a work array of max(3 min(m, n) + max(m, n), 5 min(m, n)) doubles. S receives the singular
// values in decreasing order, U and VT the vectors asked for by jobu and jobvt. Returns LAPACK's
// info (0 on success). The caller sizes S, U and VT.
inline int gesvd(char jobu, char jobvt, Container::TesselMatrix<double>& A,
                 Container::TesselVector<double>& S, Container::TesselMatrix<double>& U,
                 Container::TesselMatrix<double>& VT) {
  const int m = A.nrows();
  const int n = A.ncols();
  if (std::min(m, n) == 0) return 0;
  const int lda = std::max(1, m);
  const int ldu = std::max(1, U.nrows());
  const int ldvt = std::max(1, VT.nrows());
  const int lwork = std::max({3 * std::min(m, n) + std::max(m, n), 5 * std::min(m, n), 1});
  std::vector<double> work(static_cast<std::size_t>(lwork));
  double dummy = 0.0;  // LAPACK must not be given null for arrays it is told not to touch
  int info = 0;
  dgesvd_(&jobu, &jobvt, &m, &n, A.data(), &lda, S.data(), U.data() ? U.data() : &dummy, &ldu,
          VT.data() ? VT.data() : &dummy, &ldvt, work.data(), &lwork, &info, 1, 1);
  return info;
}

}  // namespace tessel::tessel_lapack
