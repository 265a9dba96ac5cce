#include "psola/check_marks.h"

#include <cmath>
#include <sstream>

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
}
