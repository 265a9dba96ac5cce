// Voicing coefficient and cut-off tracks.
#include <gtest/gtest.h>

#include <cmath>
#include <numbers>
#include <random>
#include <vector>

#include "voicing/analysevoise.h"
#include "voicing/fc.h"
#include "voicing/medfilt1.h"
#include "voicing/spectre.h"

namespace {

using tessel::TesselMatrix;
using tessel::TesselVector;

// f0 track with the given times and f0 values.
TesselMatrix<double> track(const std::vector<double>& t, const std::vector<double>& f0) {
  TesselMatrix<double> m(static_cast<int>(t.size()), 2, 0.0);
  for (size_t r = 0; r < t.size(); ++r) {
    m(static_cast<int>(r), 0) = t[r];
    m(static_cast<int>(r), 1) = f0[r];
  }
  return m;
}

// Regular track from t0 every hop seconds, n rows, constant f0.
TesselMatrix<double> regular(double t0, double hop, int n, double f0) {
  std::vector<double> t(n), f(n, f0);
  for (int i = 0; i < n; ++i) t[i] = t0 + hop * i;
  return track(t, f);
}

// Harmonics of f0 up to top_hz with equal amplitudes, sampled at sr, plus white noise of
// standard deviation noise_rms.
TesselVector<double> harmonic_signal(double sr, double seconds, double f0, double top_hz,
                                     double noise_rms = 0.0) {
  const int n = static_cast<int>(sr * seconds);
  TesselVector<double> x(n, 0.0);
  std::mt19937 gen(7);
  std::normal_distribution<double> noise(0.0, noise_rms > 0.0 ? noise_rms : 1.0);
  for (int i = 0; i < n; ++i) {
    double v = 0.0;
    for (int m = 1; m * f0 <= top_hz; ++m) v += std::sin(2.0 * std::numbers::pi * m * f0 * i / sr);
    x(i) = v + (noise_rms > 0.0 ? noise(gen) : 0.0);
  }
  return x;
}

double mean_of_column(const TesselMatrix<double>& m, int c) {
  double s = 0.0;
  for (int r = 0; r < m.nrows(); ++r) s += m(r, c);
  return s / m.nrows();
}

TEST(Analysevoise, MaximumCutoffRule) {
  struct Case {
    double sr, given, expected;
    const char* why;
  };
  const Case cases[] = {
      {44100, -1, 22050, "negative asks for half the sampling rate"},
      {44100, 0, 6000, "a smaller value is raised to the 6000 Hz ceiling"},
      {44100, 8000, 8000, "a larger value is kept"},
      {8000, 0, 4000, "the ceiling is half the sampling rate at 8 kHz"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.why);
    TesselMatrix<double> coef(3, 2, 1.0), cut(3, 2, 1.0);
    double fcmax = c.given;
    EXPECT_TRUE(
        analysevoise(TesselVector<double>(100, 0.0), c.sr, TesselMatrix<double>(), coef, cut, fcmax)
            .ok());
    EXPECT_EQ(fcmax, c.expected);
    EXPECT_EQ(coef.nrows(), 0);
    EXPECT_EQ(cut.nrows(), 0);
  }
}

TEST(Analysevoise, DecimatesTheTrackToTenMilliseconds) {
  const double sr = 16000.0;
  const TesselVector<double> x = harmonic_signal(sr, 1.0, 100.0, 3000.0);
  struct Case {
    double hop;
    int rows, stride;
    const char* why;
  };
  const Case cases[] = {
      {0.005, 161, 2, "5 ms: every second row"},
      {0.0029, 277, 3, "2.9 ms: round(3.45) = 3"},
      {0.02, 41, 1, "20 ms: every row"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.why);
    // All rows lie between 0.05 s and 0.85 s: every window fits in the signal.
    const TesselMatrix<double> f0 = regular(0.05, c.hop, c.rows, 100.0);
    TesselMatrix<double> coef, cut;
    double fcmax = 0.0;
    EXPECT_TRUE(analysevoise(x, sr, f0, coef, cut, fcmax).ok());
    const int expected = (c.rows - 1) / c.stride + 1;
    ASSERT_EQ(coef.nrows(), expected);
    ASSERT_EQ(cut.nrows(), expected);
    ASSERT_EQ(coef.ncols(), 2);
    for (int i = 0; i < expected; ++i) {
      const double t = std::round(f0(i * c.stride, 0) * sr) / sr;  // snapped to a sample
      EXPECT_DOUBLE_EQ(coef(i, 0), t) << i;
      EXPECT_DOUBLE_EQ(cut(i, 0), t) << i;
    }
  }
}

TEST(Analysevoise, SingleRowOrZeroHopKeepsEveryRow) {
  const double sr = 16000.0;
  const TesselVector<double> x = harmonic_signal(sr, 0.5, 100.0, 3000.0);
  TesselMatrix<double> coef, cut;
  double fcmax = 0.0;
  EXPECT_TRUE(analysevoise(x, sr, track({0.1}, {100}), coef, cut, fcmax).ok());
  EXPECT_EQ(coef.nrows(), 1);
  // Differences 0, 0, 0.1: median 0.
  EXPECT_TRUE(
      analysevoise(x, sr, track({0.1, 0.1, 0.1, 0.2}, {100, 100, 100, 100}), coef, cut, fcmax)
          .ok());
  EXPECT_EQ(coef.nrows(), 4);
}

TEST(Analysevoise, KeepsOnlyFramesWhoseWindowFitsTheSignal) {
  // 16 kHz and f0 100 Hz: 5 periods are 800 samples, made 801, half-length 400. In a signal of
  // 10000 samples a 1-based centre c is kept when c - 400 > 0 and c + 400 < 9999.
  const double sr = 16000.0;
  const TesselVector<double> x = harmonic_signal(sr, 10000 / sr, 100.0, 3000.0);
  // Centres 400, 401, 4801, 8001, 9598, 9599; the median hop 0.1 s keeps every row.
  const std::vector<double> t = {399 / sr, 400 / sr, 4800 / sr, 8000 / sr, 9597 / sr, 9598 / sr};
  TesselMatrix<double> coef, cut;
  double fcmax = 0.0;
  EXPECT_TRUE(
      analysevoise(x, sr, track(t, std::vector<double>(t.size(), 100.0)), coef, cut, fcmax).ok());
  ASSERT_EQ(coef.nrows(), 4);
  EXPECT_DOUBLE_EQ(coef(0, 0), 0.025);  // centre 401: the window starts at sample 0
  EXPECT_DOUBLE_EQ(coef(3, 0), 9597 / sr);
}

TEST(Analysevoise, OutOfRangeF0IsReplacedByTheMedian) {
  // At t = 0.02 s (centre 321) a window of 3000 Hz (25 samples) or 10 Hz would fit or not;
  // with the median of 100 Hz (801 samples) it does not, so that frame must be dropped.
  const double sr = 16000.0;
  const TesselVector<double> x = harmonic_signal(sr, 1.0, 100.0, 3000.0);
  const std::vector<double> t = {0.02, 0.2, 0.4, 0.6, 0.8};
  for (const double odd : {3000.0, 10.0}) {
    SCOPED_TRACE(odd);
    TesselMatrix<double> coef, cut;
    double fcmax = 0.0;
    EXPECT_TRUE(analysevoise(x, sr, track(t, {odd, 100, 100, 100, odd}), coef, cut, fcmax).ok());
    ASSERT_EQ(coef.nrows(), 4);
    EXPECT_DOUBLE_EQ(coef(0, 0), 0.2);
  }
}

TEST(Analysevoise, HarmonicSoundIsVoicedAndNoiseIsNot) {
  const double sr = 16000.0;
  const TesselMatrix<double> f0 = regular(0.05, 0.01, 90, 200.0);
  TesselMatrix<double> coef, cut;
  double fcmax = 0.0;

  EXPECT_TRUE(analysevoise(harmonic_signal(sr, 1.0, 200.0, 5900.0), sr, f0, coef, cut, fcmax).ok());
  ASSERT_EQ(coef.nrows(), 90);
  // The median filter pads with zeros: the two frames at each end are left out.
  for (int i = 2; i < 88; ++i) EXPECT_GT(coef(i, 1), 0.9) << i;
  // Every harmonic up to the 6000 Hz cap is harmonic: the split is the last one (30 x 200 Hz
  // would be 6000 Hz, but the sound stops at 5800 Hz).
  EXPECT_NEAR(cut(45, 1), 5800.0, 20.0);

  TesselVector<double> noise(16000, 0.0);
  std::mt19937 gen(3);
  std::normal_distribution<double> g(0.0, 1.0);
  for (int i = 0; i < noise.size(); ++i) noise(i) = g(gen);
  EXPECT_TRUE(analysevoise(noise, sr, f0, coef, cut, fcmax).ok());
  EXPECT_LT(mean_of_column(coef, 1), 0.5);
}

TEST(Analysevoise, CutoffFollowsTheTopOfTheHarmonicBand) {
  // Harmonics of 200 Hz up to 2000 Hz, then noise: the cut-off lands near 2 kHz.
  const double sr = 16000.0;
  const int n = 16000;
  TesselVector<double> x = harmonic_signal(sr, 1.0, 200.0, 2000.0);
  // Noise above 2.4 kHz only: a sum of random-phase sines from 2.4 to 6 kHz.
  std::mt19937 gen(5);
  std::uniform_real_distribution<double> phase(0.0, 2.0 * std::numbers::pi);
  for (double f = 2410.0; f < 6000.0; f += 37.0) {
    const double p = phase(gen);
    for (int i = 0; i < n; ++i) x(i) += 0.5 * std::sin(2.0 * std::numbers::pi * f * i / sr + p);
  }
  TesselMatrix<double> coef, cut;
  double fcmax = 0.0;
  EXPECT_TRUE(analysevoise(x, sr, regular(0.05, 0.01, 90, 200.0), coef, cut, fcmax).ok());
  ASSERT_EQ(cut.nrows(), 90);
  for (const int i : {10, 45, 80}) {
    SCOPED_TRACE(i);
    EXPECT_NEAR(cut(i, 1), 2000.0, 250.0);
  }
}

TEST(Analysevoise, DegenerateFrames) {
  const double sr = 2000.0;
  TesselMatrix<double> coef, cut;
  double fcmax = 0.0;
  // f0 1500 Hz above the 1000 Hz cap: no harmonic, coefficient 0 and cut-off 0 Hz.
  EXPECT_TRUE(analysevoise(harmonic_signal(sr, 1.0, 300.0, 900.0), sr,
                           regular(0.1, 0.01, 50, 1500.0), coef, cut, fcmax)
                  .ok());
  ASSERT_EQ(coef.nrows(), 50);
  for (int i = 0; i < coef.nrows(); ++i) {
    EXPECT_EQ(coef(i, 1), 0.0);
    EXPECT_EQ(cut(i, 1), 0.0);
  }
  // A silent sound has no band energy: every frame gets the coefficient 1.
  EXPECT_TRUE(analysevoise(TesselVector<double>(2000, 0.0), sr, regular(0.3, 0.01, 50, 100.0), coef,
                           cut, fcmax)
                  .ok());
  ASSERT_EQ(coef.nrows(), 50);
  for (int i = 2; i < coef.nrows() - 2; ++i) EXPECT_EQ(coef(i, 1), 1.0) << i;
}

TEST(Analysevoise, TrackThatYieldsNoFrameGivesEmptyTracks) {
  TesselMatrix<double> coef(2, 2, 1.0), cut(2, 2, 1.0);
  double fcmax = 0.0;
  // A 100 Hz window at 16 kHz does not fit in 500 samples; f0 0 or NaN never fits.
  EXPECT_TRUE(analysevoise(TesselVector<double>(500, 0.1), 16000.0, regular(0.01, 0.01, 3, 100.0),
                           coef, cut, fcmax)
                  .ok());
  EXPECT_EQ(coef.nrows(), 0);
  EXPECT_EQ(cut.nrows(), 0);
  EXPECT_TRUE(analysevoise(TesselVector<double>(500, 0.1), 16000.0, regular(0.01, 0.01, 3, 0.0),
                           coef, cut, fcmax)
                  .ok());
  EXPECT_EQ(coef.nrows(), 0);
  EXPECT_TRUE(analysevoise(TesselVector<double>(500, 0.1), 16000.0,
                           regular(0.01, 0.01, 3, std::nan("")), coef, cut, fcmax)
                  .ok());
  EXPECT_EQ(coef.nrows(), 0);
}

// The tracks computed the plain way, frame by frame with whole spectra and fresh buffers:
// f0 within 30 .. 2000 Hz and a 10 ms track, so neither cleaning nor decimation applies.
void reference(const TesselVector<double>& x, double sr, const TesselMatrix<double>& f0,
               double fcmax, std::vector<double>& times, std::vector<double>& coef,
               std::vector<double>& cut) {
  const auto bin = [&](double f, int n) { return std::round(f / sr * n) + 1.0; };
  std::vector<double> c, k;
  for (int r = 0; r < f0.nrows(); ++r) {
    const double f = f0(r, 1);
    const long centre = std::lround(f0(r, 0) * sr) + 1;
    int L = static_cast<int>(std::round(sr / f)) * 5;
    if (L % 2 == 0) ++L;
    const int h = (L - 1) / 2;
    if (!(centre - h > 0 && centre + h < x.size() - 1)) continue;
    int n = 2;
    while (n <= L) n *= 2;
    const TesselVector<double> w = tessel::sig_proc::blackman(L);
    TesselVector<double> frame(L, 0.0);
    double sw = 0.0, sw2 = 0.0;
    for (int j = 0; j < L; ++j) {
      frame(j) = x(centre - 1 - h + j) * w(j);
      sw += w(j);
      sw2 += w(j) * w(j);
    }
    TesselVector<double> mag, phase;
    EXPECT_TRUE(spectre(frame, n, mag, phase).ok());
    const int H = static_cast<int>(std::floor(fcmax / f));
    std::vector<double> peak(H), A(H), B(H, 0.0);
    for (int m = 1; m <= H; ++m) {
      const int lo = static_cast<int>(bin(m * f - 0.15 * f, n));
      const int hi = static_cast<int>(bin(m * f + 0.15 * f, n));
      int p = lo;
      for (int b = lo; b <= hi; ++b) p = mag(b - 1) > mag(p - 1) ? b : p;
      peak[m - 1] = (p - 1.0) / n * sr;
      const double a = 2.0 * mag(p - 1) / sw;
      A[m - 1] = a * a / 2.0 * sw2;
    }
    std::vector<double> edge = {bin(0.0, n)};
    for (int m = 1; m < H; ++m) edge.push_back(bin(0.5 * (peak[m - 1] + peak[m]), n));
    edge.push_back(bin(sr * 0.5, n));
    double sa = 0.0, sb = 0.0;
    TesselVector<double> ratio(H, 0.0);
    for (int m = 0; m < H; ++m) {
      for (int b = int(edge[m]) - 1; b <= int(edge[m + 1]) - 1; ++b) B[m] += mag(b) * mag(b);
      B[m] *= 2.0 / n;
      ratio(m) = B[m] == 0.0 ? 1.0 : A[m] / B[m];
      sa += A[m];
      sb += B[m];
    }
    times.push_back((centre - 1) / sr);
    c.push_back(sb == 0.0 ? 1.0 : sa / sb);
    k.push_back(peak[fc(ratio, 0.6)(0)]);
  }
  TesselVector<double> cv(int(c.size()), 0.0), kv(int(k.size()), 0.0);
  for (size_t i = 0; i < c.size(); ++i) {
    cv(int(i)) = c[i];
    kv(int(i)) = k[i];
  }
  const TesselVector<double> cs = medfilt1(cv, 5).value(), ks = medfilt1(kv, 10).value();
  coef.assign(cs.data(), cs.data() + cs.size());
  cut.assign(ks.data(), ks.data() + ks.size());
}

TEST(Analysevoise, AgreesWithThePlainFrameByFrameComputation) {
  // f0 jumps between frames so that window lengths and FFT sizes change from frame to frame,
  // and the caps include half the sampling rate, where the last search band passes it.
  const double sr = 16000.0;
  TesselVector<double> x = harmonic_signal(sr, 0.6, 150.0, 7900.0, 0.3);
  std::vector<double> t, f;
  const double f0s[] = {150, 95, 400, 1200, 60, 150, 233};
  for (int i = 0; i < 50; ++i) {
    t.push_back(0.05 + 0.01 * i);
    f.push_back(f0s[i % 7]);
  }
  const TesselMatrix<double> f0 = track(t, f);
  for (const double cap : {6000.0, 8000.0}) {
    SCOPED_TRACE(cap);
    TesselMatrix<double> coef, cut;
    double fcmax = cap;
    EXPECT_TRUE(analysevoise(x, sr, f0, coef, cut, fcmax).ok());
    std::vector<double> times, want_coef, want_cut;
    reference(x, sr, f0, cap, times, want_coef, want_cut);
    ASSERT_GT(times.size(), 30u);
    ASSERT_EQ(coef.nrows(), static_cast<int>(times.size()));
    for (int i = 0; i < coef.nrows(); ++i) {
      EXPECT_EQ(coef(i, 0), times[i]) << i;
      EXPECT_NEAR(coef(i, 1), want_coef[i], 1e-12 * std::max(1.0, want_coef[i])) << i;
      EXPECT_EQ(cut(i, 0), times[i]) << i;
      EXPECT_EQ(cut(i, 1), want_cut[i]) << i;
    }
  }
}

}  // namespace
