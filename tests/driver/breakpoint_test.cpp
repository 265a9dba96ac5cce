// Break-point evaluation of tracks and the columns of the 1PSO file.
#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <random>

#include "driver/breakpoint_value.h"
#include "driver/pso_columns.h"

namespace {

using tessel::TesselMatrix;
using tessel::TesselVector;

TesselMatrix<double> track(std::initializer_list<std::pair<double, double>> rows) {
  TesselMatrix<double> m(static_cast<long>(rows.size()), 2, 0.0);
  long r = 0;
  for (const auto& [t, v] : rows) {
    m(r, 0) = t;
    m(r, 1) = v;
    ++r;
  }
  return m;
}

TEST(BreakpointValue, Rules) {
  const auto tr = track({{0.1, 100.0}, {0.2, 200.0}, {0.4, 100.0}});
  struct Case {
    double t, expected;
    const char* why;
  } const cases[] = {
      {0.0, 100.0, "before the first time: first value"}, {0.1, 100.0, "at the first time"},
      {0.15, 150.0, "inside the first interval"},         {0.2, 200.0, "at an inner time"},
      {0.35, 125.0, "inside the last interval"},          {0.4, 100.0, "at the last time"},
      {9.0, 100.0, "after the last time: last value"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.why);
    EXPECT_NEAR(breakpoint_value_scan(tr, c.t), c.expected, 1e-9);
    EXPECT_NEAR(breakpoint_values(tr, TesselVector<double>{c.t})(0), c.expected, 1e-9);
  }
}

TEST(BreakpointValue, TimesThatDoNotIncreaseUseTheScan) {
  const double nan = std::numeric_limits<double>::quiet_NaN();
  struct Case {
    TesselMatrix<double> tr;
    double t, expected;
    const char* why;
  } const cases[] = {
      // (0, 0.5) gives 4.6, then (0.3, 1.0) gives 4.5: the later hit stands.
      {track({{0.0, 1.0}, {0.5, 5.0}, {0.3, 3.0}, {1.0, 10.0}}), 0.45, 4.5, "later interval"},
      // (0, 0.5) gives 3.4, then t equals T[2]: 3.
      {track({{0.0, 1.0}, {0.5, 5.0}, {0.3, 3.0}, {1.0, 10.0}}), 0.3, 3.0, "later equal time"},
      {track({{0.0, 1.0}, {0.5, 2.0}, {0.5, 3.0}, {1.0, 4.0}}), 0.5, 3.0, "repeated time"},
      // Finite times always cover [T0, Tlast]; only a NaN time leaves a hole: value 0.
      {track({{0.0, 1.0}, {nan, 2.0}, {1.0, 3.0}}), 0.5, 0.0, "NaN time"},
      {track({{0.0, 1.0}, {1.0, 3.0}}), nan, 0.0, "NaN instant"},
      {track({}), 0.5, 0.0, "empty track"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.why);
    EXPECT_NEAR(breakpoint_value_scan(c.tr, c.t), c.expected, 1e-12);
    EXPECT_NEAR(breakpoint_values(c.tr, TesselVector<double>{c.t})(0), c.expected, 1e-12);
  }
}

TEST(BreakpointValue, BinarySearchMatchesTheScanExactly) {
  std::mt19937 rng(12345);
  std::uniform_real_distribution<double> step(0.0001, 0.02), value(50.0, 400.0);
  for (int trial = 0; trial < 20; ++trial) {
    const long rows = 1 + trial * 37;
    TesselMatrix<double> tr(rows, 2, 0.0);
    double t = step(rng);
    for (long r = 0; r < rows; ++r) {
      tr(r, 0) = t;
      tr(r, 1) = value(rng);
      t += step(rng);
    }
    TesselVector<double> times(500, 0.0);
    std::uniform_real_distribution<double> at(-0.05, t + 0.05);
    for (long i = 0; i < times.size(); ++i) times(i) = at(rng);
    for (long r = 0; r < rows && r < times.size(); r += 3) times(r) = tr(r, 0);  // exact hits
    times(times.size() - 1) = tr(rows - 1, 0);
    const auto fast = breakpoint_values(tr, times);
    for (long i = 0; i < times.size(); ++i)
      ASSERT_EQ(fast(i), breakpoint_value_scan(tr, times(i)))
          << "trial " << trial << " t " << times(i);
  }
}

TEST(PsoColumns, EveryColumnOfThreeMarks) {
  TesselMatrix<double> marks(3, 2, 0.0);
  marks(0, 0) = 0.10;
  marks(0, 1) = 1.0;
  marks(1, 0) = 0.11;
  marks(1, 1) = 2.0;
  marks(2, 0) = 0.125;
  marks(2, 1) = 0.0;
  const auto f0 = track({{0.1, 100.0}, {0.2, 200.0}});
  const auto coef = track({{0.0, 0.5}, {1.0, 1.5}});
  const auto cut = track({{0.0, 3000.0}});
  const double sr = 1000.0, median = 110.0;
  const auto c = pso_columns(marks, sr, f0, median, coef, cut);
  ASSERT_EQ(c.time.size(), 3);
  const double expected_f0[] = {100.0, 110.0, 125.0};
  const double expected_periods[] = {10.0, 10.0, 15.0};  // min of neighbours' spacing
  for (long i = 0; i < 3; ++i) {
    SCOPED_TRACE(i);
    EXPECT_EQ(c.time(i), marks(i, 0));
    EXPECT_DOUBLE_EQ(c.position(i), sr * marks(i, 0));
    EXPECT_NEAR(c.f0(i), expected_f0[i], 1e-9);
    EXPECT_NEAR(c.voicing_coef(i), 0.5 + marks(i, 0), 1e-12);
    EXPECT_EQ(c.cutoff(i), 3000.0);
    EXPECT_NEAR(c.periods(i), expected_periods[i], 1e-9);
    EXPECT_NEAR(c.mod(i), expected_f0[i] / median - 1.0, 1e-12);
  }
  EXPECT_EQ(c.voicing_flag(0), 1.0);
  EXPECT_EQ(c.voicing_flag(1), 0.0);  // transient marks are not voiced
  EXPECT_EQ(c.voicing_flag(2), 0.0);
  EXPECT_EQ(c.transient_flag(0), 0.0);
  EXPECT_EQ(c.transient_flag(1), 1.0);
  EXPECT_EQ(c.transient_flag(2), 0.0);
}

TEST(PsoColumns, LoneMarkAndNoMark) {
  TesselMatrix<double> one(1, 2, 0.0);
  one(0, 0) = 0.5;
  one(0, 1) = 1.0;
  const auto f0 = track({{0.0, 200.0}});
  const auto c = pso_columns(one, 16000.0, f0, 200.0, f0, f0);
  ASSERT_EQ(c.periods.size(), 1);
  EXPECT_DOUBLE_EQ(c.periods(0), 80.0);  // one period of the f0 at the mark
  EXPECT_EQ(c.mod(0), 0.0);

  const auto none = pso_columns(TesselMatrix<double>(0, 2, 0.0), 16000.0, f0, 200.0, f0, f0);
  EXPECT_EQ(none.time.size(), 0);
  EXPECT_EQ(none.periods.size(), 0);
}

}  // namespace
