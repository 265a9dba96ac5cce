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
    if (!g.reversed && g.moved == 0.0) continue;
    const double mark = g.in_pos - g.moved;
    const double reach = std::max(g.left, g.right) + std::abs(g.moved);
    const double before = energy(x, len, mark - reach, mark);
    const double after = energy(x, len, mark, mark + reach);
    const double lo = std::min(before, after), hi = std::max(before, after);
    if (hi > kMaxImbalance * lo) {
      g.reversed = false;
      g.in_pos = mark;
      g.moved = 0.0;
    }
  }
}
