// Frobenius-norm epoch curve.
#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <string>

#include "epochs/fcol_frob.h"
#include "epochs/frob.h"
#include "epochs/messages.h"

using tessel::cplx;
using tessel::TesselVector;

namespace {

TesselVector<double> noise(long n, double amplitude, unsigned seed = 7u) {
  TesselVector<double> x(n, 0.0);
  for (long i = 0; i < n; ++i) {
    seed = seed * 1664525u + 1013904223u;
    x[i] = amplitude * ((seed >> 8) / 16777216.0 - 0.5);
  }
  return x;
}

struct FrobRun {
  TesselVector<cplx<double>> out;
  int order;
  std::string printed;
};

FrobRun run_frob(const TesselVector<double>& x, double sr, double f0, int order) {
  long first = 0, last = x.size() - 1;
  const TesselVector<double> f0v{f0};
  testing::internal::CaptureStdout();
  FrobRun r;
  r.order = order;
  r.out = frob(x, sr, first, last, f0v, r.order).value();
  r.printed = testing::internal::GetCapturedStdout();
  return r;
}

}  // namespace

// Each value against the energy of the p + 1 windows summed afresh.
TEST(Frob, MatchesDirectEnergyOfTheDataMatrix) {
  const double sr = 44100.0;
  const TesselVector<double> x = noise(3000, 0.5);
  const FrobRun r = run_frob(x, sr, 100.0, -1);
  const long nw = 221, p = 10;  // round(220.5); default order
  ASSERT_EQ(r.order, p);
  ASSERT_EQ(r.out.size(), 3000 - nw - p + 1);
  EXPECT_EQ(std::lround(r.out[0].re * sr) - 1, p);  // the curve starts at sample p
  for (long i = 0; i < r.out.size(); i += 37) {
    double q = 0.0;
    for (long c = 0; c <= p; ++c) {
      for (long k = 0; k < nw; ++k) q += x[i + c + k] * x[i + c + k];
    }
    EXPECT_NEAR(r.out[i].im, std::sqrt(q) / p, 1e-10 * std::sqrt(q)) << i;
    EXPECT_DOUBLE_EQ(r.out[i].re, (i + 1 + p) / sr);
  }
}

TEST(Frob, ConstantSignalGivesFlatCurve) {
  const double a = 0.3;
  const TesselVector<double> x(1000, a);
  const FrobRun r = run_frob(x, 16000.0, 200.0, 6);  // Nw = 40
  ASSERT_EQ(r.out.size(), 1000 - 40 - 6 + 1);
  const double want = a * std::sqrt(7.0 * 40.0) / 6.0;
  for (long i = 0; i < r.out.size(); ++i) ASSERT_NEAR(r.out[i].im, want, 1e-12) << i;
}

TEST(Frob, OrderRules) {
  struct Case {
    double sr, f0;
    int order_in, order_out;
    bool message;
    const char* why;
  };
  const Case cases[] = {
      {16000.0, 3000.0, -1, 2, false, "Nw = 3, default order: replaced silently"},
      {16000.0, 3000.0, 10, 2, true, "Nw = 3, explicit order: message"},
      {14000.0, 1000.0, 10, 4, true, "Nw = 7: round(3.5) = 4"},
      {22000.0, 1000.0, 12, 6, true, "Nw = 11: round(5.5) = 6"},
      {10000.0, 1000.0, 12, 4, true, "Nw = 5: round(2.5) = 3, made even"},
      {44100.0, 100.0, 30, 30, false, "Nw = 221: the order fits"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.why);
    const FrobRun r = run_frob(noise(600, 1.0), c.sr, c.f0, c.order_in);
    EXPECT_EQ(r.order, c.order_out);
    const std::string msg =
        std::string(epochs_msg::kFrobBadOrder) + std::to_string(c.order_out) + ".\n";
    EXPECT_EQ(r.printed, c.message ? msg : "");
  }
}

TEST(Frob, SeveralF0ValuesUseThreeQuartersOfTheMeanPeriod) {
  const TesselVector<double> x = noise(2000, 1.0);
  long first = 0, last = x.size() - 1;
  int order = 4;
  const TesselVector<double> f0v{100.0, 300.0};  // mean 200 Hz: 0.75 / 200 s = 60 samples
  const TesselVector<cplx<double>> out = frob(x, 16000.0, first, last, f0v, order).value();
  EXPECT_EQ(out.size(), 2000 - 60 - 4 + 1);
}

// Loud sound, a faint tail, then digital silence: the faint squares vanish when added to the
// loud ones but are subtracted in full later, leaving the running sums below zero over the
// silence. No position may be dropped (or shifted) for that.
TEST(Frob, SilenceAfterLoudSoundKeepsEveryPosition) {
  TesselVector<double> x(20000, 0.0);
  for (long i = 0; i < 5000; ++i) x[i] = i % 2 == 0 ? 1.0 : -1.0;  // squares sum exactly
  for (long i = 5000; i < 10000; ++i) x[i] = 1e-9;
  const FrobRun r = run_frob(x, 44100.0, 100.0, -1);
  ASSERT_EQ(r.out.size(), 20000 - 221 - 10 + 1);
  for (long i = 0; i < r.out.size(); ++i) {
    ASSERT_TRUE(std::isfinite(r.out[i].im)) << i;
    ASSERT_GE(r.out[i].im, 0.0) << i;
    ASSERT_DOUBLE_EQ(r.out[i].re, (i + 11) / 44100.0) << i;
  }
  EXPECT_LT(r.out[r.out.size() - 1].im, 1e-6);
}

TEST(Frob, NanInSignalDropsTheAffectedPositions) {
  TesselVector<double> x = noise(1000, 1.0);
  x[900] = std::numeric_limits<double>::quiet_NaN();
  const FrobRun r = run_frob(x, 16000.0, 200.0, 4);  // Nw = 40
  // Positions 0 .. 900 - 40 - 4 see only finite samples; every later sum stays NaN.
  ASSERT_EQ(r.out.size(), 900 - 40 - 4 + 1);
  for (long i = 0; i < r.out.size(); ++i) ASSERT_TRUE(std::isfinite(r.out[i].im)) << i;
}

TEST(Frob, SignalShorterThanWindowAndOrderGivesEmptyResult) {
  EXPECT_EQ(run_frob(noise(40 + 4 - 1, 1.0), 16000.0, 200.0, 4).out.size(), 0);
  EXPECT_EQ(run_frob(noise(40 + 4, 1.0), 16000.0, 200.0, 4).out.size(), 1);
}

TEST(Frob, BadBoundsFailWithTheirMessage) {
  struct Case {
    long first, last;
    const char* message;
  };
  const TesselVector<double> x = noise(100, 1.0);
  const TesselVector<double> f0v{200.0};
  const Case cases[] = {
      {-1, 99, epochs_msg::kFrobFirstNegative},
      {0, 100, epochs_msg::kFrobLastTooLarge},
      {50, 40, epochs_msg::kFrobFirstAfterLast},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.message);
    long first = c.first, last = c.last;
    int order = -1;
    const auto out = frob(x, 16000.0, first, last, f0v, order);
    ASSERT_FALSE(out.ok());
    EXPECT_EQ(out.error().text, std::string(c.message) + "\n");
    EXPECT_EQ(out.error().status, 1);
  }
}

TEST(FcolFrob, ConjugatesAndKeepsOrientation) {
  TesselVector<cplx<double>> src(3, cplx<double>(0.0, 0.0), false);
  src[0] = cplx<double>(1.0, 2.0);
  src[1] = cplx<double>(-3.0, 0.0);
  src[2] = cplx<double>(0.5, -4.0);
  TesselVector<cplx<double>> dst(7, cplx<double>(9.0, 9.0));
  fcol_frob(src, dst);
  ASSERT_EQ(dst.size(), 3);
  EXPECT_FALSE(dst.iscol());
  EXPECT_EQ(dst[0], cplx<double>(1.0, -2.0));
  EXPECT_EQ(dst[1], cplx<double>(-3.0, -0.0));
  EXPECT_EQ(dst[2], cplx<double>(0.5, 4.0));
}
