#include "marks/lsm.h"

#include <vector>

#include "marks/markfail.h"
#include "marks/messages.h"

Expected<tessel::TesselVector<double>> lsm(const tessel::TesselVector<double>& vecteurT0_v,
                                           const tessel::TesselVector<double>& vecteurMaxE_v,
                                           long L, double beta, double gamma) {
  if (vecteurT0_v.size() != L) return marks_detail::markfail(marks_msg::kLsmPeriods, false);
  if (vecteurMaxE_v.size() != L + 1) return marks_detail::markfail(marks_msg::kLsmPeaks, false);
  const double* P = vecteurT0_v.data();
  const double* M = vecteurMaxE_v.data();
  tessel::TesselVector<double> x(L + 1, 0.0);
  if (L == 0) {
    x[0] = M[0];
    return x;
  }

  // Right-hand side of A x = b; A has 1 + gamma at both ends of its diagonal, beta + 2 inside,
  // and -1 next to the diagonal.
  const auto b = [&](long k) {
    if (k == 0) return gamma * M[0] - P[0];
    if (k == L) return gamma * M[L] + P[L - 1];
    return beta * M[k] + P[k - 1] - P[k];
  };
  std::vector<double> c(static_cast<std::size_t>(L) + 1), d(static_cast<std::size_t>(L) + 1);
  c[0] = -1.0 / (1.0 + gamma);
  d[0] = b(0) / (1.0 + gamma);
  for (long k = 1; k < L; ++k) {
    const double m = beta + 2.0 + c[k - 1];
    d[k] = (b(k) + d[k - 1]) / m;
    c[k] = -1.0 / m;
  }
  d[L] = (b(L) + d[L - 1]) / (1.0 + gamma + c[L - 1]);
  x[L] = d[L];
  for (long k = L - 1; k >= 0; --k) x[k] = d[k] - c[k] * x[k + 1];
  return x;
}
