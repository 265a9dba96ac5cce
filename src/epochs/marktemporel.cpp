#include "epochs/marktemporel.h"

#include <cmath>

namespace {

// Frames of the same length analysed side by side: their sums are independent chains of
// additions, so the processor overlaps them while each keeps its own order of terms.
constexpr long kLanes = 4;  // frames per group

// The one-frame result from the frame's energy, first moment and, for a frame with energy,
// its spread around the mean (d^2-weighted energy).
double concentration_of(long len, double energy, double spread) {
  const double sigma = energy <= 0.0 ? static_cast<double>(len / 2) : std::sqrt(spread / energy);
  return sigma / (-0.5 * static_cast<double>(len)) + 1.0;
}

}  // namespace

void marktemporel(const tessel::TesselVector<double>& frame, double& centre_offset,
                  double& concentration) {
  const int len = frame.size();
  const double* x = frame.data();
  const double c0 = (len - 1) * 0.5;

  double energy = 0.0, moment = 0.0;
  for (int i = 0; i < len; ++i) {
    const double p = x[i] * x[i];
    energy += p;
    moment += p * (i - c0);
  }

  double sigma;
  if (energy <= 0.0) {
    centre_offset = 0.0;
    sigma = len / 2;
  } else {
    const double tc = moment / energy;
    double spread = 0.0;
    for (int i = 0; i < len; ++i) {
      const double d = (i - c0) - tc;
      spread += x[i] * x[i] * (d * d);
    }
    centre_offset = tc;
    sigma = std::sqrt(spread / energy);
  }
  concentration = sigma / (-0.5 * len) + 1.0;
}

void marktemporel(const double* x, long stride, const double* w, long len, long count,
                  double* centre_offsets, double* concentrations) {
  const double c0 = static_cast<double>(len - 1) * 0.5;
  long f = 0;
  for (; f + kLanes <= count; f += kLanes) {
    const double* src[kLanes];
    for (long j = 0; j < kLanes; ++j) src[j] = x + (f + j) * stride;
    double energy[kLanes] = {}, moment[kLanes] = {};
    for (long i = 0; i < len; ++i) {
      const double u = static_cast<double>(i) - c0;
      for (long j = 0; j < kLanes; ++j) {
        const double v = src[j][i] * w[i];
        const double p = v * v;
        energy[j] += p;
        moment[j] += p * u;
      }
    }
    double tc[kLanes], spread[kLanes] = {};
    for (long j = 0; j < kLanes; ++j) tc[j] = energy[j] <= 0.0 ? 0.0 : moment[j] / energy[j];
    for (long i = 0; i < len; ++i) {
      const double u = static_cast<double>(i) - c0;
      for (long j = 0; j < kLanes; ++j) {
        const double v = src[j][i] * w[i];
        const double d = u - tc[j];
        spread[j] += v * v * (d * d);
      }
    }
    for (long j = 0; j < kLanes; ++j) {
      centre_offsets[f + j] = tc[j];
      concentrations[f + j] = concentration_of(len, energy[j], spread[j]);
    }
  }
  // The last frames one at a time, the same sums in the same order.
  for (; f < count; ++f) {
    const double* s = x + f * stride;
    double energy = 0.0, moment = 0.0;
    for (long i = 0; i < len; ++i) {
      const double v = s[i] * w[i];
      const double p = v * v;
      energy += p;
      moment += p * (static_cast<double>(i) - c0);
    }
    double tc = 0.0, spread = 0.0;
    if (!(energy <= 0.0)) {
      tc = moment / energy;
      for (long i = 0; i < len; ++i) {
        const double v = s[i] * w[i];
        const double d = (static_cast<double>(i) - c0) - tc;
        spread += v * v * (d * d);
      }
    }
    centre_offsets[f] = tc;
    concentrations[f] = concentration_of(len, energy, spread);
  }
}
