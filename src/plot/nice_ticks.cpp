// Round tick values for the figure axes.
#include "plot/nice_ticks.h"

#include <algorithm>
#include <cmath>
#include <cstdio>

Ticks nice_ticks(double lo, double hi, int wanted) {
  Ticks t;
  const double span = hi - lo;
  if (!(span > 0.0) || !std::isfinite(span)) return t;
  const double raw = span / std::max(wanted, 2);
  const double power = std::pow(10.0, std::floor(std::log10(raw)));
  const double f = raw / power;
  t.step = (f < 1.5 ? 1.0 : f < 3.5 ? 2.0 : f < 7.5 ? 5.0 : 10.0) * power;
  const double first = std::ceil(lo / t.step - 1e-9);
  for (double k = first; k * t.step <= hi + t.step * 1e-9; k += 1.0) {
    const double v = k * t.step;
    t.values.push_back(std::abs(v) < t.step * 1e-9 ? 0.0 : v);
  }
  return t;
}

std::string tick_label(double value, double step) {
  const int decimals =
      step >= 1.0 ? 0 : std::min(9, static_cast<int>(std::ceil(-std::log10(step) - 1e-9)));
  char buf[64];
  std::snprintf(buf, sizeof buf, "%.*f", decimals, value);
  return buf;
}
