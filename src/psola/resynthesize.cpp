#include "psola/resynthesize.h"

#include <algorithm>
#include <cmath>

#include "psola/check_marks.h"
#include "psola/edge_marks.h"
#include "psola/interval_pitch.h"
#include "psola/interval_rates.h"
#include "psola/place_grains.h"
#include "psola/set_extents.h"
#include "psola/split_bands.h"

namespace {

void check_factor(const char* what, double v) {
  if (!(v >= kMinFactor && v <= kMaxFactor)) {
    throw PsolaError(std::string(what) + " factor must lie in [0.25, 4]");
  }
}

// Output positions of the marks under the duration factors, sample 0 staying at 0.
std::vector<double> output_positions(const std::vector<PsoMark>& m, const std::vector<double>& r) {
  std::vector<double> out(m.size());
  out[0] = m[0].pos * r[0];
  for (std::size_t i = 0; i + 1 < m.size(); ++i) {
    out[i + 1] = out[i] + r[i] * (m[i + 1].pos - m[i].pos);
  }
  return out;
}

// Output length: where input sample n lands.
std::size_t output_length(const std::vector<PsoMark>& m, const std::vector<double>& out,
                          const std::vector<double>& r, std::size_t n) {
  const double end = static_cast<double>(n);
  std::size_t i = 0;
  while (i + 2 < m.size() && m[i + 1].pos <= end) ++i;
  return static_cast<std::size_t>(std::max(0.0, std::round(out[i] + r[i] * (end - m[i].pos))));
}

}  // namespace

std::size_t resynthesize(const std::vector<float>& x, double sr, const PsoAnalysis& a,
                         const PsolaSettings& s, const SampleSink& sink, const Progress& progress) {
  check_factor("the pitch", s.pitch);
  check_factor("the duration", s.time);
  check_marks(a, x.size(), sr);
  const std::vector<PsoMark> m = edge_marks(a.marks, x.size(), sr);
  const std::vector<double> r = interval_rates(m, sr, s);
  const std::vector<double> out = output_positions(m, r);
  const std::size_t n_out = output_length(m, out, r, x.size());
  std::vector<Grain> g = place_grains(m, out, interval_pitch(m, sr, s), s.seed);
  set_extents(g);
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
