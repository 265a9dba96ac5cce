// Polyphase decimation: only the kept outputs of the FIR are computed.
#include "decimate.h"

#include <algorithm>
#include <cmath>
#include <numbers>

#include "tessel/tessel_parallel.h"

namespace harmex {
namespace {

// Zeroth-order modified Bessel function of the first kind (series), for the Kaiser window.
double bessel_i0(double x) {
  double sum = 1.0, term = 1.0;
  for (int k = 1; k < 60; ++k) {
    term *= (x / (2.0 * k)) * (x / (2.0 * k));
    sum += term;
    if (term < 1e-17 * sum) break;
  }
  return sum;
}

}  // namespace

std::vector<float> decimate(const float* x, std::size_t n, int factor, double sr, double pass_hz,
                            int threads) {
  if (factor <= 1) return std::vector<float>(x, x + n);
  const std::size_t m =
      (n + static_cast<std::size_t>(factor) - 1) / static_cast<std::size_t>(factor);
  std::vector<float> y(m, 0.0f);

  constexpr double kStopDb = 60.0;               // stop-band attenuation, dB
  const double beta = 0.1102 * (kStopDb - 8.7);  // Kaiser's formula for that attenuation
  const double fs = sr / factor;
  const double stop_hz = std::max(fs - pass_hz, pass_hz * 1.05);
  const double dw = 2.0 * std::numbers::pi * (stop_hz - pass_hz) / sr;  // transition, rad/sample
  int half = static_cast<int>(std::ceil((kStopDb - 7.95) / (2.285 * dw) / 2.0));
  half = std::clamp(half, 4, 4096);
  const double fc = 0.5 * (pass_hz + stop_hz) / sr;  // cut-off, cycles per sample
  std::vector<float> h(2 * static_cast<std::size_t>(half) + 1);
  double sum = 0.0;
  for (int k = -half; k <= half; ++k) {
    const double u = static_cast<double>(k) / half;
    const double w = bessel_i0(beta * std::sqrt(std::max(0.0, 1.0 - u * u))) / bessel_i0(beta);
    const double s =
        k == 0 ? 2.0 * fc : std::sin(2.0 * std::numbers::pi * fc * k) / (std::numbers::pi * k);
    h[static_cast<std::size_t>(k + half)] = static_cast<float>(s * w);
    sum += s * w;
  }
  for (float& v : h) v = static_cast<float>(v / sum);  // unit gain at 0 Hz

  const auto taps = static_cast<long>(h.size());
  const auto len = static_cast<long>(n);
  // Each output is its own sum: blocks of them are computed side by side.
  constexpr long kOutputsPerBlock = 1L << 14;
  tessel::parallel::parallel_for(
      static_cast<long>(m), kOutputsPerBlock,
      [&](long i0, long i1, int) {
        for (long i = i0; i < i1; ++i) {
          const long start = i * factor - half;  // x index under h[0]
          const long k0 = std::max(0L, -start), k1 = std::min(taps, len - start);
          // Four partial sums let the compiler vectorise without reassociating one sum.
          float a0 = 0.0f, a1 = 0.0f, a2 = 0.0f, a3 = 0.0f;
          long k = k0;
          for (; k + 4 <= k1; k += 4) {
            a0 += h[static_cast<std::size_t>(k)] * x[start + k];
            a1 += h[static_cast<std::size_t>(k + 1)] * x[start + k + 1];
            a2 += h[static_cast<std::size_t>(k + 2)] * x[start + k + 2];
            a3 += h[static_cast<std::size_t>(k + 3)] * x[start + k + 3];
          }
          for (; k < k1; ++k) a0 += h[static_cast<std::size_t>(k)] * x[start + k];
          y[static_cast<std::size_t>(i)] = (a0 + a1) + (a2 + a3);
        }
      },
      threads);
  return y;
}

}  // namespace harmex
