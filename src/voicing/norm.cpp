#include "voicing/norm.h"

#include <cmath>

tessel::TesselVector<double> norm(const tessel::TesselVector<double>& x,
                                  const tessel::TesselVector<double>& level,
                                  const tessel::TesselVector<double>& energy) {
  const int n = x.size();
  const double a = level.size() > 0 ? level(0) : 1.0;
  double gain = 1.0;
  if (energy.size() > 0) {
    double power = 0.0;
    for (int i = 0; i < n; ++i) power += x(i) * x(i);
    gain = std::sqrt(a / power);
  } else {
    tessel::TesselVector<double> magnitude(n, 0.0);
    for (int i = 0; i < n; ++i) magnitude(i) = std::abs(x(i));
    double peak = tessel::basic_ops::max(magnitude);  // throws on an empty x
    if (peak == 0.0) peak = 1.0;
    gain = a / peak;
  }
  tessel::TesselVector<double> y(n, 0.0, x.iscol());
  for (int i = 0; i < n; ++i) y(i) = x(i) * gain;
  return y;
}
