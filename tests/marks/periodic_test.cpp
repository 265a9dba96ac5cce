// Periodic marks of a voiced stretch: peak search (localmax), choice of the start
// (localmaxvecteur) and the marks of markperiodic.
#include <gtest/gtest.h>

#include <cmath>
#include <vector>

#include "marks/bp_increasing.h"
#include "marks/localmax.h"
#include "marks/localmaxvecteur.h"
#include "marks/markperiodic.h"
#include "marks/messages.h"

namespace {

using tessel::cplx;
using tessel::TesselMatrix;
using tessel::TesselVector;

constexpr double kSr = 1000.0;  // Hz: one sample per millisecond keeps positions readable

TesselMatrix<double> constant_f0(double f0, double until_s = 10.0) {
  TesselMatrix<double> m(2, 2, 0.0);
  m(0, 1) = f0;
  m(1, 0) = until_s;
  m(1, 1) = f0;
  return m;
}

// A curve of n zero samples with the given (0-based index, height) peaks.
TesselVector<double> curve(long n, const std::vector<std::pair<long, double>>& peaks) {
  TesselVector<double> c(n, 0.0);
  for (const auto& [i, h] : peaks) c[i] = h;
  return c;
}

std::vector<long> samples_of(const TesselVector<cplx<double>>& marks) {
  std::vector<long> out;
  for (int i = 0; i < marks.size(); ++i) out.push_back(std::lround(marks[i].re * kSr));
  return out;
}

TEST(Localmax, FindsOnePeakPerPeriod) {
  // f0 10 Hz: 100 samples per period; peaks slightly off the grid, search half-width 25.
  // Every window holds a peak: the expected position after 455 is 541, past the stretch.
  const auto c = curve(520, {{40, 1.0}, {135, 0.8}, {248, 1.2}, {340, 0.9}, {455, 1.1}});
  double energy = -1.0;
  const auto marks = localmax(c, kSr, constant_f0(10.0), 0, 519, 4.0, energy).value();
  EXPECT_EQ(samples_of(marks), (std::vector<long>{40, 135, 248, 340, 455}));
  EXPECT_DOUBLE_EQ(energy, 1.0 + 0.8 + 1.2 + 0.9 + 1.1);
  for (int i = 0; i < marks.size(); ++i) EXPECT_DOUBLE_EQ(marks[i].im, 0.1);  // mean period, s
}

TEST(Localmax, EqualValuesGiveTheEarliestSample) {
  // A flat top of three equal samples in the first period, then in the second window.
  const auto c = curve(200, {{20, 1.0}, {21, 1.0}, {22, 1.0}, {118, 1.0}, {119, 1.0}});
  double energy = 0.0;
  EXPECT_EQ(samples_of(localmax(c, kSr, constant_f0(10.0), 0, 199, 4.0, energy).value()),
            (std::vector<long>{20, 118}));
}

TEST(Localmax, WindowsStayInsideTheStretch) {
  // The stretch 100..299 of a longer curve: the big peaks outside it must not be taken,
  // although the search windows of its first and last marks reach them.
  const auto c = curve(500, {{95, 9.0}, {110, 1.0}, {210, 1.0}, {305, 9.0}});
  double energy = 0.0;
  const auto marks = localmax(c, kSr, constant_f0(10.0), 100, 299, 4.0, energy).value();
  EXPECT_EQ(samples_of(marks), (std::vector<long>{110, 210}));
  EXPECT_DOUBLE_EQ(energy, 2.0);
}

TEST(Localmax, BadBoundsFailWithTheirMessage) {
  const auto c = curve(100, {});
  const auto f0 = constant_f0(10.0);
  double e = 0.0;
  struct Case {
    Expected<TesselVector<cplx<double>>> result;
    const char* message;
  } const cases[] = {
      {localmax(c, kSr, f0, -1, 50, 4.0, e), marks_msg::kLocalmaxDebut},
      {localmax(c, kSr, f0, 0, 100, 4.0, e), marks_msg::kLocalmaxFin},
      {localmaxvecteur(c, kSr, f0, -1, 50, 4.0, 0.0), marks_msg::kLocalmaxvecteurDebut},
      {localmaxvecteur(c, kSr, f0, 0, 100, 4.0, 0.0), marks_msg::kLocalmaxvecteurFin},
      // One sample: the first peak is the stretch's own end, so no mark can follow.
      {localmax(c, kSr, f0, 50, 50, 4.0, e), marks_msg::kLocalmaxEmpty},
  };
  for (const Case& k : cases) {
    SCOPED_TRACE(k.message);
    ASSERT_FALSE(k.result.ok());
    EXPECT_EQ(k.result.error().text, std::string(k.message) + "\n");
    EXPECT_EQ(k.result.error().status, 1);
  }
}

TEST(Localmaxvecteur, KeepsTheStartWithTheLargestEnergy) {
  // A lone spike at 10 catches the run started at 0 (mark 10, then empty windows),
  // while the periodic peaks at 50, 150, ... sum more energy from a later start.
  const auto c = curve(520, {{10, 2.0}, {50, 1.0}, {150, 1.0}, {250, 1.0}, {350, 1.0}, {450, 1.0}});
  const auto f0 = constant_f0(10.0);
  double e0 = 0.0;
  EXPECT_EQ(samples_of(localmax(c, kSr, f0, 0, 519, 4.0, e0).value()).front(), 10);
  EXPECT_EQ(samples_of(localmaxvecteur(c, kSr, f0, 0, 519, 4.0, 0.0).value()),
            (std::vector<long>{50, 150, 250, 350, 450}));
}

TEST(Localmaxvecteur, StartsThatPlaceNoMarkCountAsZero) {
  // Stretch 0..150, period 100, starts 0, 25, 50, 75, 100. From 50 on, the largest value of
  // the first period is the stretch's last sample, so those runs place no mark; the run from
  // 25 (marks at 25 and 150, energy 5) beats the run from 0 (energy 1).
  const auto c = curve(151, {{10, 1.0}, {150, 5.0}});
  EXPECT_EQ(samples_of(localmaxvecteur(c, kSr, constant_f0(10.0), 0, 150, 4.0, 0.0).value()),
            (std::vector<long>{25, 150}));
}

TEST(Localmaxvecteur, HighF0AgainstAlphaStillAdvances) {
  // T0 = 2 samples and alpha 8: the start step round(0.25) would be 0.
  const auto c = curve(40, {{5, 1.0}, {7, 1.0}});
  EXPECT_GT(localmaxvecteur(c, kSr, constant_f0(500.0), 0, 39, 8.0, 0.0).value().size(), 0);
}

TEST(Markperiodic, OneOrTwoMarksAreThePeakTimes) {
  const auto f0 = constant_f0(10.0);
  struct Case {
    long fin;
    std::vector<std::pair<long, double>> peaks;
    std::vector<double> times;
  };
  const Case cases[] = {{99, {{30, 1.0}}, {0.030}}, {199, {{30, 1.0}, {140, 1.0}}, {0.030, 0.140}}};
  for (const Case& k : cases) {
    const auto t =
        markperiodic(curve(k.fin + 1, k.peaks), kSr, f0, 0, k.fin, 4.0, 0.05, 5.0).value();
    ASSERT_EQ(t.size(), static_cast<int>(k.times.size()));
    for (int i = 0; i < t.size(); ++i) EXPECT_DOUBLE_EQ(t[i], k.times[i]);
  }
}

TEST(Markperiodic, ThreeMarksOrMoreAreFittedBetweenPeaksAndPeriods) {
  // One peak 20 samples late: the fit keeps the ends near their peaks and moves the late
  // interior mark back towards one period from its neighbours.
  const auto c = curve(500, {{50, 1.0}, {150, 1.0}, {270, 1.0}, {350, 1.0}, {450, 1.0}});
  const auto t = markperiodic(c, kSr, constant_f0(10.0), 0, 499, 4.0, 0.05, 5.0).value();
  ASSERT_EQ(t.size(), 5);
  EXPECT_LT(t[2], 0.270);
  EXPECT_GT(t[2], 0.250);
  EXPECT_NEAR(t[0], 0.050, 0.005);
  EXPECT_NEAR(t[4], 0.450, 0.005);
  // A large beta pins every mark on its peak.
  const auto pinned = markperiodic(c, kSr, constant_f0(10.0), 0, 499, 4.0, 1e6, 1e6).value();
  EXPECT_NEAR(pinned[2], 0.270, 1e-4);
}

TEST(Markperiodic, BinarySearchGivesTheScanMarks) {
  // A gliding f0 on an uneven grid and a pulse train that follows it, with noise-like
  // ripples: both ways of reading the f0 must give the same marks to the last bit.
  const double sr = 16000.0;
  std::vector<double> ft, fv;
  for (double t = 0.0; t < 1.2; t += 0.005 + 0.002 * std::sin(t * 40.0)) {
    ft.push_back(t);
    fv.push_back(110.0 + 60.0 * t + 10.0 * std::sin(t * 9.0));
  }
  TesselMatrix<double> f0(static_cast<long>(ft.size()), 2, 0.0);
  for (std::size_t r = 0; r < ft.size(); ++r) {
    f0(r, 0) = ft[r];
    f0(r, 1) = fv[r];
  }
  ASSERT_TRUE(bp_increasing(f0));
  TesselVector<double> c(static_cast<long>(sr * 1.2), 0.0);
  for (int i = 0; i < c.size(); ++i) c[i] = 0.1 * std::fabs(std::sin(i * 0.37));
  for (double t = 0.01; t < 1.19; t += 1.0 / (110.0 + 60.0 * t)) c[std::lround(t * sr)] = 1.0;
  const long fin = c.size() - 1;
  const auto fast = markperiodic(c, sr, f0, 100, fin, 4.0, 0.05, 5.0, true).value();
  const auto scan = markperiodic(c, sr, f0, 100, fin, 4.0, 0.05, 5.0, false).value();
  ASSERT_EQ(fast.size(), scan.size());
  ASSERT_GT(fast.size(), 100);
  for (int i = 0; i < fast.size(); ++i) ASSERT_EQ(fast[i], scan[i]) << "mark " << i;
}

}  // namespace
