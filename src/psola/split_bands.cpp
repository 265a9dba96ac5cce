#include "psola/split_bands.h"

#include <cmath>
#include <numbers>

#include "ondule/ondule.h"

namespace {

// Frame length for the rate: 1024 at 44.1 kHz, a power of two near 23 ms.
int frame_length(double sr) {
  int n = 64;
  while (n < 0.023 * sr && n < (1 << 16)) n *= 2;
  return n;
}

}  // namespace

Bands split_bands(const std::vector<float>& x, double sr, const std::vector<PsoMark>& m) {
  const int n = frame_length(sr);
  const int hop = n / 4;
  const double gain = 1.0 / 1.5;  // Hann squared, a quarter frame apart, sums to 1.5
  std::vector<double> w(static_cast<std::size_t>(n));
  for (int i = 0; i < n; ++i) w[i] = 0.5 - 0.5 * std::cos(2.0 * std::numbers::pi * i / n);
  std::vector<double> high(x.size(), 0.0), buf(2 * static_cast<std::size_t>(n));
  const long len = static_cast<long>(x.size());
  std::size_t j = 0;  // nearest mark
  for (long start = -n; start < len; start += hop) {
    const double centre = static_cast<double>(start) + 0.5 * n;
    while (j + 1 < m.size() && std::abs(m[j + 1].pos - centre) <= std::abs(m[j].pos - centre)) ++j;
    if (m.empty() || !m[j].voiced || m[j].transient) continue;
    const int cut = static_cast<int>(std::ceil(m[j].cutoff / sr * n));
    if (cut >= n / 2) continue;
    for (int i = 0; i < n; ++i) {
      const long k = start + i;
      buf[2 * i] = k >= 0 && k < len ? w[i] * x[k] : 0.0;
      buf[2 * i + 1] = 0.0;
    }
    ondule::complexfft(buf.data(), buf.data(), n, 1);
    for (int b = 0; b < n; ++b) {
      const int f = b <= n / 2 ? b : n - b;  // bin's frequency index
      if (f < std::max(cut, 1)) buf[2 * b] = buf[2 * b + 1] = 0.0;
    }
    ondule::complexfft(buf.data(), buf.data(), n, -1);
    for (int i = 0; i < n; ++i) {
      const long k = start + i;
      if (k >= 0 && k < len) high[k] += gain * w[i] * buf[2 * i] / n;
    }
  }
  Bands b;
  b.low.resize(x.size());
  b.high.resize(x.size());
  for (std::size_t i = 0; i < x.size(); ++i) {
    b.high[i] = static_cast<float>(high[i]);
    b.low[i] = x[i] - b.high[i];
  }
  return b;
}
