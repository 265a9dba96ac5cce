#include "marks/lmeanf0.h"

#include <algorithm>
#include <cmath>

#include "marks/evalbp_s.h"

double lmeanf0(double t1, double t2, const tessel::TesselMatrix<double>& f0_m, bool increasing) {
  const long n = f0_m.ncols() < 2 ? 0 : f0_m.nrows();
  const double* T = f0_m.data();
  const double* V = T + n;
  double sum = 0.0;
  long count = 0;
  if (increasing) {
    // A NaN bound selects no row, as in the scan.
    if (n > 0 && !std::isnan(t1) && !std::isnan(t2)) {
      const long lo = std::lower_bound(T, T + n, t1) - T;
      const long hi = std::upper_bound(T, T + n, t2) - T;
      for (long r = lo; r < hi; ++r) sum += V[r];
      count = std::max(0L, hi - lo);
    }
  } else {
    for (long r = 0; r < n; ++r) {
      if (T[r] >= t1 && T[r] <= t2) {
        sum += V[r];
        ++count;
      }
    }
  }
  if (count == 0) return evalbp_s(f0_m, (t1 + t2) * 0.5, increasing);
  return sum / static_cast<double>(count);
}

double lmeanf0(double t1, double t2, const tessel::TesselMatrix<double>& f0_m) {
  return lmeanf0(t1, t2, f0_m, false);
}
