// Harmonic contrast of a log power spectrum.
#include "harmonic_contrast.h"

#include <algorithm>
#include <cmath>

#include "ondule/ondule.h"

namespace harmex {

constexpr double kFloorRel = 1e-6;  // power floor, relative to the frame's strongest bin (-60 dB)

namespace {
// Nearest bin of a non-negative position (cheaper than std::lround, called per harmonic).
int nearest(double x) {
  return static_cast<int>(x + 0.5);
}
}  // namespace

HarmonicContrast::HarmonicContrast(long window, double sr, double lo_hz, double hi_hz)
    : window_(std::max(4L, window)) {
  constexpr int kMinFft = 64;  // keeps the band at least a few bins wide for tiny windows
  while (nfft_ < 2 * window_ || nfft_ < kMinFft) nfft_ *= 2;
  taper_.resize(static_cast<std::size_t>(window_));
  ondule::window(ondule::ond_Hanning, static_cast<int>(window_), taper_.data(), 0.0, nullptr,
                 nullptr, nullptr, nullptr);
  buf_.resize(2 * static_cast<std::size_t>(nfft_));
  logp_.assign(static_cast<std::size_t>(nfft_ / 2 + 1), 0.0);
  lo_ = std::clamp(static_cast<int>(std::ceil(lo_hz * nfft_ / sr)), 1, nfft_ / 2 - 1);
  hi_ = std::clamp(static_cast<int>(std::floor(hi_hz * nfft_ / sr)), lo_ + 1, nfft_ / 2 - 1);
}

bool HarmonicContrast::analyse(const float* x) {
  std::fill(buf_.begin(), buf_.end(), 0.0);
  for (long i = 0; i < window_; ++i) buf_[2 * i] = taper_[i] * x[i];
  ondule::complexfft(buf_.data(), buf_.data(), nfft_, 1);
  double peak = 0.0;
  for (int b = lo_ - 1; b <= hi_ + 1; ++b) {
    logp_[b] = buf_[2 * b] * buf_[2 * b] + buf_[2 * b + 1] * buf_[2 * b + 1];
    peak = std::max(peak, logp_[b]);
  }
  silent_ = !(peak > 0.0) || !std::isfinite(peak);
  if (silent_) return false;
  const double floor = kFloorRel * peak;
  for (int b = lo_ - 1; b <= hi_ + 1; ++b) logp_[b] = std::log(logp_[b] + floor);
  return true;
}

double HarmonicContrast::at(double lag) const {
  if (silent_ || !(lag > 0.0)) return 0.0;
  const double step = nfft_ / lag;  // bins between harmonics
  double sum = 0.0;
  int count = 0;
  for (int h = 1;; ++h) {
    const auto c = nearest(h * step);
    if (c > hi_) break;
    const auto v = nearest((h - 0.5) * step);
    if (v < lo_) continue;
    // The harmonic may sit a bin off its ideal place (f0 moving within the frame); the valley
    // is averaged over three bins.
    const double top = std::max({logp_[c - 1], logp_[c], logp_[c + 1]});
    const double valley = (logp_[v - 1] + logp_[v] + logp_[v + 1]) / 3.0;
    sum += top - valley;
    ++count;
  }
  return count > 0 ? sum / count : 0.0;
}

double HarmonicContrast::interleaved_level(double lag, int m) const {
  if (silent_ || !(lag > 0.0) || m < 2) return 1.0;
  const double step = nfft_ / lag;
  double sum_between = 0.0, sum_multiple = 0.0;  // log power, nepers
  int n_between = 0, n_multiple = 0;
  for (int h = 1;; ++h) {
    const auto c = nearest(h * step);
    if (c > hi_) break;
    if (c < lo_) continue;
    const double top = std::max({logp_[c - 1], logp_[c], logp_[c + 1]});
    if (h % m != 0) {
      sum_between += top;
      ++n_between;
    } else {
      sum_multiple += top;
      ++n_multiple;
    }
  }
  if (n_between == 0 || n_multiple == 0) return 1.0;
  // Geometric means of the powers; the square root of their ratio is an amplitude ratio.
  return std::exp(0.5 * (sum_between / n_between - sum_multiple / n_multiple));
}

}  // namespace harmex
