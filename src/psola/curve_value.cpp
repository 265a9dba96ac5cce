#include "psola/curve_value.h"

#include <algorithm>

double curve_value(const Curve& c, double t) {
  if (t <= c.front().first) return c.front().second;
  if (t >= c.back().first) return c.back().second;
  const auto hi =
      std::upper_bound(c.begin(), c.end(), t, [](double x, const auto& p) { return x < p.first; });
  const auto lo = hi - 1;
  const double u = (t - lo->first) / (hi->first - lo->first);
  return lo->second + u * (hi->second - lo->second);
}
