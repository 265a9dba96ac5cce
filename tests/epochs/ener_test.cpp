// Frame-energy staircase of the energy method.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <vector>

#include "epochs/ener.h"
#include "epochs/energy_curve.h"
#include "epochs/fir1.h"
#include "epochs/fir_aligned.h"

using tessel::TesselVector;

namespace {

TesselVector<double> ramp_noise(long n, double amplitude) {
  TesselVector<double> x(n, 0.0);
  unsigned state = 12345u;
  for (long i = 0; i < n; ++i) {
    state = state * 1664525u + 1013904223u;
    x[i] = amplitude * ((state >> 8) / 16777216.0 - 0.5);
  }
  return x;
}

}  // namespace

// Every frame k = 0, H, 2H, ... < n - N holds sqrt(sum x^2 / window) over k+lo .. k+hi, a later
// frame overwriting the shared border; everything else is 0.
TEST(Ener, StaircaseMatchesFrameByFrameDefinition) {
  struct Case {
    double sr, window_s, hop_s;
    long n;
    long frame, step, lo, hi;
  };
  const Case cases[] = {
      // driver's durations at 44.1 kHz for a median f0 of 120 Hz: N = 122.5 -> 123
      {44100.0, 1.0 / 360.0, 0.25 / 360.0, 2000, 123, 31, 46, 77},
      {16000.0, 0.004, 0.001, 777, 64, 16, 24, 40},
      {1000.0, 0.011, 0.003, 100, 11, 3, 4, 7},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.sr);
    const TesselVector<double> x = ramp_noise(c.n, 1.0);
    double window = c.window_s, hop = c.hop_s;
    const TesselVector<double> e = ener(x, c.sr, window, hop);
    ASSERT_EQ(e.size(), c.n);
    EXPECT_EQ(hop, c.hop_s);

    TesselVector<double> want(c.n, 0.0);
    for (long k = 0; k < c.n - c.frame; k += c.step) {
      double s = 0.0;
      for (long i = 0; i < c.frame; ++i) s += x[k + i] * x[k + i];
      for (long j = k + c.lo; j <= k + c.hi; ++j) want[j] = std::sqrt(s / c.window_s);
    }
    for (long j = 0; j < c.n; ++j) ASSERT_NEAR(e[j], want[j], 1e-12 * want[j]) << j;
    for (long j = 0; j < c.lo; ++j) EXPECT_EQ(e[j], 0.0) << j;
    EXPECT_EQ(e[c.n - 1], 0.0);
  }
}

TEST(Ener, ZeroHopBecomesHalfWindowAndIsWrittenBack) {
  const TesselVector<double> x = ramp_noise(500, 1.0);
  double window = 0.01, hop = 0.0;  // 100 samples at 10 kHz
  const TesselVector<double> e = ener(x, 10000.0, window, hop);
  EXPECT_EQ(hop, 0.005);
  EXPECT_EQ(window, 0.01);
  // Frames every 50 samples, held over 25 .. 75 from their start.
  EXPECT_EQ(e[24], 0.0);
  EXPECT_GT(e[25], 0.0);
  EXPECT_EQ(e[74], e[25]);  // frame 0 holds 25 .. 75, but frame 1 overwrites 75
  EXPECT_EQ(e[75], e[76]);
  EXPECT_NE(e[75], e[74]);
  double s = 0.0;
  for (int i = 50; i < 150; ++i) s += x[i] * x[i];
  EXPECT_DOUBLE_EQ(e[75], std::sqrt(s / 0.01));
}

TEST(Ener, SignalNotLongerThanOneFrameGivesZeros) {
  for (const long n : {0L, 50L, 100L}) {
    SCOPED_TRACE(n);
    double window = 0.01, hop = 0.0025;
    const TesselVector<double> e = ener(ramp_noise(n, 1.0), 10000.0, window, hop);
    ASSERT_EQ(e.size(), n);
    for (long i = 0; i < n; ++i) EXPECT_EQ(e[i], 0.0);
  }
  // One sample more gives exactly one frame.
  double window = 0.01, hop = 0.0025;
  const TesselVector<double> e = ener(ramp_noise(101, 1.0), 10000.0, window, hop);
  EXPECT_GT(e[50], 0.0);
}

TEST(Ener, ScalesWithAmplitude) {
  double w1 = 0.003, h1 = 0.00075, w2 = w1, h2 = h1;
  const TesselVector<double> a = ener(ramp_noise(3000, 1.0), 44100.0, w1, h1);
  const TesselVector<double> b = ener(ramp_noise(3000, 2.0), 44100.0, w2, h2);
  for (int i = 0; i < 3000; ++i) ASSERT_NEAR(b[i], 2.0 * a[i], 1e-12) << i;
}

// Blocks of the staircase and of the smoothed curve, and any number of threads, give the values
// of the whole: the energy method works block by block on threads.
TEST(Ener, BlocksAndSmoothedCurveEqualTheWhole) {
  const TesselVector<double> x = ramp_noise(70000, 1.0);
  double window = 1.0 / 360.0, hop = 0.25 / 360.0;
  const TesselVector<double> whole = ener(x, 44100.0, window, hop);
  for (const long block : {1L, 31L, 1000L, 69999L}) {
    SCOPED_TRACE(block);
    std::vector<double> out(x.size(), std::nan(""));
    for (long a = 0; a < x.size(); a += block) {
      ener(x, 44100.0, window, hop, a, std::min<long>(block, x.size() - a), out.data() + a);
    }
    for (long i = 0; i < x.size(); ++i) ASSERT_EQ(out[i], whole[i]) << "sample " << i;
  }
  const TesselVector<double> b = fir1(100, TesselVector<double>{0.03}, 1);
  const TesselVector<double> want = fir_aligned(b, whole, 50, x.size() - 100);
  for (const int threads : {1, 2, 8}) {
    SCOPED_TRACE(threads);
    const TesselVector<double> got =
        energy_curve(x, 44100.0, window, hop, b, 50, x.size() - 100, threads);
    ASSERT_EQ(got.size(), want.size());
    for (long i = 0; i < got.size(); ++i) ASSERT_EQ(got[i], want[i]) << "sample " << i;
  }
}
