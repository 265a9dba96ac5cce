#include "psola/place_grains.h"

#include <cmath>
#include <random>

namespace {

constexpr double kPhaseTolerance = 1e-9;  // periods: a mark this close to the next interval
                                          // belongs to it
constexpr double kShiftQuarter = 0.25;    // largest move of a repeated unvoiced grain, periods

class Placer {
 public:
  Placer(const std::vector<PsoMark>& m, std::uint64_t seed) : m_(m), rng_(seed) {
    grains_.reserve(m.size() * 2);
  }

  // The grain of mark j at output position s.
  // The grain of mark j at output position s; an unvoiced one is read around `from` (input
  // samples) when given, the place that maps to s.
  void add(std::size_t j, double s, double from = -1e300) {
    Grain g;
    g.out_pos = s;
    g.in_pos = !m_[j].voiced && from > -1e300 ? from : m_[j].pos;
    g.left = j > 0 ? m_[j].pos - m_[j - 1].pos : m_[j + 1].pos - m_[j].pos;
    g.right = j + 1 < m_.size() ? m_[j + 1].pos - m_[j].pos : g.left;
    if (!m_[j].voiced && j == last_) {
      std::uniform_real_distribution<double> move(-kShiftQuarter, kShiftQuarter);
      g.moved = move(rng_) * std::min(g.left, g.right);
      g.in_pos += g.moved;
      g.reversed = !last_reversed_;
    }
    last_ = j;
    last_reversed_ = g.reversed;
    grains_.push_back(g);
  }

  // A run of transient marks first..last, copied whole at the output place of `first`.
  void add_block(std::size_t first, std::size_t last, double s) {
    Grain g;
    g.out_pos = s;
    g.in_pos = m_[first].pos;
    g.left = m_[first].pos - m_[first - 1].pos;
    g.flat = m_[last].pos - m_[first].pos;
    g.right = m_[last + 1].pos - m_[last].pos;
    last_ = first;
    last_reversed_ = false;
    grains_.push_back(g);
  }

  [[nodiscard]] bool ends_at(double s) const {
    return !grains_.empty() && std::abs(grains_.back().out_pos - s) < 1e-6;
  }
  std::vector<Grain> take() { return std::move(grains_); }

 private:
  const std::vector<PsoMark>& m_;
  std::mt19937_64 rng_;
  std::vector<Grain> grains_;
  std::size_t last_ = static_cast<std::size_t>(-1);
  bool last_reversed_ = false;
};

}  // namespace

std::vector<Grain> place_grains(const std::vector<PsoMark>& m, const std::vector<double>& out,
                                const std::vector<double>& pitch, std::uint64_t seed) {
  Placer p(m, seed);
  double next = 0.0;  // phase from the start of the interval to the next synthesis mark, periods
  for (std::size_t i = 0; i + 1 < m.size(); ++i) {
    if (m[i + 1].transient) {
      std::size_t last = i + 1;
      while (last + 2 < m.size() && m[last + 1].transient) ++last;
      if (!p.ends_at(out[i])) p.add(i, out[i]);
      p.add_block(i + 1, last, out[i + 1]);
      p.add(last + 1, out[last + 1]);
      next = 1.0;
      i = last;  // the loop goes on with the interval after the run
      continue;
    }
    const double span = m[i + 1].pos - m[i].pos;  // input samples
    const double width = out[i + 1] - out[i];     // output samples
    const double k = pitch[i];
    const double advance = k * width / span;  // periods the interval holds in the output
    while (next < advance - kPhaseTolerance) {
      const double s = out[i] + next * span / k;
      // Unvoiced sound is read where s maps back to: a stretch then follows the input's
      // envelope instead of repeating a grain's own rise and fall.
      p.add(s - out[i] <= out[i + 1] - s ? i : i + 1, s, m[i].pos + (s - out[i]) * span / width);
      next += 1.0;
    }
    next -= advance;
  }
  // The last mark closes the output (it lies past the end of the sound).
  if (!p.ends_at(out.back())) p.add(m.size() - 1, out.back());
  return p.take();
}
