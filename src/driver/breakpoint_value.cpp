// Break-point evaluation of tracks.
#include "driver/breakpoint_value.h"

#include <algorithm>

namespace {

// The interpolation of the scan, kept in one place so both searches round alike.
inline double interpolate(const double* T, const double* V, long r, double t) {
  return V[r + 1] + (t - T[r + 1]) * (V[r + 1] - V[r]) / (T[r + 1] - T[r]);
}

double scan(const double* T, const double* V, long R, double t) {
  if (R == 0) return 0.0;
  if (t < T[0]) return V[0];
  if (t > T[R - 1]) return V[R - 1];
  bool hit = false;
  double value = 0.0;
  for (long r = 0; r + 1 < R; ++r) {
    if (t == T[r]) {
      value = V[r];
      hit = true;
    }
    if (T[r] < t && t < T[r + 1]) {
      value = interpolate(T, V, r, t);
      hit = true;
    }
  }
  if (hit) return value;
  if (t == T[R - 1]) return V[R - 1];
  return 0.0;
}

// For strictly increasing times the scan has at most one hit, which this finds directly.
double bisect(const double* T, const double* V, long R, double t) {
  if (t < T[0]) return V[0];
  if (t > T[R - 1]) return V[R - 1];
  if (t == T[R - 1]) return V[R - 1];
  if (!(t >= T[0])) return 0.0;  // NaN: no rule applies
  // r: last index with T[r] <= t; here T[0] <= t < T[R - 1], so 0 <= r <= R - 2.
  const long r = std::upper_bound(T, T + R, t) - T - 1;
  return t == T[r] ? V[r] : interpolate(T, V, r, t);
}

}  // namespace

double breakpoint_value_scan(const tessel::TesselMatrix<double>& track, double t) {
  const long R = track.nrows();
  if (R == 0 || track.ncols() < 2) return 0.0;
  return scan(track.data(), track.data() + R, R, t);
}

tessel::TesselVector<double> breakpoint_values(const tessel::TesselMatrix<double>& track,
                                               const tessel::TesselVector<double>& times) {
  const long n = times.size();
  tessel::TesselVector<double> out(n, 0.0);
  const long R = track.nrows();
  if (R == 0 || track.ncols() < 2) return out;
  const double* T = track.data();  // column 0 (column-major storage)
  const double* V = T + R;         // column 1
  bool increasing = true;
  for (long r = 0; r + 1 < R && increasing; ++r) increasing = T[r] < T[r + 1];
  for (long i = 0; i < n; ++i)
    out(i) = increasing ? bisect(T, V, R, times(i)) : scan(T, V, R, times(i));
  return out;
}
