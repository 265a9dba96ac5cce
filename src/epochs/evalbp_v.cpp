#include "epochs/evalbp_v.h"

#include <algorithm>
#include <cmath>
#include <iostream>

using tessel::TesselMatrix;
using tessel::TesselVector;

namespace {

// Single-instant rule at t, x(0) <= t <= x(n-1) (or t NaN): value of the nearest point, or
// interpolation between it and its neighbour on t's side.
double single_instant(const double* x, const double* y, int n, double t) {
  int k = 0;
  for (int i = 1; i < n; ++i) {
    if (std::abs(x[i] - t) < std::abs(x[k] - t)) k = i;
  }
  if (t == x[k] || n == 2 || (t > x[k] && k == n - 1) || (t < x[k] && k == 0)) return y[k];
  if (t < x[k]) return y[k - 1] + (y[k] - y[k - 1]) / (x[k] - x[k - 1]) * (t - x[k - 1]);
  if (t > x[k]) return y[k] + (y[k + 1] - y[k]) / (x[k + 1] - x[k]) * (t - x[k]);
  std::cout << " Not a case" << std::endl;
  return 0.0;
}

// Linear interpolation at t, x(0) <= t <= x(n-1), given j = the first index with x(j) >= t:
// the segment starts at the last point before t, so among equal abscissae the first counts.
double interpolate(const double* x, const double* y, int n, double t, int j) {
  const int k = j > 0 ? j - 1 : 0;
  if (t == x[k] || k + 1 >= n) return y[k];
  const double x0 = x[k], x1 = x[k + 1];
  return x1 == x0 ? y[k] : y[k] + (y[k + 1] - y[k]) * ((t - x0) / (x1 - x0));
}

}  // namespace

TesselVector<double> evalbp_v(const TesselMatrix<double>& bp,
                              const TesselVector<double>& instants) {
  const int m = instants.size();
  TesselVector<double> out(m, 0.0, instants.iscol());
  const int n = bp.nrows();
  if (n == 0 || bp.ncols() < 2) return out;
  const double* x = bp.data();
  const double* y = bp.data() + n;
  const double* t = instants.data();
  const double first = x[0], last = x[n - 1];

  int inside = 0, one = -1;
  bool instants_sorted = true;
  double prev = -INFINITY;
  for (int i = 0; i < m; ++i) {
    if (t[i] < first) {
      out[i] = y[0];
    } else if (t[i] > last) {
      out[i] = y[n - 1];
    } else if (t[i] >= first && t[i] <= last) {
      ++inside;
      one = i;
      if (t[i] < prev) instants_sorted = false;
      prev = t[i];
    }
  }
  if (inside == 1) {
    out[one] = single_instant(x, y, n, t[one]);
    return out;
  }
  if (inside == 0) return out;

  if (!std::is_sorted(x, x + n)) {
    // Unsorted abscissae: the library's interpolation sorts the table first.
    TesselVector<int> idx =
        tessel::base_algo::find(instants, [&](double v) { return v >= first && v <= last; });
    const TesselVector<double> pts(instants(idx));
    const TesselVector<double> vals = tessel::base_algo::interp1q(bp(0), bp(1), pts);
    for (int i = 0; i < idx.size(); ++i) out[idx[i]] = vals[i];
    return out;
  }

  int j = 0;  // first index with x(j) >= t, kept across ascending instants
  for (int i = 0; i < m; ++i) {
    const double ti = t[i];
    if (!(ti >= first && ti <= last)) continue;
    if (instants_sorted) {
      while (j < n && x[j] < ti) ++j;
    } else {
      j = static_cast<int>(std::lower_bound(x, x + n, ti) - x);
    }
    out[i] = interpolate(x, y, n, ti, j);
  }
  return out;
}
