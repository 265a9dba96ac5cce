#include "epochs/ener.h"

#include <algorithm>
#include <cmath>

using tessel::TesselVector;

TesselVector<double> ener(const TesselVector<double>& signal, const double& sr, double& window_s,
                          double& hop_s) {
  if (hop_s == 0.0) hop_s = 0.5 * window_s;
  const long frame = static_cast<long>(std::round(sr * window_s));            // samples
  const long step = std::max(1L, static_cast<long>(std::round(sr * hop_s)));  // samples

  const long n = signal.size();
  TesselVector<double> out(n, 0.0);
  // Held span of each frame, relative to its start.
  const long lo = static_cast<long>(std::round(0.5 * frame - 0.5 * step));
  const long hi = static_cast<long>(std::round(0.5 * frame + 0.5 * step));
  if (n <= frame) return out;

  const double* x = signal.data();
  double* e = out.data();
  const double inv_window = 1.0 / window_s;
  // The window is rectangular (all weights 1), so the frame is the signal itself; each frame
  // is summed afresh rather than by a running sum.
  for (long k = 0; k < n - frame; k += step) {
    double sum = 0.0;
    for (long i = 0; i < frame; ++i) sum += x[k + i] * x[k + i];
    const double value = std::sqrt(inv_window * sum);
    const long j_end = std::min(k + hi, n - 1);
    for (long j = std::max(0L, k + lo); j <= j_end; ++j) e[j] = value;
  }
  return out;
}

void ener(const TesselVector<double>& signal, double sr, double window_s, double hop_s, long from,
          long count, double* out) {
  if (count <= 0) return;
  std::fill(out, out + count, 0.0);
  const long frame = static_cast<long>(std::round(sr * window_s));            // samples
  const long step = std::max(1L, static_cast<long>(std::round(sr * hop_s)));  // samples
  const long n = signal.size();
  const long lo = static_cast<long>(std::round(0.5 * frame - 0.5 * step));
  const long hi = static_cast<long>(std::round(0.5 * frame + 0.5 * step));
  if (n <= frame) return;
  const double* x = signal.data();
  const double inv_window = 1.0 / window_s;
  const long to = from + count;  // one past the block's last sample
  // The frames k (multiples of step below n - frame) whose held span k + lo .. k + hi meets
  // the block, in increasing order so that a later frame overwrites a shared border.
  const long k_min = std::max(0L, from - hi);
  long k = (k_min + step - 1) / step * step;
  for (; k < n - frame && k + lo < to; k += step) {
    double sum = 0.0;
    for (long i = 0; i < frame; ++i) sum += x[k + i] * x[k + i];
    const double value = std::sqrt(inv_window * sum);
    const long j_end = std::min({k + hi, n - 1, to - 1});
    for (long j = std::max({0L, k + lo, from}); j <= j_end; ++j) out[j - from] = value;
  }
}
