#include "psola/check_marks.h"

#include <cmath>
#include <sstream>

namespace {

constexpr double kCoverS = 0.1;        // largest unmarked stretch at either end, seconds ...
constexpr double kCoverPeriods = 4.0;  // ... or this many spacings of the end marks

}  // namespace

void check_marks(const PsoAnalysis& a, std::size_t n, double sr) {
  auto fail = [](const std::string& why) { throw PsolaError(why); };
  if (a.marks.empty()) fail("the analysis holds no pitch mark");
  if (std::abs(a.sr - sr) > 1e-6 * sr) {
    std::ostringstream s;
    s << "the analysis was made at " << a.sr << " Hz, the sound is at " << sr << " Hz";
    fail(s.str());
  }
  const double last = static_cast<double>(n);  // one sample of slack past the end
  double prev = -1.0;
  for (std::size_t i = 0; i < a.marks.size(); ++i) {
    const PsoMark& m = a.marks[i];
    std::ostringstream s;
    s << "mark " << i + 1 << " at sample " << m.pos;
    if (!std::isfinite(m.pos) || m.pos < -1.0 || m.pos > last) {
      s << " lies outside the sound (" << n << " samples)";
      fail(s.str());
    }
    if (i > 0 && !(m.pos > prev)) {
      s << " does not come after the mark before it (" << prev << ")";
      fail(s.str());
    }
    if (!std::isfinite(m.f0) || !std::isfinite(m.mod) || !std::isfinite(m.cutoff)) {
      s << " has a value that is not a finite number";
      fail(s.str());
    }
    prev = m.pos;
  }
  // The analysis marks the whole sound; marks that stop short belong to a shorter sound.
  const std::size_t k = a.marks.size();
  const double head = k > 1 ? a.marks[1].pos - a.marks[0].pos : 0.0;
  const double tail = k > 1 ? a.marks[k - 1].pos - a.marks[k - 2].pos : 0.0;
  const double reach = kCoverS * sr;
  if (a.marks.front().pos > std::max(reach, kCoverPeriods * head) ||
      last - a.marks.back().pos > std::max(reach, kCoverPeriods * tail)) {
    std::ostringstream s;
    s << "its marks span samples " << a.marks.front().pos << " to " << a.marks.back().pos
      << " of a sound of " << n << " samples: they were made for another sound";
    fail(s.str());
  }
}
