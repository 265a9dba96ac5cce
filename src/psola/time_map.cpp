#include "psola/time_map.h"

#include <algorithm>
#include <cmath>

#include "psola/edge_marks.h"
#include "psola/interval_rates.h"

TimeMap time_map(const std::vector<PsoMark>& marks, std::size_t n, double sr,
                 const PsolaSettings& s) {
  TimeMap t;
  t.marks = edge_marks(marks, n, sr);
  const std::vector<PsoMark>& m = t.marks;
  t.rates = interval_rates(m, sr, s);
  t.out.resize(m.size());
  t.out[0] = m[0].pos * t.rates[0];
  for (std::size_t i = 0; i + 1 < m.size(); ++i) {
    t.out[i + 1] = t.out[i] + t.rates[i] * (m[i + 1].pos - m[i].pos);
  }
  const double end = static_cast<double>(n);
  std::size_t i = 0;
  while (i + 2 < m.size() && m[i + 1].pos <= end) ++i;
  t.n_out =
      static_cast<std::size_t>(std::max(0.0, std::round(t.out[i] + t.rates[i] * (end - m[i].pos))));
  return t;
}
