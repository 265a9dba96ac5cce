// Noise marks over a stretch and the thinning of zone boundaries.
#include <gtest/gtest.h>

#include <vector>

#include "marks/marknoise.h"
#include "marks/tooclose.h"
#include "tessel_values.h"

namespace {

using tessel::cplx;
using tessel::TesselVector;

using testsupport::vec;

TEST(Marknoise, SpreadsMarksOneStepApartInsideTheStretch) {
  struct Case {
    long debut, fin;
    double rate, sr;
    std::vector<long> positions;  // 1-based sample numbers of the marks
    const char* why;
  };
  const Case cases[] = {
      // len 1000, period 100: n 10, step 100, start 101 + 100, limit 1000 - 50.
      {100,
       1099,
       100.0,
       10000.0,
       {201, 301, 401, 501, 601, 701, 801, 901, 1001},
       "n - 1 marks, the last half a step before the end"},
      // len 1000, period 300: n = round(3.33) = 3, step = round(333.3) = 333, limit 1000 - 166.
      {0, 999, 100.0, 30000.0, {334, 667}, "step rounded from len / n"},
      // len 250, period 100: n = round(2.5) = 3 (half away), step = round(83.3) = 83.
      {0, 249, 100.0, 10000.0, {84, 167}, "n rounds half away from zero"},
      {0, 999, 0.0, 10000.0, {}, "rate 0"},
      {0, 40, 100.0, 10000.0, {}, "shorter than half a period: n = 0"},
      {0, 99, 100.0, 10000.0, {}, "one period long: n = 1 puts the start beyond the limit"},
      {0, 999, -100.0, 10000.0, {}, "a negative rate places nothing"},
      {500, 100, 100.0, 10000.0, {}, "an end before the start places nothing"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.why);
    const TesselVector<cplx<double>> marks = marknoise(c.debut, c.fin, c.rate, c.sr);
    if (c.positions.empty()) {
      // Nothing fits: the single mark (0, 0).
      ASSERT_EQ(marks.size(), 1);
      EXPECT_EQ(marks(0).re, 0.0);
      EXPECT_EQ(marks(0).im, 0.0);
      continue;
    }
    ASSERT_EQ(marks.size(), static_cast<int>(c.positions.size()));
    for (int i = 0; i < marks.size(); ++i) {
      EXPECT_DOUBLE_EQ(marks(i).re, static_cast<double>(c.positions[i] - 1) / c.sr) << i;
      EXPECT_EQ(marks(i).im, 0.0);
    }
  }
}

TEST(Marknoise, RateAboveTwiceTheSamplingRateStillEnds) {
  // The step would round to 0 samples; it is held at one sample.
  const TesselVector<cplx<double>> marks = marknoise(0, 9, 50000.0, 10000.0);
  // len 10, step 1: positions 2 .. 10.
  ASSERT_EQ(marks.size(), 9);
  EXPECT_DOUBLE_EQ(marks(0).re, 1.0 / 10000.0);
  EXPECT_DOUBLE_EQ(marks(8).re, 9.0 / 10000.0);
}

TEST(Tooclose, KeepsBoundariesFollowedByLongEnoughStretches) {
  struct Case {
    std::vector<double> times;
    double min_gap;
    std::vector<double> kept;
    std::vector<int> idx;
    const char* why;
  };
  const Case cases[] = {
      {{0, 10, 20, 30}, 5, {0, 10, 20, 30}, {0, 1, 2, 3}, "all long enough"},
      {{0, 10, 15, 30}, 5, {0, 30}, {0, 3}, "a gap equal to the minimum merges the zones"},
      {{0, 10, 16, 30}, 5, {0, 10, 16, 30}, {0, 1, 2, 3}, "a gap just above it is kept"},
      {{0, 5, 20, 30}, 5, {20, 30}, {2, 3}, "a zone equal to the minimum is dropped"},
      {{0, 10, 20, 23}, 5, {0, 10}, {0, 1}, "a short last zone is dropped"},
      {{0, 10, 20}, 5, {0, 10}, {0, 1}, "an odd list keeps its closed zones"},
      {{0, 10, 20, 30, 32},
       5,
       {0, 10, 20, 32},
       {0, 1, 2, 4},
       "a short gap before a last open zone: closed at the last boundary"},
      {{0}, 5, {}, {}, "one boundary keeps nothing"},
      {{}, 5, {}, {}, "none keeps nothing"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.why);
    TesselVector<double> kept(3, 99.0);  // stale contents must go
    TesselVector<int> idx(3, 99);
    tooclose(vec(c.times), c.min_gap, kept, idx);
    EXPECT_EQ(std::vector<double>(kept.data(), kept.data() + kept.size()), c.kept);
    EXPECT_EQ(std::vector<int>(idx.data(), idx.data() + idx.size()), c.idx);
  }
}

}  // namespace
