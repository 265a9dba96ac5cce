#include "epochs/fir1.h"

#include <ondule/ondule.h>

#include <cmath>

#include "epochs/firls.h"

using tessel::TesselVector;

namespace {
constexpr double kPi = 3.141592653589793;
}

TesselVector<double> fir1(const long& order, const TesselVector<double>& wn,
                          const int& first_band) {
  const int n_bands = wn.size() + 1;
  TesselVector<double> ff(2 * n_bands, 0.0);
  for (int i = 0; i + 1 < n_bands; ++i) {
    ff[2 * i + 1] = wn[i];
    ff[2 * i + 2] = wn[i];
  }
  ff[2 * n_bands - 1] = 1.0;

  TesselVector<double> aa(2 * n_bands, 0.0);
  for (int i = 0; i < n_bands; ++i) {
    const double mag = (first_band + i) % 2;
    aa[2 * i] = mag;
    aa[2 * i + 1] = mag;
  }

  // A symmetric filter of odd order has zero gain at the Nyquist frequency.
  long n_order = order;
  if (n_order - 2 * static_cast<long>(std::floor(n_order * 0.5)) != 0 &&
      aa[2 * n_bands - 1] != 0.0) {
    ++n_order;
  }

  TesselVector<double> b = firls(n_order, ff, aa);
  const int len = b.size();
  TesselVector<double> w(len, 0.0);
  ondule::window(ondule::ond_Hamming, len, w.data(), 0.0, nullptr, nullptr, nullptr, nullptr);
  for (int i = 0; i < len; ++i) b[i] *= w[i];

  if (first_band == 1) {
    const double gain = tessel::basic_ops::sum(b);
    for (int i = 0; i < len; ++i) b[i] /= gain;
  } else if (first_band == 0) {
    // Unit gain at the centre of the first pass band (the Nyquist frequency when that band
    // reaches it): divide by the magnitude of the response there. Its real part alone would
    // carry the linear-phase factor cos(pi (len - 1) f / 2), which vanishes at some centres.
    double centre = 1.0;
    if (ff.size() >= 4 && ff[3] != 1.0) centre = (ff[2] + ff[3]) / 2.0;
    double re = 0.0, im = 0.0;
    for (int i = 0; i < len; ++i) {
      re += b[i] * std::cos(kPi * i * centre);
      im -= b[i] * std::sin(kPi * i * centre);
    }
    const double gain = std::hypot(re, im);
    for (int i = 0; i < len; ++i) b[i] /= gain;
  }
  return b;
}
