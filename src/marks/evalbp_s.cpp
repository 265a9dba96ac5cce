#include "marks/evalbp_s.h"

#include <algorithm>
#include <cmath>
#include <cstdio>

#include "marks/messages.h"

namespace {

// First row of smallest |T[k] - t| over all rows.
long nearest_scan(const double* T, long n, double t) {
  long k = 0;
  double best = std::fabs(T[0] - t);
  for (long i = 1; i < n; ++i) {
    const double d = std::fabs(T[i] - t);
    if (d < best) {
      best = d;
      k = i;
    }
  }
  return k;
}

// The row nearest_scan finds, for strictly increasing times and T[0] <= t <= T[n-1]. The
// rounded distances fall towards t and rise after it, so the minimum is next to the insertion
// point; equal rounded distances further left (possible only for nearly equal times) are
// walked over so that the first row still wins.
long nearest_sorted(const double* T, long n, double t) {
  const long lb = std::lower_bound(T, T + n, t) - T;
  if (lb == 0 || T[lb] == t) return lb;
  const double right = std::fabs(T[lb] - t);
  long k = lb - 1;
  if (right < std::fabs(T[k] - t)) return lb;
  while (k > 0 && std::fabs(T[k - 1] - t) == std::fabs(T[k] - t)) --k;
  return k;
}

}  // namespace

double evalbp_s(const tessel::TesselMatrix<double>& f0_m, double t, bool increasing) {
  const long n = f0_m.nrows();
  if (n == 0 || f0_m.ncols() < 2) return 0.0;
  const double* T = f0_m.data();
  const double* V = T + n;
  if (t < T[0]) return V[0];
  if (t > T[n - 1]) return V[n - 1];

  const long k = (increasing && !std::isnan(t)) ? nearest_sorted(T, n, t) : nearest_scan(T, n, t);
  if (t == T[k] || n == 2 || (t > T[k] && k == n - 1) || (t < T[k] && k == 0)) return V[k];
  if (t < T[k]) return V[k - 1] + (V[k] - V[k - 1]) / (T[k] - T[k - 1]) * (t - T[k - 1]);
  if (t > T[k]) return V[k] + (V[k + 1] - V[k]) / (T[k + 1] - T[k]) * (t - T[k]);
  std::printf("%s\n", marks_msg::kNotACase);
  return 0.0;
}

double evalbp_s(const tessel::TesselMatrix<double>& f0_m, double t) {
  return evalbp_s(f0_m, t, false);
}
