#include "marks/localmax.h"

#include <algorithm>
#include <vector>

#include "marks/bp_increasing.h"
#include "marks/evalbp_s.h"
#include "marks/lmeanf0.h"
#include "marks/markfail.h"
#include "marks/messages.h"
#include "marks/roundsamples.h"

namespace {

// 0-based index of the first largest value of x[lo .. hi] (lo <= hi).
long first_peak(const double* x, long lo, long hi) {
  long q = lo;
  for (long i = lo + 1; i <= hi; ++i) {
    if (x[i] > x[q]) q = i;
  }
  return q;
}

}  // namespace

Expected<tessel::TesselVector<tessel::cplx<double>>> localmax(
    const tessel::TesselVector<double>& data_v, double sr, const tessel::TesselMatrix<double>& f0_m,
    long debut_n, long fin_n, double alpha, double& energy, bool increasing, bool allow_empty) {
  using marks_detail::roundsamples;
  if (debut_n < 0) return marks_detail::markfail(marks_msg::kLocalmaxDebut);
  if (fin_n > static_cast<long>(data_v.size()) - 1)
    return marks_detail::markfail(marks_msg::kLocalmaxFin);
  energy = 0.0;
  const double* x = data_v.data();
  std::vector<tessel::cplx<double>> marks;

  // Local mean f0 (Hz) at time t: the mean over one period from t.
  const auto mean_f0 = [&](double t) {
    const double f = evalbp_s(f0_m, t, increasing);
    return lmeanf0(t, t + 1.0 / f, f0_m, increasing);
  };

  const long T0 = roundsamples(sr / evalbp_s(f0_m, static_cast<double>(debut_n) / sr, increasing));
  const long e = std::min(debut_n + T0, fin_n);
  if (e >= debut_n) {
    // Expected positions are 1-based sample numbers g; the first is the peak of the first
    // period, each next one a rounded local mean period further. The positions are walked as
    // they are made: the first one past the stretch ends the walk.
    long g = first_peak(x, debut_n, e) + 1;
    while (fin_n + 1 > g) {
      const double f = evalbp_s(f0_m, static_cast<double>(g - 1) / sr, increasing);
      const long w = roundsamples(sr / f / alpha);   // half-width of the search window, samples
      const long lo = std::max(g - w, debut_n + 1);  // 1-based, inclusive
      const long hi = std::min(g + w, fin_n + 1);
      if (lo <= hi) {
        const long q = first_peak(x, lo - 1, hi - 1);  // 0-based
        energy += x[q];
        const double t = static_cast<double>(q) / sr;
        marks.emplace_back(t, 1.0 / mean_f0(t));
      }
      // The next position: a local mean period after g, read as the time g / sr. At least one
      // sample, so that a degenerate f0 cannot stall the walk.
      g += std::max(1L, roundsamples(sr / mean_f0(static_cast<double>(g) / sr)));
    }
  }

  if (marks.empty() && !allow_empty) return marks_detail::markfail(marks_msg::kLocalmaxEmpty);
  tessel::TesselVector<tessel::cplx<double>> out(static_cast<long>(marks.size()));
  std::copy(marks.begin(), marks.end(), out.data());
  return out;
}

Expected<tessel::TesselVector<tessel::cplx<double>>> localmax(
    const tessel::TesselVector<double>& data_v, double sr, const tessel::TesselMatrix<double>& f0_m,
    long debut_n, long fin_n, double alpha, double& energy) {
  return localmax(data_v, sr, f0_m, debut_n, fin_n, alpha, energy, bp_increasing(f0_m), false);
}
