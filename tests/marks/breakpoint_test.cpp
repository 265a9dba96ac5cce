// The f0 break-point function at one time (evalbp_s) and its mean over an interval (lmeanf0),
// by scan and by binary search.
#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <random>
#include <string>
#include <vector>

#include "marks/bp_increasing.h"
#include "marks/evalbp_s.h"
#include "marks/lmeanf0.h"
#include "marks/messages.h"

namespace {

using tessel::TesselMatrix;

TesselMatrix<double> track(const std::vector<double>& t, const std::vector<double>& v) {
  TesselMatrix<double> m(static_cast<long>(t.size()), 2, 0.0);
  for (std::size_t r = 0; r < t.size(); ++r) {
    m(r, 0) = t[r];
    m(r, 1) = v[r];
  }
  return m;
}

// A strictly increasing track with uneven spacing, as harmex and the readers deliver.
TesselMatrix<double> random_track(std::mt19937& rng, int rows) {
  std::uniform_real_distribution<double> gap(0.001, 0.02), f0(60.0, 400.0);
  std::vector<double> t, v;
  double time = gap(rng);
  for (int r = 0; r < rows; ++r) {
    t.push_back(time);
    v.push_back(f0(rng));
    time += gap(rng);
  }
  return track(t, v);
}

TEST(Evalbp_s, FollowsTheNearestPointRule) {
  const auto two = track({0.0, 1.0}, {0.0, 10.0});
  const auto three = track({0.0, 1.0, 2.0}, {0.0, 10.0, 40.0});
  const auto one = track({0.5}, {7.0});
  struct Case {
    const TesselMatrix<double>* m;
    double t, expected;
    const char* why;
  };
  const Case cases[] = {
      {&three, -1.0, 0.0, "before the first time: first value"},
      {&three, 5.0, 40.0, "after the last time: last value"},
      {&three, 1.0, 10.0, "on a point: its value"},
      {&three, 2.0, 40.0, "on the last point"},
      {&three, 0.25, 2.5, "nearest row 0, t above it: interpolated towards row 1"},
      {&three, 0.75, 7.5, "nearest row 1, t below it: interpolated from row 0"},
      {&three, 0.5, 5.0, "midpoint: lower row wins the tie, interpolated after it"},
      {&three, 1.5, 25.0, "midpoint of the second interval"},
      {&two, 0.3, 0.0, "two points are not interpolated: nearer value"},
      {&two, 0.7, 10.0, "two points, nearer the second"},
      {&two, 0.5, 0.0, "two points, midpoint: the lower row"},
      {&one, 0.2, 7.0, "one point, before"},
      {&one, 0.5, 7.0, "one point, on it"},
      {&one, 0.9, 7.0, "one point, after"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.why);
    EXPECT_DOUBLE_EQ(evalbp_s(*c.m, c.t), c.expected);
    EXPECT_DOUBLE_EQ(evalbp_s(*c.m, c.t, true), c.expected);
  }
}

TEST(Evalbp_s, NanTimeIsNotACase) {
  const auto three = track({0.0, 1.0, 2.0}, {0.0, 10.0, 40.0});
  for (const bool fast : {false, true}) {
    testing::internal::CaptureStdout();
    const double v = evalbp_s(three, std::numeric_limits<double>::quiet_NaN(), fast);
    EXPECT_EQ(testing::internal::GetCapturedStdout(), std::string(marks_msg::kNotACase) + "\n");
    EXPECT_EQ(v, 0.0);
  }
}

TEST(Evalbp_s, BinarySearchGivesTheScanValue) {
  std::mt19937 rng(7);
  for (int trial = 0; trial < 50; ++trial) {
    const auto m = random_track(rng, 1 + trial * 3);
    ASSERT_TRUE(bp_increasing(m));
    const long n = m.nrows();
    std::vector<double> times = {m(0, 0) - 0.01, m(n - 1, 0) + 0.01};
    for (long r = 0; r < n; ++r) {
      times.push_back(m(r, 0));
      if (r + 1 < n) times.push_back((m(r, 0) + m(r + 1, 0)) * 0.5);  // exact ties
    }
    std::uniform_real_distribution<double> any(m(0, 0), m(n - 1, 0));
    for (int i = 0; i < 200; ++i) times.push_back(any(rng));
    for (const double t : times) {
      ASSERT_EQ(evalbp_s(m, t, true), evalbp_s(m, t)) << "rows " << n << " t " << t;
    }
  }
}

TEST(Evalbp_s, OrderTestSendsUnorderedTracksToTheScan) {
  struct Case {
    std::vector<double> t;
    bool increasing;
  };
  const Case cases[] = {{{}, true},
                        {{1.0}, true},
                        {{0.0, 0.1, 0.2}, true},
                        {{0.0, 0.1, 0.1, 0.2}, false},
                        {{0.0, 0.3, 0.1, 0.2}, false},
                        {{0.0, std::nan(""), 0.2}, false}};
  for (const Case& c : cases) {
    EXPECT_EQ(bp_increasing(track(c.t, std::vector<double>(c.t.size(), 1.0))), c.increasing);
  }
  // Out of order: the nearest row to 0.12 is row 2 (0.1), which a binary search over the
  // unordered times would miss; the evaluation the fast callers make must still find it.
  const auto unordered = track({0.0, 0.3, 0.1, 0.2}, {100.0, 200.0, 300.0, 400.0});
  const double scan = evalbp_s(unordered, 0.12);
  EXPECT_EQ(evalbp_s(unordered, 0.12, bp_increasing(unordered)), scan);
  // Row 2 (0.1) is nearest; t above it interpolates towards row 3 (0.2).
  EXPECT_DOUBLE_EQ(scan, 300.0 + (400.0 - 300.0) / 0.1 * 0.02);
}

TEST(Evalbp_s, NearlyEqualDistancesPickTheFirstRowLikeTheScan) {
  // The distances from t = 1 to 1e-20 and 2e-20 round to the same value: the scan keeps the
  // first row, and so must the search, which lands next to t first.
  const auto m = track({0.0, 1e-20, 2e-20, 2.0}, {10.0, 20.0, 30.0, 40.0});
  EXPECT_EQ(evalbp_s(m, 1.0, true), evalbp_s(m, 1.0));
}

TEST(Lmeanf0, MeansTheRowsInsideOrEvaluatesTheMiddle) {
  const auto m = track({0.0, 0.1, 0.2, 0.3}, {100.0, 200.0, 300.0, 500.0});
  struct Case {
    double t1, t2, expected;
    const char* why;
  };
  const Case cases[] = {
      {0.1, 0.2, 250.0, "both bounds included"},
      {0.05, 0.35, (200.0 + 300.0 + 500.0) / 3.0, "rows strictly inside"},
      {0.12, 0.18, 250.0, "no row inside: evalbp_s at the middle 0.15"},
      {0.4, 0.5, 500.0, "no row inside, after the track"},
      {0.2, 0.1, 250.0, "reversed bounds hold no row: evalbp_s at 0.15"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.why);
    EXPECT_DOUBLE_EQ(lmeanf0(c.t1, c.t2, m), c.expected);
    EXPECT_DOUBLE_EQ(lmeanf0(c.t1, c.t2, m, true), c.expected);
  }
}

TEST(Lmeanf0, BinarySearchGivesTheScanValue) {
  std::mt19937 rng(11);
  for (int trial = 0; trial < 30; ++trial) {
    const auto m = random_track(rng, 2 + trial * 5);
    const long n = m.nrows();
    std::uniform_real_distribution<double> any(m(0, 0) - 0.05, m(n - 1, 0) + 0.05);
    std::uniform_real_distribution<double> len(0.0, 0.03);
    for (int i = 0; i < 300; ++i) {
      // Every fourth interval starts on a point, so inclusive bounds are exercised.
      const double t1 = i % 4 == 0 ? m(i % n, 0) : any(rng);
      const double t2 = i % 8 == 0 ? m((i / 8) % n, 0) : t1 + len(rng);
      ASSERT_EQ(lmeanf0(t1, t2, m, true), lmeanf0(t1, t2, m)) << t1 << " " << t2;
    }
  }
}

}  // namespace
