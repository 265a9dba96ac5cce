#include "epochs/marktemporel.h"

#include <cmath>

namespace {

// Frames of the same length analysed side by side: their sums are independent chains of
// additions, so the processor overlaps them while each keeps its own order of terms.
constexpr long kQuads = 2;           // quads of frames per group
constexpr long kLanes = 4 * kQuads;  // frames per group

// Four doubles, handled by one instruction where the processor has them (two or four at a
// time otherwise); each lane is an ordinary double operation, so the results are those of the
// scalar code.
using Quad = double __attribute__((vector_size(32)));

// The one-frame result from the frame's energy, first moment and, for a frame with energy,
// its spread around the mean (d^2-weighted energy).
double concentration_of(long len, double energy, double spread) {
  const double sigma = energy <= 0.0 ? static_cast<double>(len / 2) : std::sqrt(spread / energy);
  return sigma / (-0.5 * static_cast<double>(len)) + 1.0;
}

// Frames 0 .. groups * kLanes - 1 of the windowed-frame form below, kLanes side by side
// (lanes 4q .. 4q + 3 share quad q). Compiled for the plain target and for processors with
// 4-wide double instructions, chosen at load time.
#if defined(__x86_64__) && defined(__GNUC__) && !defined(__clang__)
__attribute__((target_clones("avx", "default")))
#endif
void measure_groups(const double* x, long stride, const double* w, long len, long groups,
                    double* centre_offsets, double* concentrations) {
  const double c0 = static_cast<double>(len - 1) * 0.5;
  for (long g = 0; g < groups; ++g) {
    const long f = g * kLanes;
    const double* src[kLanes];
    for (long j = 0; j < kLanes; ++j) src[j] = x + (f + j) * stride;
    Quad energy[kQuads] = {}, moment[kQuads] = {};
    for (long i = 0; i < len; ++i) {
      const double u = static_cast<double>(i) - c0;
      for (long q = 0; q < kQuads; ++q) {
        const double* const* s = src + 4 * q;
        const Quad v = Quad{s[0][i], s[1][i], s[2][i], s[3][i]} * w[i];
        const Quad p = v * v;
        energy[q] += p;
        moment[q] += p * u;
      }
    }
    double tc[kLanes];
    for (long j = 0; j < kLanes; ++j) {
      const double e = energy[j / 4][j % 4];
      tc[j] = e <= 0.0 ? 0.0 : moment[j / 4][j % 4] / e;
    }
    Quad spread[kQuads] = {};
    for (long i = 0; i < len; ++i) {
      const double u = static_cast<double>(i) - c0;
      for (long q = 0; q < kQuads; ++q) {
        const double* const* s = src + 4 * q;
        const Quad v = Quad{s[0][i], s[1][i], s[2][i], s[3][i]} * w[i];
        const Quad d = u - Quad{tc[4 * q], tc[4 * q + 1], tc[4 * q + 2], tc[4 * q + 3]};
        spread[q] += v * v * (d * d);
      }
    }
    for (long j = 0; j < kLanes; ++j) {
      centre_offsets[f + j] = tc[j];
      concentrations[f + j] = concentration_of(len, energy[j / 4][j % 4], spread[j / 4][j % 4]);
    }
  }
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
  const long groups = count / kLanes;
  measure_groups(x, stride, w, len, groups, centre_offsets, concentrations);
  long f = groups * kLanes;
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
