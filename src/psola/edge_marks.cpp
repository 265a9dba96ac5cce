#include "psola/edge_marks.h"

#include <algorithm>
#include <cmath>

namespace {

constexpr double kLoneMarkSpacingS = 0.01;  // spacing around a lone mark without f0, seconds

}  // namespace

std::vector<PsoMark> edge_marks(const std::vector<PsoMark>& marks, std::size_t n, double sr) {
  const std::size_t m = marks.size();
  double head = 0.0, tail = 0.0;  // spacing of the added marks, samples
  if (m >= 2) {
    head = marks[1].pos - marks[0].pos;
    tail = marks[m - 1].pos - marks[m - 2].pos;
  } else {
    const double f0 = marks[0].f0;
    head = tail = f0 > 0.0 ? sr / f0 : kLoneMarkSpacingS * sr;
  }
  head = std::max(head, 1.0);
  tail = std::max(tail, 1.0);
  const double first = marks.front().pos, last = marks.back().pos;
  const auto before = static_cast<std::size_t>(std::max(0.0, std::ceil(first / head)));
  const double end = static_cast<double>(n);
  const auto after = static_cast<std::size_t>(std::max(0.0, std::ceil((end - last) / tail)));
  std::vector<PsoMark> out;
  out.reserve(m + before + after + 2);
  auto edge = [](double pos) {
    PsoMark k;
    k.pos = pos;
    return k;
  };
  // At least one added mark on each side, so no real mark is ever the first or the last.
  for (std::size_t k = std::max<std::size_t>(before, 1); k >= 1; --k) {
    out.push_back(edge(first - static_cast<double>(k) * head));
  }
  out.insert(out.end(), marks.begin(), marks.end());
  for (std::size_t k = 1; k <= std::max<std::size_t>(after, 1); ++k) {
    out.push_back(edge(last + static_cast<double>(k) * tail));
  }
  return out;
}
