#include "psola/keep_reversible.h"

#include <algorithm>
#include <cmath>

namespace {

constexpr double kMaxImbalance = 4.0;  // energy ratio of the halves (6 dB)

double energy(const float* x, long n, double from, double to) {
  const long a = std::clamp(static_cast<long>(std::ceil(from)), 0L, n);
  const long b = std::clamp(static_cast<long>(std::floor(to)), a, n);
  double s = 0.0;
  for (long i = a; i < b; ++i) s += static_cast<double>(x[i]) * x[i];
  return s / static_cast<double>(std::max(1L, b - a));
}

}  // namespace

void keep_reversible(std::vector<Grain>& grains, const float* x, std::size_t n) {
  const auto len = static_cast<long>(n);
  for (Grain& g : grains) {
    if (!g.reversed) continue;
    const double before = energy(x, len, g.in_pos - g.right, g.in_pos);
    const double after = energy(x, len, g.in_pos, g.in_pos + g.left);
    const double lo = std::min(before, after), hi = std::max(before, after);
    if (hi > kMaxImbalance * lo) g.reversed = false;
  }
}
