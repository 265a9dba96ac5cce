#include "psola/resynthesize.h"

#include <algorithm>
#include <cmath>

#include "psola/check_marks.h"
#include "psola/interval_pitch.h"
#include "psola/keep_reversible.h"
#include "psola/place_grains.h"
#include "psola/set_extents.h"
#include "psola/split_bands.h"
#include "psola/time_map.h"
#include "psola/widen_transients.h"

namespace {

void check_factor(const char* what, double v) {
  if (!(v >= kMinFactor && v <= kMaxFactor)) {
    throw PsolaError(std::string(what) + " factor must lie in [0.25, 4]");
  }
}

}  // namespace

std::size_t resynthesize(const std::vector<float>& x, double sr, const PsoAnalysis& a,
                         const PsolaSettings& s, const SampleSink& sink, const Progress& progress) {
  check_factor("the pitch", s.pitch);
  check_factor("the duration", s.time);
  check_marks(a, x.size(), sr);
  const TimeMap map = time_map(widen_transients(a.marks, x, sr), x.size(), sr, s);
  const std::vector<PsoMark>& m = map.marks;
  const std::vector<double>& out = map.out;
  const std::size_t n_out = map.n_out;
  std::vector<Grain> g = place_grains(m, out, interval_pitch(m, sr, s), s.seed);
  set_extents(g);
  keep_reversible(g, x.data(), x.size());
  if (!s.hybrid) {
    overlap_add(x.data(), x.size(), g, n_out, sink, progress);
    return n_out;
  }
  // Hybrid: the band above each voiced mark's cut-off goes through unvoiced placement (moved
  // in time, never pitch-shifted) and is added back to the pitch-shifted band below.
  const Bands b = split_bands(x, sr, a.marks);
  PsolaSettings moved = s;
  moved.pitch = 1.0;
  moved.pitch_curve.clear();
  moved.f0_curve.clear();
  moved.intonation.reset();
  std::vector<Grain> gh = place_grains(m, out, interval_pitch(m, sr, moved), s.seed);
  set_extents(gh);
  keep_reversible(gh, b.high.data(), b.high.size());
  std::vector<float> high;
  high.reserve(n_out);
  overlap_add(b.high.data(), b.high.size(), gh, n_out,
              [&](const double* v, std::size_t c) { high.insert(high.end(), v, v + c); }, {});
  std::vector<double> sum;
  std::size_t done = 0;
  overlap_add(
      b.low.data(), b.low.size(), g, n_out,
      [&](const double* v, std::size_t c) {
        sum.assign(v, v + c);
        for (std::size_t i = 0; i < c; ++i) sum[i] += high[done + i];
        done += c;
        sink(sum.data(), c);
      },
      progress);
  return n_out;
}
