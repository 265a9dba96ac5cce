// The resynthesis on small made-up sounds whose marks are known: identity, pitch, duration,
// transients copied once, unvoiced sound never pitch-shifted and not buzzing when stretched.
#include "psola/resynthesize.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <numeric>
#include <random>
#include <vector>

#include "psola/interval_rates.h"

namespace {

constexpr double kSr = 16000.0;

struct Fixture {
  std::vector<float> x;
  PsoAnalysis a;
};

// A voice-like sound: a decaying 700 Hz resonance at every mark, marks `period` samples apart
// (with jitter), from `from` to `to` (samples), plus a white-noise tail marked unvoiced.
Fixture voiced(double period, std::size_t n, double jitter = 0.0, double noise_from = 1e9) {
  Fixture t;
  t.x.assign(n, 0.0f);
  t.a.sr = kSr;
  std::mt19937 rng(7);
  std::normal_distribution<double> g(0.0, 1.0);
  double p = 0.5 * period;
  while (p < static_cast<double>(n)) {
    PsoMark m;
    m.pos = p;
    m.voiced = p < noise_from;
    m.f0 = kSr / period;
    if (m.voiced) {
      const auto c = static_cast<std::size_t>(std::lround(p));
      for (std::size_t k = c; k < n && k < c + 600; ++k) {
        const double u = static_cast<double>(k - c);
        t.x[k] +=
            static_cast<float>(0.5 * std::exp(-u / 30.0) * std::cos(2 * M_PI * 700 * u / kSr));
      }
    }
    t.a.marks.push_back(m);
    p += period * (1.0 + jitter * g(rng));
  }
  for (std::size_t k = static_cast<std::size_t>(std::max(0.0, noise_from)); k < n; ++k) {
    t.x[k] += static_cast<float>(0.1 * g(rng));
  }
  return t;
}

std::vector<double> run(const Fixture& t, const PsolaSettings& s) {
  std::vector<double> out;
  const std::size_t n =
      resynthesize(t.x, kSr, t.a, s,
                   [&](const double* v, std::size_t c) { out.insert(out.end(), v, v + c); }, {});
  EXPECT_EQ(n, out.size());
  return out;
}

// Sample indices of the local maxima above half the largest value.
std::vector<long> peaks(const std::vector<double>& y) {
  const double top = *std::max_element(y.begin(), y.end());
  std::vector<long> p;
  for (std::size_t i = 1; i + 1 < y.size(); ++i) {
    if (y[i] > 0.8 * top && y[i] >= y[i - 1] && y[i] > y[i + 1]) p.push_back(static_cast<long>(i));
  }
  return p;
}

double median_spacing(const std::vector<long>& p) {
  std::vector<double> d;
  for (std::size_t i = 1; i < p.size(); ++i) d.push_back(static_cast<double>(p[i] - p[i - 1]));
  std::nth_element(d.begin(), d.begin() + static_cast<long>(d.size() / 2), d.end());
  return d[d.size() / 2];
}

TEST(Resynthesize, FactorOneGivesBackTheInput) {
  struct Case {
    const char* why;
    Fixture t;
  } cases[] = {
      {"steady voice", voiced(160.0, 8000)},
      {"jittered voice then noise", voiced(133.3, 9000, 0.05, 5000)},
      {"a single mark",
       [] {
         Fixture t = voiced(160.0, 1500);
         t.a.marks.resize(1);
         return t;
       }()},
      {"a transient run",
       [] {
         Fixture t = voiced(150.0, 6000);
         for (std::size_t i = 10; i < 13; ++i) t.a.marks[i].transient = true;
         return t;
       }()},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.why);
    const std::vector<double> y = run(c.t, PsolaSettings{});
    ASSERT_EQ(y.size(), c.t.x.size());
    double err = 0.0;
    std::size_t at = 0;
    for (std::size_t i = 0; i < y.size(); ++i) {
      if (std::abs(y[i] - c.t.x[i]) > err) err = std::abs(y[i] - c.t.x[i]), at = i;
    }
    EXPECT_LT(err, 1e-9) << "at sample " << at;
  }
}

TEST(Resynthesize, PitchFactorScalesThePeriodAndKeepsTheLength) {
  for (const double k : {0.5, 0.7, 1.4, 2.0}) {
    SCOPED_TRACE(k);
    PsolaSettings s;
    s.pitch = k;
    const Fixture t = voiced(160.0, 16000, 0.0);
    const std::vector<double> y = run(t, s);
    EXPECT_EQ(y.size(), t.x.size());
    EXPECT_NEAR(median_spacing(peaks(y)), 160.0 / k, 1.0);
  }
}

TEST(Resynthesize, DurationFactorScalesTheLengthAndKeepsThePeriod) {
  for (const double r : {0.5, 1.5, 2.0, 3.0}) {
    SCOPED_TRACE(r);
    PsolaSettings s;
    s.time = r;
    const Fixture t = voiced(160.0, 16000, 0.01);
    const std::vector<double> y = run(t, s);
    EXPECT_NEAR(static_cast<double>(y.size()), r * 16000.0, 160.0);
    EXPECT_NEAR(median_spacing(peaks(y)), 160.0, 3.0);
  }
}

TEST(Resynthesize, UnvoicedSoundIsNeverPitchShifted) {
  const Fixture t = voiced(160.0, 8000, 0.0, -1.0);  // every mark unvoiced: noise only
  PsolaSettings s;
  s.pitch = 2.0;
  const std::vector<double> y = run(t, s);
  ASSERT_EQ(y.size(), t.x.size());
  for (std::size_t i = 0; i < y.size(); ++i) ASSERT_NEAR(y[i], t.x[i], 1e-9) << i;
}

// Normalised autocorrelation of y at lag.
double autocorrelation(const std::vector<double>& y, std::size_t lag) {
  double xy = 0.0, xx = 0.0, yy = 0.0;
  for (std::size_t i = 0; i + lag < y.size(); ++i) {
    xy += y[i] * y[i + lag];
    xx += y[i] * y[i];
    yy += y[i + lag] * y[i + lag];
  }
  return xy / std::sqrt(xx * yy);
}

TEST(Resynthesize, StretchedNoiseDoesNotRepeatItself) {
  const Fixture t = voiced(160.0, 16000, 0.0, -1.0);
  PsolaSettings s;
  s.time = 3.0;
  const std::vector<double> y = run(t, s);
  for (const std::size_t lag : {160u, 320u, 480u}) {
    SCOPED_TRACE(lag);
    EXPECT_LT(std::abs(autocorrelation(y, lag)), 0.2);
  }
}

TEST(Resynthesize, ATransientIsCopiedOnceWholeAndNotPitchShifted) {
  Fixture t = voiced(160.0, 12000);
  // A click at a mark of its own, louder than the voice.
  PsoMark click;
  click.pos = 6040.0;
  click.transient = true;
  auto at = std::upper_bound(t.a.marks.begin(), t.a.marks.end(), click.pos,
                             [](double p, const PsoMark& m) { return p < m.pos; });
  t.a.marks.insert(at, click);
  t.x[6040] += 4.0f;
  for (const auto& [k, r] : {std::pair{1.0, 2.0}, {1.0, 3.0}, {1.0, 0.5}, {2.0, 1.0}, {0.5, 1.5}}) {
    SCOPED_TRACE(testing::Message() << "pitch " << k << " time " << r);
    PsolaSettings s;
    s.pitch = k;
    s.time = r;
    const std::vector<double> y = run(t, s);
    long loud = 0, where = 0;
    for (std::size_t i = 0; i < y.size(); ++i) {
      if (y[i] > 2.0) ++loud, where = static_cast<long>(i);
    }
    EXPECT_EQ(loud, 1);
    EXPECT_NEAR(y[where], t.x[6040], 1e-6);  // whole: the window is flat over it
    EXPECT_NEAR(static_cast<double>(y.size()), r * 12000.0, 160.0);
  }
}

TEST(IntervalRates, TransientsKeepTheirLengthAndTheTotalFollowsTheFactor) {
  std::vector<PsoMark> m(60);
  for (std::size_t i = 0; i < m.size(); ++i) m[i].pos = 100.0 * static_cast<double>(i);
  m[30].transient = m[31].transient = true;
  for (const double r : {0.25, 0.5, 2.0, 4.0}) {
    SCOPED_TRACE(r);
    PsolaSettings s;
    s.time = r;
    const std::vector<double> rate = interval_rates(m, kSr, s);
    for (std::size_t i = 29; i <= 31; ++i) EXPECT_EQ(rate[i], 1.0);
    const double total = 100.0 * std::accumulate(rate.begin(), rate.end(), 0.0);
    EXPECT_NEAR(total, r * 5900.0, 1e-6);
    EXPECT_GT(*std::min_element(rate.begin(), rate.end()), 0.0);
  }
}

TEST(Resynthesize, IntonationOneKeepsTheMelodyAndZeroFlattensIt) {
  Fixture t = voiced(160.0, 16000);
  // Marks claim a melody: the first half 20 % above the median, the second 20 % below.
  for (std::size_t i = 0; i < t.a.marks.size(); ++i) {
    t.a.marks[i].mod = i < t.a.marks.size() / 2 ? 0.2 : -0.2;
    t.a.marks[i].f0 = 100.0 * (1.0 + t.a.marks[i].mod);
  }
  PsolaSettings s;
  s.intonation = 1.0;
  const std::vector<double> same = run(t, s);
  for (std::size_t i = 0; i < same.size(); ++i) ASSERT_NEAR(same[i], t.x[i], 1e-9);
  s.intonation = 0.0;
  const std::vector<double> flat = run(t, s);
  const std::vector<double> first(flat.begin(), flat.begin() + 7000);
  const std::vector<double> second(flat.begin() + 9000, flat.end());
  EXPECT_NEAR(median_spacing(peaks(first)), 160.0 * 1.2, 2.0);
  EXPECT_NEAR(median_spacing(peaks(second)), 160.0 * 0.8, 2.0);
}

TEST(Resynthesize, RefusesAFactorOutOfRangeAndMarksThatDoNotFit) {
  const Fixture t = voiced(160.0, 4000);
  PsolaSettings s;
  s.pitch = 5.0;
  EXPECT_THROW(run(t, s), PsolaError);
  Fixture late = t;
  late.a.marks.back().pos = 9000.0;  // beyond the sound
  EXPECT_THROW(run(late, PsolaSettings{}), PsolaError);
  Fixture other = t;
  other.a.sr = 44100.0;
  EXPECT_THROW(run(other, PsolaSettings{}), PsolaError);
}

}  // namespace

namespace {

// Energy of y over consecutive frames of h samples.
std::vector<double> frame_energies(const std::vector<double>& y, std::size_t h) {
  std::vector<double> e;
  for (std::size_t s = 0; s + h <= y.size(); s += h) {
    double v = 0.0;
    for (std::size_t i = s; i < s + h; ++i) v += y[i] * y[i];
    e.push_back(v);
  }
  return e;
}

// Frames from `from` on whose energy is 30 times (15 dB) that of the frame before and above
// the floor.
int sudden_rises(const std::vector<double>& e, double floor, std::size_t from = 1) {
  int n = 0;
  for (std::size_t i = std::max<std::size_t>(from, 1); i < e.size(); ++i) {
    n += e[i] > 30.0 * e[i - 1] && e[i] > floor;
  }
  return n;
}

// Unvoiced marks every 100 samples over n samples.
Fixture noise_marks(std::size_t n) {
  Fixture t;
  t.a.sr = kSr;
  t.x.assign(n, 0.0f);
  for (double p = 50.0; p < static_cast<double>(n); p += 100.0) {
    PsoMark m;
    m.pos = p;
    t.a.marks.push_back(m);
  }
  return t;
}

TEST(Resynthesize, StretchedFadeOutsNeverRiseAgain) {
  // Eight stretches of noise, each fading out over 15 ms (a raised cosine) into 25 ms of
  // silence, as fricatives end.
  Fixture t = noise_marks(16000);
  std::mt19937 rng(3);
  std::normal_distribution<double> g(0.0, 1.0);
  for (std::size_t i = 0; i < t.x.size(); ++i) {
    const std::size_t u = i % 2000;
    const double fade = u < 1360   ? 1.0
                        : u < 1600 ? 0.5 + 0.5 * std::cos(M_PI * (u - 1360.0) / 240.0)
                                   : 0.0;
    t.x[i] = static_cast<float>(0.3 * g(rng) * fade);
  }
  for (const double r : {1.5, 2.0, 3.0}) {
    SCOPED_TRACE(r);
    PsolaSettings s;
    s.time = r;
    const std::vector<double> y = run(t, s);
    const std::vector<double> e = frame_energies(y, 16);  // 1 ms frames
    const double peak = *std::max_element(e.begin(), e.end());
    // A stretch's own start is a rise: count only within the fades and silences.
    int rises = 0;
    for (std::size_t i = 1; i < e.size(); ++i) {
      const double at = std::fmod(static_cast<double>(i * 16) / r, 2000.0);
      if (at > 1300.0 && at < 1950.0) rises += e[i] > 30.0 * e[i - 1] && e[i] > 1e-3 * peak;
    }
    EXPECT_EQ(rises, 0);
  }
}

TEST(Resynthesize, ABurstFlaggedAfterItsAttackIsStillCopiedOnce) {
  // Silence, then a 20 ms decaying noise burst at sample 4000, then silence; the analysis flags
  // one transient mark 5 ms into the burst, as real analyses do.
  Fixture t = noise_marks(8000);
  std::mt19937 rng(5);
  std::normal_distribution<double> g(0.0, 1.0);
  for (std::size_t i = 4000; i < 4320; ++i) {
    t.x[i] = static_cast<float>(0.5 * g(rng) * std::exp(-static_cast<double>(i - 4000) / 80.0));
  }
  for (PsoMark& m : t.a.marks) m.transient = m.pos == 4050.0;
  for (const double r : {1.5, 2.0, 3.0}) {
    SCOPED_TRACE(r);
    PsolaSettings s;
    s.time = r;
    const std::vector<double> y = run(t, s);
    const std::vector<double> e = frame_energies(y, 16);
    EXPECT_EQ(sudden_rises(e, 1e-4 * *std::max_element(e.begin(), e.end())), 1);
  }
}

}  // namespace
