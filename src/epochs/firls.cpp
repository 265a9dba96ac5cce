#include "epochs/firls.h"

#include <cmath>
#include <vector>

using tessel::TesselMatrix;
using tessel::TesselVector;

namespace {

constexpr double kPi = 3.141592653589793;
constexpr double kFourPiSquared = 39.47841760435743;  // 4 pi^2

// Normalised sinc: 1 at 0, else sin(pi x) / (pi x).
double sinc(double x) {
  return x == 0.0 ? 1.0 : std::sin(kPi * x) / (kPi * x);
}

}  // namespace

TesselVector<double> firls(const long& order, const TesselVector<double>& edges,
                           const TesselVector<double>& amps) {
  long n_order = order;
  if (amps.size() > 1 && n_order - static_cast<long>(std::floor(n_order * 0.5)) == 1) ++n_order;
  const long len = n_order + 1;

  // Band edges in cycles per sample.
  const int n_edges = edges.size();
  std::vector<double> f(static_cast<std::size_t>(n_edges));
  for (int i = 0; i < n_edges; ++i) f[i] = edges[i] / 2.0;

  // The closed form holds only when the bands cover the whole axis without gaps.
  double gaps = 0.0;
  for (int i = 1; i + 1 < n_edges; i += 2) gaps += f[i + 1] - f[i];
  const bool full_band = gaps == 0.0;

  const long half = (len - 1) / 2;
  const bool odd = len - 2 * (len / 2) != 0;
  // Frequency indices: integers for odd lengths (index 0 is the constant term), half-integers
  // for even lengths.
  std::vector<double> k(static_cast<std::size_t>(half + 1));
  for (long i = 0; i <= half; ++i) k[i] = odd ? static_cast<double>(i) : i + 0.5;

  std::vector<double> b(static_cast<std::size_t>(half + 1), 0.0);
  TesselMatrix<double> gram;
  if (!full_band) gram = TesselMatrix<double>(half + 1, half + 1, 0.0);
  const long first = odd ? 1 : 0;  // the odd-length constant term is accumulated apart

  for (int s = 0; 2 * s + 1 < n_edges; ++s) {
    const double f1 = f[2 * s], f2 = f[2 * s + 1];
    const double slope = (amps[2 * s + 1] - amps[2 * s]) / (f2 - f1);
    const double icept = amps[2 * s] - slope * f1;
    if (odd) b[0] += icept * (f2 - f1) + slope / 2.0 * (f2 * f2 - f1 * f1);
    for (long i = first; i <= half; ++i) {
      const double ki = k[i];
      b[i] += slope / kFourPiSquared *
                  (std::cos(2.0 * kPi * ki * f2) - std::cos(2.0 * kPi * ki * f1)) / (ki * ki) +
              f2 * (slope * f2 + icept) * sinc(2.0 * ki * f2) -
              f1 * (slope * f1 + icept) * sinc(2.0 * ki * f1);
    }
    if (!full_band) {
      for (long j = 0; j <= half; ++j) {
        for (long i = 0; i <= half; ++i) {
          const double sum = k[i] + k[j], dif = k[i] - k[j];
          gram(i, j) += 0.5 * f2 * (sinc(2.0 * sum * f2) + sinc(2.0 * dif * f2)) -
                        0.5 * f1 * (sinc(2.0 * sum * f1) + sinc(2.0 * dif * f1));
        }
      }
    }
  }

  std::vector<double> a(static_cast<std::size_t>(half + 1), 0.0);
  if (full_band) {
    for (long i = 0; i <= half; ++i) a[i] = 4.0 * b[i];
    if (odd) a[0] /= 2.0;
  } else {
    const TesselMatrix<double> inv_gram = tessel::matrix_fun::inv(gram);
    for (long i = 0; i <= half; ++i) {
      double acc = 0.0;
      for (long j = 0; j <= half; ++j) acc += inv_gram(i, j) * b[j];
      a[i] = acc;
    }
  }

  TesselVector<double> h(len, 0.0);
  if (odd) {
    for (long i = 1; i <= half; ++i) {
      h[half - i] = a[i] / 2.0;
      h[half + i] = a[i] / 2.0;
    }
    h[half] = a[0];
  } else {
    for (long i = 0; i <= half; ++i) {
      h[half - i] = 0.5 * a[i];
      h[half + 1 + i] = 0.5 * a[i];
    }
  }
  return h;
}
