#include "epochs/gaussian.h"

#include <cmath>

using tessel::TesselVector;

namespace {
constexpr double kSqrtTwoPi = 2.5066282746310002;  // sqrt(2 pi)
}

TesselVector<double> gaussian(const TesselVector<double>& axis, const double& sigma, double& sum) {
  const double norm = kSqrtTwoPi * sigma;
  TesselVector<double> g;
  if (axis.size() >= 2) {
    g.resize(axis.size());
    for (int i = 0; i < axis.size(); ++i) {
      g[i] = std::exp(-(axis[i] * axis[i]) / (2.0 * sigma * sigma)) / norm;
    }
  } else {
    const long count = axis.size() == 1 ? static_cast<long>(axis[0]) : 0;
    g.resize(count > 0 ? count : 0);
    const double centre = (count - 1) / 2.0;
    for (long i = 0; i < count; ++i) {
      const double u = i - centre;
      g[i] = std::exp(u * u / (-2.0 * sigma * sigma)) / norm;
    }
  }
  sum = tessel::basic_ops::sum(g);
  return g;
}
