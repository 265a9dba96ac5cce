// Per-column minimum and maximum of a series, with its points while they are few.
#include "plot/column_bins.h"

#include <algorithm>
#include <cmath>

ColumnBins::ColumnBins(double t0, double t1, int columns)
    : t0_(t0),
      t1_(t1),
      scale_(std::max(columns, 1) / (t1 - t0)),
      lo_(std::max(columns, 1), std::numeric_limits<float>::infinity()),
      hi_(std::max(columns, 1), -std::numeric_limits<float>::infinity()) {}

void ColumnBins::add_inside(double t, double v) {
  const int last = columns() - 1;
  const int c = std::clamp(static_cast<int>((t - t0_) * scale_), 0, last);
  const auto f = static_cast<float>(v);
  lo_[c] = std::min(lo_[c], f);
  hi_[c] = std::max(hi_[c], f);
  ++count_;
  if (!exact_) return;
  if (inside_.size() < 2 * lo_.size()) {
    inside_.push_back({t, v});
  } else {
    exact_ = false;
    inside_.clear();
    inside_.shrink_to_fit();
  }
}

void ColumnBins::add(double t, double v) {
  if (std::isnan(v) || std::isnan(t)) return;
  if (t < t0_) {
    if (!before_ || t >= before_->t) before_ = SeriesPoint{t, v};
  } else if (t > t1_) {
    if (!after_ || t < after_->t) after_ = SeriesPoint{t, v};
  } else {
    add_inside(t, v);
  }
}

void ColumnBins::add_samples(long first, double sr, const float* v, long n) {
  const auto time = [&](long i) { return static_cast<double>(first + i) / sr; };
  long i = 0;
  // Points before the range, and inside it while they are kept exactly, go one by one.
  for (; i < n && (exact_ || time(i) < t0_); ++i) add(time(i), v[i]);
  // The bulk of a long curve: only the column bounds move.
  const int last = columns() - 1;
  float* lo = lo_.data();
  float* hi = hi_.data();
  const double per_sample = scale_ / sr;  // columns per sample
  const double origin = t0_ * sr;         // sample index of t0
  for (; i < n; ++i) {
    const double t = time(i);
    if (t > t1_) break;
    const float x = v[i];
    if (std::isnan(x)) continue;
    const double pos = (static_cast<double>(first + i) - origin) * per_sample;
    const int c = std::min(static_cast<int>(std::max(pos, 0.0)), last);
    lo[c] = std::min(lo[c], x);
    hi[c] = std::max(hi[c], x);
    ++count_;
  }
  for (; i < n; ++i) add(time(i), v[i]);
}

std::vector<SeriesPoint> ColumnBins::points() const {
  std::vector<SeriesPoint> out;
  if (before_) out.push_back(*before_);
  out.insert(out.end(), inside_.begin(), inside_.end());
  if (after_) out.push_back(*after_);
  return out;
}

std::optional<std::pair<double, double>> ColumnBins::value_range() const {
  double lo = std::numeric_limits<double>::infinity();
  double hi = -lo;
  for (int c = 0; c < columns(); ++c) {
    if (!filled(c)) continue;
    lo = std::min(lo, static_cast<double>(lo_[c]));
    hi = std::max(hi, static_cast<double>(hi_[c]));
  }
  if (lo > hi) return std::nullopt;
  return std::make_pair(lo, hi);
}
