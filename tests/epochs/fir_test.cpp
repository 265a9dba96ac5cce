// Window-method and least-squares FIR designs.
#include <gtest/gtest.h>

#include <cmath>
#include <vector>

#include "epochs/fir1.h"
#include "epochs/firls.h"

using tessel::TesselVector;

namespace {

constexpr double kPi = 3.141592653589793;

// Magnitude of the frequency response at f (1.0 = Nyquist).
double magnitude(const TesselVector<double>& b, double f) {
  double re = 0.0, im = 0.0;
  for (int k = 0; k < b.size(); ++k) {
    re += b[k] * std::cos(kPi * k * f);
    im -= b[k] * std::sin(kPi * k * f);
  }
  return std::hypot(re, im);
}

double sinc(double x) {
  return x == 0.0 ? 1.0 : std::sin(kPi * x) / (kPi * x);
}

bool symmetric(const TesselVector<double>& b) {
  for (int i = 0; i < b.size(); ++i) {
    if (std::abs(b[i] - b[b.size() - 1 - i]) > 1e-15) return false;
  }
  return true;
}

}  // namespace

// The textbook window design: ideal impulse response times the Hamming window, normalised.
TEST(Fir1, MatchesIdealResponseTimesHammingWindow) {
  const int order = 100;
  for (const double wn : {0.0272, 0.1, 0.45}) {
    SCOPED_TRACE(wn);
    std::vector<double> lp(order + 1), hp(order + 1);
    double lp_sum = 0.0, hp_alt = 0.0;
    for (int k = 0; k <= order; ++k) {
      const double w = 0.54 - 0.46 * std::cos(2.0 * kPi * k / order);
      const double ideal = wn * sinc(wn * (k - order / 2));
      lp[k] = ideal * w;
      hp[k] = ((k == order / 2 ? 1.0 : 0.0) - ideal) * w;
      lp_sum += lp[k];
      hp_alt += hp[k] * (k % 2 == 0 ? 1.0 : -1.0);
    }
    const TesselVector<double> b_lp = fir1(order, {wn}, 1);
    const TesselVector<double> b_hp = fir1(order, {wn}, 0);
    ASSERT_EQ(b_lp.size(), order + 1);
    ASSERT_EQ(b_hp.size(), order + 1);
    for (int k = 0; k <= order; ++k) {
      EXPECT_NEAR(b_lp[k], lp[k] / lp_sum, 1e-13) << k;
      EXPECT_NEAR(b_hp[k], hp[k] / hp_alt, 1e-13) << k;
    }
  }
}

TEST(Fir1, LengthsGainsAndBands) {
  struct Case {
    long order;
    std::vector<double> wn;
    int flag;
    int length;
    double unit_gain_at;             // frequency with gain exactly 1
    std::vector<double> pass, stop;  // frequencies well inside pass and stop bands
    const char* why;
  };
  const Case cases[] = {
      {100, {0.0272}, 1, 101, 0.0, {0.0}, {0.2, 0.9}, "energy-method low-pass"},
      {100, {600 / 22050.0}, 0, 101, 1.0, {0.3, 1.0}, {}, "reallocation high-pass"},
      {101, {0.3}, 0, 103, 1.0, {0.6, 1.0}, {0.0, 0.1}, "odd high-pass raised to order 102"},
      {101, {0.3}, 1, 102, 0.0, {0.0, 0.1}, {0.6}, "odd low-pass kept at order 101"},
      {100, {0.3, 0.6}, 1, 101, 0.0, {0.0, 0.95}, {0.45}, "two cut-offs, flag 1: band-stop"},
      {100, {0.3, 0.6}, 0, 101, 0.45, {0.45}, {0.0, 0.95}, "two cut-offs, flag 0: band-pass"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.why);
    TesselVector<double> wn(static_cast<long>(c.wn.size()), 0.0);
    for (std::size_t i = 0; i < c.wn.size(); ++i) wn[i] = c.wn[i];
    const TesselVector<double> b = fir1(c.order, wn, c.flag);
    ASSERT_EQ(b.size(), c.length);
    EXPECT_TRUE(symmetric(b));
    EXPECT_NEAR(magnitude(b, c.unit_gain_at), 1.0, 1e-12);
    for (double f : c.pass) EXPECT_NEAR(magnitude(b, f), 1.0, 0.01) << "pass " << f;
    for (double f : c.stop) EXPECT_LT(magnitude(b, f), 0.01) << "stop " << f;
  }
}

// Bands separated by a gap go through the normal equations and the matrix inverse; a gap
// shrinking to nothing must meet the closed form of contiguous bands.
TEST(Firls, GapDesignMeetsContiguousDesignAsGapCloses) {
  const TesselVector<double> closed = firls(40, {0.0, 0.3, 0.3, 1.0}, {1.0, 1.0, 0.0, 0.0});
  const TesselVector<double> gapped = firls(40, {0.0, 0.3, 0.3 + 1e-9, 1.0}, {1.0, 1.0, 0.0, 0.0});
  ASSERT_EQ(closed.size(), 41);
  ASSERT_EQ(gapped.size(), 41);
  for (int i = 0; i < 41; ++i) EXPECT_NEAR(gapped[i], closed[i], 1e-6) << i;
}

TEST(Firls, GapDesignFitsItsBandsForBothLengthParities) {
  for (const long order : {30L, 31L}) {
    SCOPED_TRACE(order);
    const TesselVector<double> h = firls(order, {0.0, 0.2, 0.4, 1.0}, {1.0, 1.0, 0.0, 0.0});
    ASSERT_EQ(h.size(), order + 1);
    EXPECT_TRUE(symmetric(h));
    EXPECT_NEAR(magnitude(h, 0.0), 1.0, 0.02);
    EXPECT_NEAR(magnitude(h, 0.1), 1.0, 0.02);
    EXPECT_LT(magnitude(h, 0.6), 0.02);
  }
}

// A sloped band: the closed form must follow a linear amplitude, here a differentiator-like
// ramp from 0 at 0 Hz to 1 at the Nyquist frequency.
TEST(Firls, SlopedBandFollowsTheRamp) {
  const TesselVector<double> h = firls(60, {0.0, 1.0}, {0.0, 1.0});
  ASSERT_EQ(h.size(), 61);
  for (const double f : {0.1, 0.3, 0.5, 0.7, 0.9}) EXPECT_NEAR(magnitude(h, f), f, 0.02) << f;
}
