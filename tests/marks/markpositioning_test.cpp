// Marks over the whole sound: periodic marks in the voiced zones, noise marks around them,
// kinds from the voicing track and the transient zones.
#include <gtest/gtest.h>

#include <cmath>
#include <vector>

#include "marks/marknoise.h"
#include "marks/markpositioning.h"

namespace {

using tessel::cplx;
using tessel::TesselMatrix;
using tessel::TesselVector;

constexpr double kSr = 1000.0;  // Hz
constexpr long kN = 1000;       // samples of the epoch curve: 0 .. 0.999 s

TesselMatrix<double> rows(const std::vector<std::pair<double, double>>& r) {
  TesselMatrix<double> m(static_cast<long>(r.size()), 2, 0.0);
  for (std::size_t i = 0; i < r.size(); ++i) {
    m(i, 0) = r[i].first;
    m(i, 1) = r[i].second;
  }
  return m;
}

// The fixture sound: epoch peaks every 100 samples from 10 to 910, f0 10 Hz throughout.
struct Scene {
  TesselVector<double> curve = TesselVector<double>(kN, 0.0);
  TesselMatrix<double> f0 = rows({{0.0, 10.0}, {1.0, 10.0}});
  TesselMatrix<double> voiced = rows({{0.2, 0.6}});
  TesselMatrix<double> transient = TesselMatrix<double>(0, 2);
  double voice_threshold = 0.6;
  // Voicing coefficient per 10 ms frame (frame time t gives real part sr * t - 1).
  std::vector<double> coef = std::vector<double>(101, 0.9);
  TesselMatrix<double> marked, noise;

  Scene() {
    for (long i = 10; i < kN; i += 100) curve[i] = 1.0;
  }
  TesselVector<cplx<double>> voicing() const {
    TesselVector<cplx<double>> v(static_cast<long>(coef.size()));
    for (std::size_t r = 0; r < coef.size(); ++r) v[r] = {kSr * (0.01 * r) - 1.0, coef[r]};
    return v;
  }
  std::vector<cplx<double>> run() {
    const auto m = markpositioning(curve, kSr, f0, voiced, transient, 10.0, 4.0, 0.05, 5.0,
                                   voicing(), voice_threshold, marked, noise)
                       .value();
    std::vector<cplx<double>> out(m.begin(), m.end());
    for (std::size_t i = 1; i < out.size(); ++i) {
      EXPECT_LT(out[i - 1].re, out[i].re) << "marks sorted by time, without repeats";
    }
    return out;
  }
};

std::vector<long> samples(const std::vector<cplx<double>>& m) {
  std::vector<long> out;
  for (const auto& x : m) out.push_back(std::lround(x.re * kSr));
  return out;
}
std::vector<double> kinds(const std::vector<cplx<double>>& m) {
  std::vector<double> out;
  for (const auto& x : m) out.push_back(x.im);
  return out;
}

TEST(Markpositioning, PeriodicMarksInsideNoiseMarksAround) {
  Scene s;
  const auto m = s.run();
  // Periodic marks 210 .. 510; noise stretches 0 .. 210 and 510 .. 999 at 10 Hz:
  // marknoise puts 107 (1-based) in the first, 609, 707, 805 and 903 in the second.
  EXPECT_EQ(samples(m), (std::vector<long>{106, 210, 310, 410, 510, 608, 706, 804, 902}));
  ASSERT_EQ(s.marked.nrows(), 1);
  ASSERT_EQ(s.noise.nrows(), 2);
  // The noise stretches end and start on the actual first and last periodic marks.
  EXPECT_EQ(s.noise(0, 0), 0.0);
  EXPECT_EQ(s.noise(0, 1), s.marked(0, 0));
  EXPECT_EQ(s.noise(1, 0), s.marked(0, 1));
  EXPECT_DOUBLE_EQ(s.noise(1, 1), 0.999);
  EXPECT_NEAR(s.marked(0, 0), 0.210, 1e-12);
  EXPECT_NEAR(s.marked(0, 1), 0.510, 1e-12);
}

TEST(Markpositioning, NoVoicedZoneIsOneNoiseStretch) {
  Scene s;
  s.voiced = TesselMatrix<double>(0, 2);
  const auto m = s.run();
  EXPECT_EQ(s.marked.nrows(), 0);
  ASSERT_EQ(s.noise.nrows(), 1);
  EXPECT_EQ(s.noise(0, 0), 0.0);
  EXPECT_DOUBLE_EQ(s.noise(0, 1), 0.999);
  const auto expected = marknoise(0, kN - 1, 10.0, kSr);
  ASSERT_EQ(m.size(), static_cast<std::size_t>(expected.size()));
  for (std::size_t i = 0; i < m.size(); ++i) EXPECT_EQ(m[i].re, expected[i].re);
}

TEST(Markpositioning, ZonesAreClippedToTheCurve) {
  Scene ref;
  ref.voiced = rows({{0.2, 0.999}});
  const auto expected = ref.run();
  struct Case {
    std::vector<std::pair<double, double>> zones;
    const char* why;
  };
  const Case cases[] = {
      {{{0.2, 5.0}}, "a zone ending past the last sample is cut there"},
      {{{0.2, 5.0}, {1.5, 2.0}}, "a zone starting past the curve gets no periodic mark"},
      {{{0.2, 5.0}, {0.999, 1.2}}, "a zone holding only the last sample gets none either"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.why);
    Scene s;
    s.voiced = rows(c.zones);
    const auto m = s.run();
    EXPECT_EQ(samples(m), samples(expected));
    EXPECT_EQ(s.marked.nrows(), 1);
    EXPECT_EQ(s.noise.nrows(), 2);
  }
}

TEST(Markpositioning, StretchesTooShortForANoiseMarkGetNone) {
  // Voicing from the first sample: the stretch before the first periodic mark (0 .. 10) holds
  // no noise mark, and must not yield one at time 0 either.
  Scene s;
  s.voiced = rows({{0.0, 0.999}});
  const auto m = s.run();
  EXPECT_EQ(samples(m), (std::vector<long>{10, 110, 210, 310, 410, 510, 610, 710, 810, 910}));
}

TEST(Markpositioning, KindComesFromTheVoicingThresholdStrictly) {
  struct Case {
    double coef, threshold, periodic_kind;
    const char* why;
  };
  const Case cases[] = {
      {0.9, 0.6, 1.0, "above the threshold: voiced"},
      {0.6, 0.6, 0.0, "exactly at the threshold: unvoiced, also for periodic marks"},
      {0.3, 0.6, 0.0, "below: unvoiced"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.why);
    Scene s;
    s.coef.assign(101, c.coef);
    s.voice_threshold = c.threshold;
    for (const double k : kinds(s.run())) EXPECT_EQ(k, c.periodic_kind);
  }
  // A track voiced only over 0.2 .. 0.6 s: noise marks outside are unvoiced.
  Scene s;
  for (std::size_t r = 0; r < s.coef.size(); ++r) s.coef[r] = (r >= 20 && r <= 60) ? 0.9 : 0.1;
  EXPECT_EQ(kinds(s.run()), (std::vector<double>{0, 1, 1, 1, 1, 0, 0, 0, 0}));
}

TEST(Markpositioning, TransientZonesRelabelOrAddOneMiddleMark) {
  Scene plain;
  const auto base = plain.run();  // 106, 210, 310, 410, 510, 608, 706, 804, 902
  Scene s;
  // 0.30 .. 0.32 holds the mark at 310; 0.650 .. 0.660 holds none and gets 0.655; the wider
  // 0.640 .. 0.670 then holds that added mark and gets no other; a zone from the mark at 410
  // to the one at 510 holds both (bounds included); 0.2 .. 0.1 is reversed and holds nothing,
  // so it gets its middle 0.15. Every mark is voiced by the track.
  s.transient =
      rows({{0.30, 0.32}, {0.650, 0.660}, {0.640, 0.670}, {base[3].re, base[4].re}, {0.2, 0.1}});
  const auto m = s.run();
  EXPECT_EQ(samples(m), (std::vector<long>{106, 150, 210, 310, 410, 510, 608, 655, 706, 804, 902}));
  EXPECT_EQ(kinds(m), (std::vector<double>{1, 2, 1, 2, 2, 2, 1, 2, 1, 1, 1}));
  // The relabelled marks keep their times.
  EXPECT_EQ(m[3].re, base[2].re);
  EXPECT_EQ(m[5].re, base[4].re);
}

}  // namespace
