#include "psola/widen_transients.h"

#include <algorithm>
#include <cmath>

namespace {

constexpr double kFrameS = 0.001;    // energy frames, seconds
constexpr int kBefore = 6;           // frames an attack is compared with
constexpr double kSearchS = 0.02;    // the attack lies this close to the flagged marks, seconds
constexpr double kDecayDb = 20.0;    // the burst ends this far below its peak, dB
constexpr double kMaxBurstS = 0.04;  // and at most this long after its attack, seconds
constexpr double kRise = 1.5;        // a frame this much louder than the one before ends the decay

// Energy of the differenced sound over the frame starting at sample a, of h samples.
double frame_energy(const std::vector<float>& x, long a, long h) {
  const auto n = static_cast<long>(x.size());
  double s = 0.0;
  for (long i = std::max(a, 1L); i < std::min(a + h, n); ++i) {
    const double d = static_cast<double>(x[i]) - x[i - 1];
    s += d * d;
  }
  return s;
}

struct Burst {
  double attack = 0.0, end = 0.0;  // samples
};

Burst find_burst(const std::vector<float>& x, double sr, double from, double to) {
  const long h = std::max(1L, std::lround(kFrameS * sr));
  const long first = std::max(0L, static_cast<long>((from - kSearchS * sr) / h));
  const long last = static_cast<long>((to + kSearchS * sr) / h);
  std::vector<double> e;
  for (long f = first - kBefore; f <= last + static_cast<long>(kMaxBurstS / kFrameS); ++f) {
    e.push_back(f < 0 ? 0.0 : frame_energy(x, f * h, h));
  }
  // The sharpest rise over the frames before it.
  std::size_t at = kBefore;
  double best = -1.0;
  for (std::size_t i = kBefore; i < static_cast<std::size_t>(last - first + kBefore) + 1; ++i) {
    const double before = *std::max_element(e.begin() + static_cast<long>(i - kBefore),
                                            e.begin() + static_cast<long>(i));
    const double rise = e[i] / (before + 1e-12);
    if (rise > best) best = rise, at = i;
  }
  std::size_t peak = at;
  std::size_t end = at;
  const std::size_t stop =
      std::min(e.size() - 1, at + static_cast<std::size_t>(kMaxBurstS / kFrameS));
  for (std::size_t i = at + 1; i <= stop; ++i) {
    if (e[i] > e[peak]) peak = i;
    end = i;
    if (e[i] < e[peak] * std::pow(10.0, -kDecayDb / 10.0)) break;
    if (i > peak + 2 && e[i] > kRise * e[i - 1] && e[i - 1] > 0.0) break;
  }
  Burst b;
  b.attack = static_cast<double>((static_cast<long>(at) + first - kBefore) * h);
  b.end = static_cast<double>((static_cast<long>(end) + first - kBefore) * h);
  return b;
}

}  // namespace

std::vector<PsoMark> widen_transients(const std::vector<PsoMark>& marks,
                                      const std::vector<float>& x, double sr) {
  std::vector<PsoMark> m = marks;
  const std::size_t n = m.size();
  for (std::size_t j = 0; j < n; ++j) {
    if (!marks[j].transient) continue;
    std::size_t last = j;
    while (last + 1 < n && marks[last + 1].transient) ++last;
    const Burst b = find_burst(x, sr, marks[j].pos, marks[last].pos);
    std::size_t a = j, z = last;
    while (a > 0 && m[a].pos > b.attack) --a;
    while (z + 1 < n && m[z].pos < b.end) ++z;
    for (std::size_t i = a; i <= z; ++i) m[i].transient = m[i].transient || !m[i].voiced;
    j = last;
  }
  return m;
}
