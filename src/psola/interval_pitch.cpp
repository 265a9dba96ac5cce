#include "psola/interval_pitch.h"

#include <algorithm>

#include "psola/curve_value.h"

namespace {

// Target f0 at t (Hz), 0 where the curve says "keep": outside its time range and wherever a
// break point on either side of t is 0 (no glide from or to "keep").
double target_f0(const Curve& c, double t) {
  if (c.empty() || t < c.front().first || t > c.back().first) return 0.0;
  const auto hi =
      std::lower_bound(c.begin(), c.end(), t, [](const auto& p, double x) { return p.first < x; });
  if (hi->first == t) return hi->second;
  const auto lo = hi - 1;
  if (lo->second <= 0.0 || hi->second <= 0.0) return 0.0;
  return curve_value(c, t);
}

}  // namespace

std::vector<double> interval_pitch(const std::vector<PsoMark>& m, double sr,
                                   const PsolaSettings& s) {
  const std::size_t n = m.size() - 1;
  std::vector<double> k(n, 1.0);
  for (std::size_t i = 0; i < n; ++i) {
    const PsoMark& a = m[i];
    const PsoMark& b = m[i + 1];
    if (!a.voiced || !b.voiced || a.transient || b.transient) continue;
    const double t = 0.5 * (a.pos + b.pos) / sr;
    double f = s.pitch * (s.pitch_curve.empty() ? 1.0 : curve_value(s.pitch_curve, t));
    const double f0 = 0.5 * (a.f0 + b.f0);
    const double mod = 0.5 * (a.mod + b.mod);
    const double target = target_f0(s.f0_curve, t);
    if (target > 0.0 && f0 > 0.0) {
      f *= target / f0;
    } else if (s.intonation && mod > -1.0) {
      f *= (1.0 + *s.intonation * mod) / (1.0 + mod);
    }
    k[i] = std::clamp(f, kMinFactor, kMaxFactor);
  }
  return k;
}
