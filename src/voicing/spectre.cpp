#include "voicing/spectre.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <numbers>

#include <ondule/ondule.h>

#include "voicing/fail.h"
#include "voicing/messages.h"
#include "voicing/rounded_modulus.h"

namespace {

constexpr double kRoundScale = 1e10;  // spectrum parts are rounded to 10 decimals

bool is_power_of_two(int n) {
  return n >= 2 && (n & (n - 1)) == 0;
}

// Smallest power of two strictly above l.
int pow2_above(int l) {
  int n = 2;
  while (n <= l) n *= 2;
  return n;
}

// Argument in radians; a zero real part gives pi/2, -pi/2 or 0 by the sign of im, whatever
// the sign of that zero.
double argument(double re, double im) {
  if (re == 0.0) {
    if (im > 0.0) return std::numbers::pi / 2.0;
    if (im < 0.0) return -std::numbers::pi / 2.0;
    return 0.0;
  }
  return std::atan2(im, re);
}

}  // namespace

double* SpectreWorkspace::buffer(int n) {
  if (buffer_.size() < 2 * static_cast<size_t>(n)) buffer_.resize(2 * static_cast<size_t>(n));
  return buffer_.data();
}

const double* SpectreWorkspace::rotation(int n, bool odd_length) {
  auto [it, fresh] = rotations_.try_emplace({n, odd_length});
  if (fresh) {
    const double d = odd_length ? n / 2 : n / 2 - 0.5;  // delay of the frame centre, samples
    std::vector<double>& table = it->second;
    table.resize(2 * static_cast<size_t>(n / 2 + 1));
    for (int k = 0; k <= n / 2; ++k) {
      const double theta = std::numbers::pi * k * d / n;
      table[2 * k] = std::cos(theta);
      table[2 * k + 1] = std::sin(theta);
    }
  }
  return it->second.data();
}

Status spectre(const double* frame, int L, int n, SpectreWorkspace& ws, double* magnitude,
               double* phase, int bins) {
  if (!is_power_of_two(n)) return voicing_detail::fail("spectre", voicing_msg::kSpectreBadN);
  double* x = ws.buffer(n);
  std::fill(x, x + 2 * static_cast<size_t>(n), 0.0);
  const int k0 = n / 2 - L / 2;  // 0-based position of frame[0]
  for (int i = 0; i < L; ++i) x[2 * (k0 + i)] = frame[i];

  ondule::complexfft(x, x, n, 1);

  const double* rot = ws.rotation(n, L % 2 == 1);
  const int last = std::clamp(bins, 1, n);
  const int rotated = std::min(last, n / 2 + 1);
  for (int k = 0; k < rotated; ++k) {
    const double re = x[2 * k];
    const double im = x[2 * k + 1];
    const double c = rot[2 * k];
    const double s = rot[2 * k + 1];
    x[2 * k] = re * c - im * s;
    x[2 * k + 1] = re * s + im * c;
  }
  rounded_modulus(x, last, magnitude);
  if (phase == nullptr) return Status{};
  for (int k = 0; k < last; ++k) {
    const double re = std::round(x[2 * k] * kRoundScale) / kRoundScale;
    const double im = std::round(x[2 * k + 1] * kRoundScale) / kRoundScale;
    phase[k] = argument(re, im);
  }
  return Status{};
}

Status spectre(const tessel::TesselVector<double>& frame, int& n,
               tessel::TesselVector<double>& magnitude, tessel::TesselVector<double>& phase) {
  const int L = frame.size();
  if (L > n) {
    std::printf("%s\n", voicing_msg::kSpectreLongFrame);
    n = pow2_above(L);
  }
  magnitude.resize(n);
  phase.resize(n);
  SpectreWorkspace ws;
  return spectre(frame.data(), L, n, ws, magnitude.data(), phase.data(), n);
}
