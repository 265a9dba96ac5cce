#include "psola/interval_rates.h"

#include <algorithm>

#include "psola/curve_value.h"

namespace {

constexpr double kTakeUpS = 0.05;     // reach of the neighbours that take up a transient's share
constexpr double kTakeUpSpans = 3.0;  // ... or this many times the transient's span, if longer
constexpr double kMinRate = 0.01;     // no interval shrinks below this factor

struct Span {
  std::size_t first, last;  // intervals first..last keep their length
  double deficit;           // samples the stretch would have added to them (negative: removed)
};

// Adds the span's deficit to the free intervals around it, spread in proportion to length.
void take_up(const std::vector<PsoMark>& m, const Span& s, double sr,
             const std::vector<char>& locked, std::vector<double>& r) {
  const double span = m[s.last + 1].pos - m[s.first].pos;
  const double reach = std::max(kTakeUpS * sr, kTakeUpSpans * span);
  const std::size_t n = r.size();
  std::size_t lo = s.first, hi = s.last + 1;  // free intervals: [lo, first) and (last, hi)
  double left = 0.0, right = 0.0, len = 0.0;
  while (lo > 0 && left < reach) {
    --lo;
    len = m[lo + 1].pos - m[lo].pos;
    if (!locked[lo]) left += len;
  }
  while (hi < n && right < reach) {
    len = m[hi + 1].pos - m[hi].pos;
    if (!locked[hi]) right += len;
    ++hi;
  }
  if (left + right <= 0.0) return;
  const double add = s.deficit / (left + right);
  for (std::size_t i = lo; i < hi; ++i) {
    if (!locked[i]) r[i] = std::max(kMinRate, r[i] + add);
  }
}

}  // namespace

std::vector<double> interval_rates(const std::vector<PsoMark>& m, double sr,
                                   const PsolaSettings& s) {
  const std::size_t n = m.size() - 1;
  std::vector<double> r(n);
  for (std::size_t i = 0; i < n; ++i) {
    const double t = 0.5 * (m[i].pos + m[i + 1].pos) / sr;
    r[i] = s.time * (s.time_curve.empty() ? 1.0 : curve_value(s.time_curve, t));
  }
  std::vector<char> locked(n, 0);
  std::vector<Span> spans;
  for (std::size_t j = 1; j + 1 < m.size(); ++j) {
    if (!m[j].transient) continue;
    std::size_t k = j;
    while (k + 2 < m.size() && m[k + 1].transient) ++k;
    Span sp{j - 1, k, 0.0};
    for (std::size_t i = sp.first; i <= sp.last; ++i) {
      sp.deficit += (r[i] - 1.0) * (m[i + 1].pos - m[i].pos);
      r[i] = 1.0;
      locked[i] = 1;
    }
    spans.push_back(sp);
    j = k;
  }
  for (const Span& sp : spans) take_up(m, sp, sr, locked, r);
  return r;
}
