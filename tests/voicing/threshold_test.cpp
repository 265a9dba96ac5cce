// Threshold crossings and normalisation.
#include <gtest/gtest.h>

#include <cmath>
#include <string>
#include <vector>

#include "tessel_values.h"
#include "voicing/fthreshold.h"
#include "voicing/fthresholdcalcul.h"
#include "voicing/norm.h"

namespace {

using tessel::cplx;
using tessel::TesselVector;

using testsupport::values_of;
using testsupport::vec;

// Track whose positions are 10, 20, 30, ... and whose values are v.
TesselVector<cplx<double>> track(const std::vector<double>& v) {
  TesselVector<cplx<double>> t(static_cast<int>(v.size()), cplx<double>(0.0, 0.0));
  for (size_t i = 0; i < v.size(); ++i) t(int(i)) = cplx<double>(10.0 * (i + 1), v[i]);
  return t;
}

TEST(Fthreshold, ReturnsThePositionsOfTheCrossings) {
  struct Case {
    std::vector<double> values;
    double threshold;
    int mode, normalise;
    std::vector<double> positions;
    const char* why;
  };
  const Case cases[] = {
      {{0.1, 0.6, 0.7, 0.2, 0.9}, 0.5, 2, 0, {20, 40, 50}, "rise, fall, rise left open"},
      {{0.8, 0.8, 0.1}, 0.5, 2, 0, {10, 30}, "a track starting above gives its first position"},
      {{0.5, 0.5}, 0.5, 2, 0, {}, "values equal to the threshold never cross"},
      {{0.1, 0.9, 0.5, 0.9, 0.4},
       0.5,
       2,
       0,
       {20, 50},
       "touching the threshold does not end a zone"},
      {{0, 2, 4}, 0.6, 2, 1, {30}, "normalised to [0, 0.5, 1] first"},
      {{0, -2, 4}, 0.6, 2, 1, {30}, "the peak is the largest magnitude"},
      {{0, 2, 4}, 0.6, 2, 0, {20}, "without normalisation 2 is already above 0.6"},
      {{0, 0, 0}, 0.5, 2, 1, {}, "an all-zero track stays zero"},
      {{0.1, 0.6, 0.7, 0.2, 0.9}, 0.5, 3, 0, {}, "mode 3 finds nothing"},
      // Mode 1: the mean 0.5 is removed, leaving -0.4, 0.1, 0.2, -0.3, 0.4.
      {{0.1, 0.6, 0.7, 0.2, 0.9}, 0.05, 1, 0, {20, 30, 50}, "mode 1: rising points"},
      {{0.9, 0.1}, -1.0, 1, 0, {}, "mode 1: the first element never counts"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.why);
    EXPECT_EQ(values_of(fthreshold(track(c.values), c.threshold, c.mode, c.normalise)),
              c.positions);
  }
}

TEST(Fthreshold, EmptyTrack) {
  EXPECT_EQ(fthreshold(TesselVector<cplx<double>>(), 0.5, 2, 0).size(), 0);
  try {
    (void)fthreshold(TesselVector<cplx<double>>(), 0.5, 2, 1);
    FAIL() << "normalising an empty track must throw";
  } catch (const tessel::error& e) {
    EXPECT_EQ(std::string(e.what()), "tessel error: max_elem called for empty vector \n");
  }
}

TEST(Fthresholdcalcul, LooksUpTheTimesOfTheCollectedIndices) {
  EXPECT_EQ(values_of(fthresholdcalcul(vec({1.5, 2.5, 3.5}), vec({0.0, 1.0, 0.0}), 0.5, 2)),
            (std::vector<double>{2.5, 3.5}));
}

TEST(Norm, PeakAndEnergyNormalisation) {
  const TesselVector<double> none;
  EXPECT_EQ(values_of(norm(vec({1, -4, 2}), none, none)), (std::vector<double>{0.25, -1, 0.5}));
  EXPECT_EQ(values_of(norm(vec({1, -4, 2}), vec({2.0}), none)), (std::vector<double>{0.5, -2, 1}));
  const TesselVector<double> e = norm(vec({3, 4}), vec({2.0}), vec({1.0}));
  EXPECT_NEAR(e(0) * e(0) + e(1) * e(1), 2.0, 1e-12);
  EXPECT_NEAR(e(1) / e(0), 4.0 / 3.0, 1e-12);

  TesselVector<double> row(2, 1.0, false);
  EXPECT_FALSE(norm(row, none, none).iscol());
}

}  // namespace
