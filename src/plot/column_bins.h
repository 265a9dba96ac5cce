// Bounded summary of a series over a time range: the minimum and maximum of every pixel
// column, plus the points themselves while they are few enough to draw one by one.
#pragma once

#include <cstddef>
#include <limits>
#include <optional>
#include <vector>

struct SeriesPoint {
  double t;  // seconds
  double v;
};

class ColumnBins {
 public:
  // Range [t0, t1] seconds (t1 > t0) cut into `columns` (>= 1) equal columns; up to
  // 2 * columns points inside the range are kept exactly.
  ColumnBins(double t0, double t1, int columns);

  // Adds one point. A point before t0 or after t1 is kept only as the last one before or
  // the first one after the range (so a line can be drawn to the edge). NaN values are skipped.
  void add(double t, double v);
  // Adds n samples of a curve whose element i lies at time (first + i) / sr. Allocates nothing
  // once the exact points have been given up.
  void add_samples(long first, double sr, const float* v, long n);

  [[nodiscard]] double t0() const { return t0_; }
  [[nodiscard]] double t1() const { return t1_; }
  [[nodiscard]] int columns() const { return static_cast<int>(lo_.size()); }
  [[nodiscard]] std::size_t count() const { return count_; }  // points inside the range
  // True while every point inside the range is kept in points().
  [[nodiscard]] bool exact() const { return exact_; }
  // The kept points in time order, with the neighbours outside the range at both ends.
  [[nodiscard]] std::vector<SeriesPoint> points() const;
  [[nodiscard]] bool filled(int c) const { return lo_[c] <= hi_[c]; }
  [[nodiscard]] float lo(int c) const { return lo_[c]; }
  [[nodiscard]] float hi(int c) const { return hi_[c]; }
  // Smallest and largest value inside the range; nothing when the range holds no point.
  [[nodiscard]] std::optional<std::pair<double, double>> value_range() const;

 private:
  void add_inside(double t, double v);

  double t0_, t1_, scale_;  // scale_: columns per second
  std::vector<float> lo_, hi_;
  std::vector<SeriesPoint> inside_;
  std::optional<SeriesPoint> before_, after_;
  std::size_t count_ = 0;
  bool exact_ = true;
};
