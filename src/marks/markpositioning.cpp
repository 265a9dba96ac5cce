#include "marks/markpositioning.h"

#include <algorithm>
#include <cmath>
#include <optional>
#include <set>
#include <utility>
#include <vector>

#include "epochs/evalbp_v.h"
#include "marks/bp_increasing.h"
#include "marks/fcol_markpositioning.h"
#include "marks/marknoise.h"
#include "marks/markperiodic.h"
#include "marks/roundsamples.h"
#include "tessel/tessel_parallel.h"

namespace {

using Mark = tessel::cplx<double>;  // (time in s, kind)
using Rows = std::vector<std::pair<double, double>>;

constexpr double kVoiced = 1.0;
constexpr double kUnvoiced = 0.0;
constexpr double kTransient = 2.0;

void append(std::vector<Mark>& marks, const tessel::TesselVector<Mark>& block) {
  const tessel::TesselVector<Mark> col = fcol_markpositioning(block);
  marks.insert(marks.end(), col.begin(), col.end());
}

void sort_by_time(std::vector<Mark>& marks) {
  std::stable_sort(marks.begin(), marks.end(),
                   [](const Mark& a, const Mark& b) { return a.re < b.re; });
}

void to_matrix(const Rows& rows, tessel::TesselMatrix<double>& m) {
  m.resize(0, 0);
  m.resize(static_cast<long>(rows.size()), 2);
  for (std::size_t r = 0; r < rows.size(); ++r) {
    m(r, 0) = rows[r].first;
    m(r, 1) = rows[r].second;
  }
}

// Kind of every mark (sorted by time) from the voicing coefficient at its time.
void voicing_kinds(std::vector<Mark>& marks, double sr, const tessel::TesselVector<Mark>& voicing_v,
                   double voice_threshold) {
  const long nv = voicing_v.size();
  tessel::TesselMatrix<double> bp(nv, 2, 0.0);
  for (long r = 0; r < nv; ++r) {
    bp(r, 0) = voicing_v[r].re / sr;
    bp(r, 1) = voicing_v[r].im;
  }
  tessel::TesselVector<double> times(static_cast<long>(marks.size()), 0.0);
  for (std::size_t i = 0; i < marks.size(); ++i) times[i] = marks[i].re;
  const tessel::TesselVector<double> coef = evalbp_v(bp, times);
  for (std::size_t i = 0; i < marks.size(); ++i) {
    marks[i].im = coef[i] > voice_threshold ? kVoiced : kUnvoiced;
  }
}

// Kind 2 for the marks (sorted by time) inside a transient zone, bounds included; a zone with
// no mark, counting those added for earlier zones, receives one at its middle.
void transient_kinds(std::vector<Mark>& marks, const tessel::TesselMatrix<double>& transient_m) {
  const long zones = transient_m.ncols() >= 2 ? transient_m.nrows() : 0;
  if (zones == 0) return;
  std::vector<double> times(marks.size());
  for (std::size_t i = 0; i < marks.size(); ++i) times[i] = marks[i].re;
  // Covering counts as differences: +1 at a zone's first mark, -1 after its last, so that
  // overlapping zones cost no more than disjoint ones.
  std::vector<long> cover(marks.size() + 1, 0);
  std::multiset<double> added;
  for (long z = 0; z < zones; ++z) {
    const double s = transient_m(z, 0), e = transient_m(z, 1);
    if (std::isnan(s) || std::isnan(e)) continue;
    const auto lo = std::lower_bound(times.begin(), times.end(), s) - times.begin();
    const auto hi = std::upper_bound(times.begin(), times.end(), e) - times.begin();
    if (lo < hi) {
      ++cover[lo];
      --cover[hi];
      continue;
    }
    const auto earlier = added.lower_bound(s);
    if (earlier != added.end() && *earlier <= e) continue;
    added.insert((s + e) * 0.5);
  }
  long inside = 0;
  for (std::size_t i = 0; i < marks.size(); ++i) {
    inside += cover[i];
    if (inside > 0) marks[i].im = kTransient;
  }
  for (const double t : added) marks.emplace_back(t, kTransient);
}

}  // namespace

Expected<tessel::TesselVector<Mark>> markpositioning(
    const tessel::TesselVector<double>& data_v, double sr, const tessel::TesselMatrix<double>& f0_m,
    const tessel::TesselMatrix<double>& voiced_m, const tessel::TesselMatrix<double>& transient_m,
    double noise_rate, double alpha, double beta, double gamma,
    const tessel::TesselVector<Mark>& voicing_v, double voice_threshold,
    tessel::TesselMatrix<double>& marked_voiced_m, tessel::TesselMatrix<double>& noise_m) {
  using marks_detail::roundsamples;
  const long N = data_v.size();
  const double end_time = static_cast<double>(N - 1) / sr;  // last sample of the curve (s)
  // The f0 track's order is checked once here, so that every lookup below is a binary search.
  const bool increasing = bp_increasing(f0_m);

  std::vector<Mark> marks;
  Rows marked;             // first and last periodic mark of each zone that gave marks
  Rows noise{{0.0, 0.0}};  // one more row than marked: the stretches around them
  const long zones = voiced_m.ncols() >= 2 ? voiced_m.nrows() : 0;
  // The zones' periodic marks depend on their own stretch of the curve only: they are placed
  // side by side, and taken in zone order (the first failing zone's failure, as one by one).
  std::vector<std::optional<Expected<tessel::TesselVector<double>>>> periodic_of(
      static_cast<std::size_t>(zones));
  constexpr long kZonesPerChunk = 4;
  tessel::parallel::parallel_for(zones, kZonesPerChunk, [&](long z0, long z1, int) {
    for (long z = z0; z < z1; ++z) {
      const long debut_n = roundsamples(voiced_m(z, 0) * sr);
      const long fin_n = std::min(roundsamples(voiced_m(z, 1) * sr), N - 1);
      // A zone clipped to less than two samples (one starting at or past the curve's end,
      // which the shorter epoch curves leave uncovered) cannot hold a periodic mark.
      if (fin_n <= debut_n) continue;
      periodic_of[static_cast<std::size_t>(z)] =
          markperiodic(data_v, sr, f0_m, debut_n, fin_n, alpha, beta, gamma, increasing);
    }
  });
  for (long z = 0; z < zones; ++z) {
    const auto& periodic = periodic_of[static_cast<std::size_t>(z)];
    if (!periodic) continue;
    if (!*periodic) return periodic->error();
    const tessel::TesselVector<double>& times = periodic->value();
    tessel::TesselVector<Mark> block(times.size(), Mark(0.0, kVoiced));
    for (int i = 0; i < times.size(); ++i) block[i].re = times[i];
    append(marks, block);
    const double first = times[0], last = times[times.size() - 1];
    marked.emplace_back(first, last);
    noise.back().second = first;
    noise.emplace_back(last, 0.0);
  }
  noise.back().second = end_time;

  for (const auto& [start, end] : noise) {
    const tessel::TesselVector<Mark> block =
        marknoise(roundsamples(start * sr), roundsamples(end * sr), noise_rate, sr);
    // (0, 0) alone is marknoise's answer for a stretch too short to hold a mark.
    if (block.size() == 1 && block[0].re == 0.0 && block[0].im == 0.0) continue;
    append(marks, block);
  }

  sort_by_time(marks);
  voicing_kinds(marks, sr, voicing_v, voice_threshold);
  transient_kinds(marks, transient_m);
  sort_by_time(marks);

  to_matrix(marked, marked_voiced_m);
  to_matrix(noise, noise_m);
  tessel::TesselVector<Mark> out(static_cast<long>(marks.size()));
  std::copy(marks.begin(), marks.end(), out.data());
  return out;
}
