#include "epochs/marktemporel.h"

#include <cmath>

namespace {

// Frames of the same length analysed side by side: their sums are independent chains of
// additions, so the processor overlaps them while each keeps its own order of terms.
constexpr long kPairs = 4;           // pairs of frames per group
constexpr long kLanes = 2 * kPairs;  // frames per group

// Two doubles handled by one instruction where the target has one; each lane is an ordinary
// double operation, so the results are those of the scalar code.
using Pair = double __attribute__((vector_size(16)));

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
    // Lanes 2q and 2q + 1 share pair q.
    const double* src[kLanes];
    for (long j = 0; j < kLanes; ++j) src[j] = x + (f + j) * stride;
    Pair energy[kPairs] = {}, moment[kPairs] = {};
    for (long i = 0; i < len; ++i) {
      const double ui = static_cast<double>(i) - c0;
      const Pair u = {ui, ui};
      const Pair wi = {w[i], w[i]};
      for (long q = 0; q < kPairs; ++q) {
        const Pair v = Pair{src[2 * q][i], src[2 * q + 1][i]} * wi;
        const Pair p = v * v;
        energy[q] += p;
        moment[q] += p * u;
      }
    }
    double tc[kLanes];
    for (long j = 0; j < kLanes; ++j) {
      const double e = energy[j / 2][j % 2];
      tc[j] = e <= 0.0 ? 0.0 : moment[j / 2][j % 2] / e;
    }
    Pair spread[kPairs] = {};
    for (long i = 0; i < len; ++i) {
      const double ui = static_cast<double>(i) - c0;
      const Pair u = {ui, ui};
      const Pair wi = {w[i], w[i]};
      for (long q = 0; q < kPairs; ++q) {
        const Pair v = Pair{src[2 * q][i], src[2 * q + 1][i]} * wi;
        const Pair d = u - Pair{tc[2 * q], tc[2 * q + 1]};
        spread[q] += v * v * (d * d);
      }
    }
    for (long j = 0; j < kLanes; ++j) {
      centre_offsets[f + j] = tc[j];
      concentrations[f + j] = concentration_of(len, energy[j / 2][j % 2], spread[j / 2][j % 2]);
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
