// Voiced, unvoiced and transient zones.
#include <gtest/gtest.h>

#include <string>
#include <utility>
#include <vector>

#include "driver/transientzones.h"
#include "driver/voicedzones.h"
#include "driver/voicingcurve.h"

namespace {

using tessel::TesselMatrix;
using tessel::TesselVector;
using Rows = std::vector<std::pair<double, double>>;

Rows rows_of(const TesselMatrix<double>& m) {
  Rows r;
  for (int i = 0; i < m.nrows(); ++i) r.emplace_back(m(i, 0), m(i, 1));
  return r;
}

// Coefficient track on a 10 ms grid from 0.01 s to 0.99 s: value high inside the given
// stretches [from, to) (seconds), low elsewhere.
TesselMatrix<double> grid_track(const Rows& high, double hi = 1.0, double lo = 0.0) {
  TesselMatrix<double> m(99, 2, 0.0);
  for (int k = 1; k <= 99; ++k) {
    const double t = 0.01 * k;
    bool inside = false;
    for (const auto& [from, to] : high) inside = inside || (t > from - 1e-9 && t < to - 1e-9);
    m(k - 1, 0) = t;
    m(k - 1, 1) = inside ? hi : lo;
  }
  return m;
}

TesselMatrix<double> listed_track(const std::vector<double>& t, const std::vector<double>& v) {
  TesselMatrix<double> m(static_cast<int>(t.size()), 2, 0.0);
  for (size_t i = 0; i < t.size(); ++i) {
    m(int(i), 0) = t[i];
    m(int(i), 1) = v[i];
  }
  return m;
}

void expect_rows(const Rows& got, const Rows& want) {
  ASSERT_EQ(got.size(), want.size());
  for (size_t i = 0; i < got.size(); ++i) {
    EXPECT_NEAR(got[i].first, want[i].first, 1e-12) << "row " << i;
    EXPECT_NEAR(got[i].second, want[i].second, 1e-12) << "row " << i;
  }
}

TEST(VoicingCurve, PositionsAreSamplingRateTimesTimeMinusOne) {
  const TesselVector<tessel::cplx<double>> c =
      voicingcurve(listed_track({0.001, 0.5}, {0.25, 0.75}), 1000.0);
  ASSERT_EQ(c.size(), 2);
  EXPECT_DOUBLE_EQ(c(0).re, 0.0);
  EXPECT_DOUBLE_EQ(c(1).re, 499.0);
  EXPECT_EQ(c(0).im, 0.25);
  EXPECT_EQ(c(1).im, 0.75);
}

TEST(VoicedZones, ZonesAndTheirUnvoicedComplement) {
  // 1000 Hz, 1001 samples (the sound lasts d = 1 s), an epoch curve of 801 samples; a boundary
  // at time t sits at sample 1000 t - 1, so times come back 1 ms early.
  struct Case {
    TesselMatrix<double> coef;
    Rows voiced, unvoiced;
    const char* why;
  };
  const Case cases[] = {
      {grid_track({{0.2, 0.55}}),
       {{0.199, 0.549}},
       {{0, 0.199}, {0.549, 1}},
       "one zone inside: leading and trailing unvoiced zones"},
      {grid_track({{0.2, 0.55}}, 0.5, 0.05),
       {{0.199, 0.549}},
       {{0, 0.199}, {0.549, 1}},
       "values are normalised to a peak of 1 before the 0.6 threshold"},
      {grid_track({{0.0, 1.0}}),
       {{0.009, 1}},
       {{0, 0.009}},
       "above to the end: closed at the last sample, no trailing zone"},
      {listed_track({0.001, 0.1, 0.2, 0.3}, {1, 1, 0, 0}),
       {{0, 0.199}},
       {{0.199, 1}},
       "a zone starting at sample 0: no leading zone"},
      {listed_track({0.001, 0.5}, {1, 1}), {{0, 1}}, {}, "the whole sound: no unvoiced zone"},
      {grid_track({{0.2, 0.3}, {0.31, 0.5}}),
       {{0.199, 0.499}},
       {{0, 0.199}, {0.499, 1}},
       "a gap of 10 ms is absorbed"},
      {grid_track({{0.2, 0.3}, {0.33, 0.5}}),
       {{0.199, 0.299}, {0.329, 0.499}},
       {{0, 0.199}, {0.299, 0.329}, {0.499, 1}},
       "a gap of 30 ms is kept"},
      {grid_track({{0.2, 0.21}}),
       {{0, 0.8}},
       {{0.8, 1}},
       "a 10 ms zone vanishes: one voiced zone over the epoch curve"},
      {grid_track({}), {{0, 0.8}}, {{0.8, 1}}, "never above the threshold"},
      {TesselMatrix<double>(), {{0, 0.8}}, {{0.8, 1}}, "an empty track"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.why);
    TesselMatrix<double> voiced, unvoiced;
    voicedzones(c.coef, 1000.0, 0.6, 1001, 801, voiced, unvoiced);
    expect_rows(rows_of(voiced), c.voiced);
    expect_rows(rows_of(unvoiced), c.unvoiced);
  }
}

TEST(TransientZones, RawValuesNoMinimumLengthAndAnOpenEnd) {
  struct Case {
    std::vector<double> curve;
    Rows zones;
    bool warns;
    const char* why;
  };
  // 10 Hz, a sound of 20 samples: an open zone closes at sample 19, 1.9 s.
  const Case cases[] = {
      {{0, 0.5, 0.5, 0, 0, 0.1, 0.9, 0.9, 0.9, 0.9},
       {{0.1, 0.3}, {0.6, 1.9}},
       true,
       "the last zone is still open"},
      {{0, 1, 0, 1, 0}, {{0.1, 0.2}, {0.3, 0.4}}, false, "one-sample zones and gaps are kept"},
      {{0.1, 0.15, 0.1}, {}, false, "not normalised: 0.15 stays below 0.2"},
      {{}, {}, false, "an empty curve"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.why);
    TesselVector<double> curve(static_cast<int>(c.curve.size()), 0.0);
    for (size_t i = 0; i < c.curve.size(); ++i) curve(int(i)) = c.curve[i];
    testing::internal::CaptureStderr();
    const TesselMatrix<double> zones = transientzones(curve, 10.0, 0.2, 20);
    const std::string err = testing::internal::GetCapturedStderr();
    expect_rows(rows_of(zones), c.zones);
    EXPECT_EQ(err, c.warns ? std::string(kTransientEndMissing) : std::string());
  }
}

}  // namespace
