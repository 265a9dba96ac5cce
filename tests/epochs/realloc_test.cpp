// Reallocation analysis: frame measures, vote density, break-point evaluation and the whole
// curve, against literal computations.
#include <gtest/gtest.h>

#include <glotsynth.h>

#include <algorithm>
#include <cmath>
#include <limits>
#include <vector>

#include "epochs/analyserealloc.h"
#include "epochs/evalbp_v.h"
#include "epochs/fir1.h"
#include "epochs/gaussian.h"
#include "epochs/marktemporel.h"
#include "epochs/postmarktemporel.h"

using tessel::cplx;
using tessel::TesselMatrix;
using tessel::TesselVector;
using tessel::tessel_indices::Range;

namespace {

constexpr double kSqrtTwoPi = 2.5066282746310002;
constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();

// The vote density and concentration as first described: a histogram on a grid of ten points
// per sample over the whole covered span, convolved with the full kernel at every grid point,
// then sampled every ten points.
void literal_post(const TesselVector<cplx<double>>& z, double sr, long len, long hop,
                  TesselVector<int>& samples, TesselVector<double>& density,
                  TesselVector<double>& conc) {
  const int m = z.size();
  TesselVector<double> pos(m, 0.0), con(m, 0.0), sorted, con_sorted(m, 0.0);
  for (int i = 0; i < m; ++i) {
    pos[i] = z[i].re;
    con[i] = z[i].im;
  }
  TesselVector<int> perm;
  tessel::base_algo::sort(pos, sorted, perm);
  for (int i = 0; i < m; ++i) con_sorted[i] = con[perm[i]];

  const long r0 = static_cast<long>(std::floor(tessel::basic_ops::min(pos))) - 1;
  const long r1 = static_cast<long>(std::ceil(tessel::basic_ops::max(pos))) - 1;
  samples.resize(r1 - r0 + 1);
  for (long i = 0; i <= r1 - r0; ++i) samples[i] = static_cast<int>(r0 + i);

  const double F = 10.0 * sr;
  const long bins = static_cast<long>(std::ceil((r1 / sr) * F + 1));
  TesselVector<double> hist(bins, 0.0);
  for (int i = 0; i < m; ++i) {
    hist[static_cast<long>(std::round(((pos[i] - 1) / sr) * F + 1)) - 1] += 1.0;
  }
  const long a = static_cast<long>(std::floor((r0 / sr) * F + 1)) - 1;
  const long G = static_cast<long>(std::round(((hop - 1) / sr) * F + 1));
  TesselVector<double> axis(6 * G + 1, 0.0);
  for (long i = 0; i <= 6 * G; ++i) axis[i] = static_cast<double>(i - 3 * G);
  double gsum = 0.0;
  const TesselVector<double> g = gaussian(axis, static_cast<double>(G), gsum);

  const long n_fine = bins - a;
  TesselVector<double> v(n_fine + 6 * G, 0.0);
  for (long i = 0; i < n_fine; ++i) v[i] = hist[a + i];
  const TesselVector<double> y = tessel::sig_proc::filter(g, TesselVector<double>{1.0}, v);
  const TesselVector<double> smooth(y(Range(3 * G, y.size() - 1 - 3 * G)));

  const long nd = static_cast<long>(std::round(n_fine / 10.0)) + 1;
  density.resize(0);
  density.resize(nd);
  for (long i = 0; 10 * i < smooth.size() && i < nd; ++i) density[i] = smooth[10 * i];
  for (long i = 0; i < nd; ++i) {
    density[i] = density[i] * kSqrtTwoPi * G / std::ceil(static_cast<double>(len) / hop);
  }
  TesselVector<double> at(r1 - r0 + 1, 0.0);
  for (long i = 0; i < at.size(); ++i) at[i] = samples[i] + 1.0;
  // Interpolated inside the positions, clamped to the end values outside.
  conc = tessel::base_algo::interp1q(sorted, con_sorted, at);
  for (long i = 0; i < at.size(); ++i) {
    if (at[i] < sorted[0]) conc[i] = con_sorted[0];
    if (at[i] > sorted[m - 1]) conc[i] = con_sorted[m - 1];
  }
}

// The whole analysis as first described: filter the zero-extended signal, frame, reassign,
// literal post-processing.
TesselVector<double> literal_realloc(const TesselVector<double>& signal, double sr, long mode) {
  const double k = mode == 0 ? 1.25 : 5.0;
  long N = static_cast<long>(std::round(k * sr / 100.0));
  if (0.5 * N == std::round(0.5 * N)) ++N;
  const long h = (N - 1) / 2, H = static_cast<long>(std::round(N * 0.03125));
  const long n = signal.size();
  const TesselVector<double> b = fir1(100, TesselVector<double>{600.0 / (0.5 * sr)}, 0);
  TesselVector<double> ext(n + 100, 0.0);
  for (long i = 0; i < n; ++i) ext[i] = signal[i];
  const TesselVector<double> y = tessel::sig_proc::filter(b, TesselVector<double>{1.0}, ext);
  const TesselVector<double> x(y(Range(50, y.size() - 51)));
  const TesselVector<double> w = tessel::sig_proc::hanning(N, true);
  std::vector<cplx<double>> rec;
  for (long c = 2 * h + 101; c <= n - (2 * h + 100); c += H) {
    TesselVector<double> frame(N, 0.0);
    for (long i = 0; i < N; ++i) frame[i] = x[c - h - 1 + i] * w[i];
    double tc = 0.0, q = 0.0;
    marktemporel(frame, tc, q);
    rec.emplace_back(c + tc, q);
  }
  TesselVector<cplx<double>> z(static_cast<long>(rec.size()), cplx<double>(0.0, 0.0));
  for (std::size_t i = 0; i < rec.size(); ++i) z[static_cast<long>(i)] = rec[i];
  TesselVector<int> s;
  TesselVector<double> d, e;
  literal_post(z, sr, N, H, s, d, e);
  TesselVector<double> curve(s[0] + s.size(), 0.0);
  for (int i = 0; i < s.size(); ++i) curve[s[i]] = d[i];
  return curve;
}

void expect_relative(const TesselVector<double>& got, const TesselVector<double>& want,
                     double rel) {
  ASSERT_EQ(got.size(), want.size());
  for (int i = 0; i < want.size(); ++i) {
    ASSERT_LE(std::abs(got[i] - want[i]), rel * std::abs(want[i])) << i << ": " << want[i];
  }
}

TesselVector<double> voice(double sr, double seconds, std::uint64_t seed) {
  glotsynth::Options o;
  o.sr = sr;
  o.seed = seed;
  o.segments = {{glotsynth::Segment::Kind::voiced, seconds, 110.0, 160.0, 'a', 'i'}};
  const glotsynth::Result r = glotsynth::synthesize(o);
  TesselVector<double> x(static_cast<long>(r.signal.size()), 0.0);
  for (std::size_t i = 0; i < r.signal.size(); ++i) x[static_cast<long>(i)] = r.signal[i];
  return x;
}

// Frame records as the analysis makes them: centres every hop samples, reassigned within
// half a frame, concentrations in (0, 1).
TesselVector<cplx<double>> records(long count, long first_centre, long len, long hop,
                                   unsigned seed) {
  TesselVector<cplx<double>> z(count, cplx<double>(0.0, 0.0));
  for (long i = 0; i < count; ++i) {
    seed = seed * 1664525u + 1013904223u;
    const double u = (seed >> 8) / 16777216.0 - 0.5;
    z[i] = cplx<double>(first_centre + i * hop + u * (len - 1), 0.5 + 0.4 * u);
  }
  return z;
}

}  // namespace

TEST(Marktemporel, CentreAndConcentration) {
  struct Case {
    std::vector<double> frame;
    double offset, concentration;
    const char* why;
  };
  const double c3 = 1.0 - 2.0 * std::sqrt(2.0 / 3.0) / 3.0;
  const Case cases[] = {
      {{3.0}, 0.0, 1.0, "one-sample frame"},
      {{0.0}, 0.0, 1.0, "one-sample silent frame: sigma = 1 / 2 = 0"},
      {{0, 0, 0, 0, -2}, 2.0, 1.0, "single sample at the end"},
      {{5, 0, 0, 0}, -1.5, 1.0, "even length: half-integer axis"},
      {{0, 0, 0, 0}, 0.0, 0.0, "silent even frame: sigma = L / 2"},
      {{0, 0, 0, 0, 0}, 0.0, 0.2, "silent odd frame: 1 / L"},
      {{1, 1, 1}, 0.0, c3, "constant frame"},
      {{1, 0, 0, 0, 1}, 0.0, 0.2, "two equal spikes at the ends"},
      {{0, 0, 1, 0, 2}, 2.0 * 4.0 / 5.0 + 0.0, 1.0 - 2.0 * 0.8 / 5.0, "two spikes, weights 1, 4"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.why);
    TesselVector<double> x(static_cast<long>(c.frame.size()), 0.0);
    for (std::size_t i = 0; i < c.frame.size(); ++i) x[static_cast<long>(i)] = c.frame[i];
    double offset = kNaN, conc = kNaN;
    marktemporel(x, offset, conc);
    EXPECT_NEAR(offset, c.offset, 1e-15);
    EXPECT_NEAR(conc, c.concentration, 1e-15);
  }
}

TEST(Gaussian, AxisAndPointCountForms) {
  double sum = 0.0;
  const TesselVector<double> five = gaussian(TesselVector<double>{5.0}, 1.0, sum);
  ASSERT_EQ(five.size(), 5);
  EXPECT_DOUBLE_EQ(five[2], 1.0 / kSqrtTwoPi);
  EXPECT_DOUBLE_EQ(five[0], std::exp(-2.0) / kSqrtTwoPi);
  EXPECT_EQ(five[1], five[3]);
  EXPECT_DOUBLE_EQ(sum, five[0] + five[1] + five[2] + five[3] + five[4]);

  const TesselVector<double> four = gaussian(TesselVector<double>{4.9}, 2.0, sum);
  ASSERT_EQ(four.size(), 4);                                              // truncated count
  EXPECT_DOUBLE_EQ(four[1], std::exp(-0.25 / 8.0) / (kSqrtTwoPi * 2.0));  // u = -0.5

  const TesselVector<double> axis = gaussian(TesselVector<double>{-3.0, 0.0, 1.5}, 1.5, sum);
  ASSERT_EQ(axis.size(), 3);
  EXPECT_DOUBLE_EQ(axis[0], std::exp(-2.0) / (kSqrtTwoPi * 1.5));
  EXPECT_DOUBLE_EQ(axis[2], std::exp(-0.5) / (kSqrtTwoPi * 1.5));
}

TEST(EvalbpV, ClampInterpolationAndSingleInstantRule) {
  const TesselMatrix<double> two{{0.0, 0.0}, {1.0, 10.0}};
  const TesselMatrix<double> three{{0.0, 0.0}, {1.0, 10.0}, {2.0, 0.0}};
  struct Case {
    const TesselMatrix<double>* bp;
    std::vector<double> at, want;
    const char* why;
  };
  const Case cases[] = {
      {&two, {0.3, 0.5}, {3.0, 5.0}, "two inside instants are interpolated"},
      {&two, {0.5, 0.3}, {5.0, 3.0}, "in any order"},
      {&two, {0.3}, {0.0}, "a lone inside instant takes the nearest value with two points"},
      {&two, {-1.0, 0.3, 2.0}, {0.0, 0.0, 10.0}, "outside instants do not count as inside"},
      {&two, {-1.0, 2.0}, {0.0, 10.0}, "clamped at both ends"},
      {&two, {kNaN, 0.3, 0.5}, {0.0, 3.0, 5.0}, "NaN instant keeps 0"},
      {&three, {1.5}, {5.0}, "tie between points 1 and 2: the lower, then interpolation"},
      {&three, {0.4}, {4.0}, "nearest is the first point, t above it"},
      {&three, {0.6}, {6.0}, "nearest is point 1, t below it"},
      {&three, {2.0}, {0.0}, "on the last point"},
      {&three, {0.5, 1.5, 1.0}, {5.0, 5.0, 10.0}, "several instants"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.why);
    TesselVector<double> at(static_cast<long>(c.at.size()), 0.0);
    for (std::size_t i = 0; i < c.at.size(); ++i) at[static_cast<long>(i)] = c.at[i];
    const TesselVector<double> got = evalbp_v(*c.bp, at);
    ASSERT_EQ(got.size(), at.size());
    for (std::size_t i = 0; i < c.want.size(); ++i) {
      EXPECT_NEAR(got[static_cast<long>(i)], c.want[i], 1e-12) << i;
    }
  }
}

// Many inside instants: the same values as the library's interpolation, with repeated
// abscissae (votes of several frames on one instant) and instants in any order.
TEST(EvalbpV, AgreesWithLibraryInterpolation) {
  const long n = 300;
  TesselMatrix<double> bp(n, 2, 0.0);
  unsigned seed = 3u;
  double x = 10.0;
  for (long i = 0; i < n; ++i) {
    seed = seed * 1664525u + 1013904223u;
    if (seed % 4 != 0) x += (seed >> 8) % 7;  // every fourth abscissa repeats
    bp(i, 0) = x;
    bp(i, 1) = (seed >> 12) % 1000 / 1000.0;
  }
  TesselVector<double> ascending(2000, 0.0), shuffled(2000, 0.0);
  for (long i = 0; i < 2000; ++i) ascending[i] = 5.0 + i * (x + 10.0) / 2000.0;
  for (long i = 0; i < 2000; ++i) shuffled[i] = ascending[(i * 769) % 2000];
  for (const TesselVector<double>* at : {&ascending, &shuffled}) {
    const TesselVector<double> got = evalbp_v(bp, *at);
    const TesselVector<double> lib = tessel::base_algo::interp1q(bp(0), bp(1), *at);
    for (long i = 0; i < at->size(); ++i) {
      const double t = (*at)[i];
      const double want = t < bp(0, 0) ? bp(0, 1) : t > bp(n - 1, 0) ? bp(n - 1, 1) : lib[i];
      ASSERT_EQ(got[i], want) << i << " at " << t;
    }
  }
}

TEST(Postmarktemporel, DensityEqualsLiteralComputation) {
  struct Case {
    double sr;
    long len, hop, count, first_centre;
    const char* why;
  };
  const Case cases[] = {
      {44100.0, 551, 17, 400, 651, "epochs at 44.1 kHz: kernel of 967 points"},
      {44100.0, 2205, 69, 150, 2305, "transients at 44.1 kHz: kernel of 4087 points"},
      {16000.0, 201, 6, 500, 302, "epochs at 16 kHz"},
      {22050.0, 277, 9, 1, 400, "a single frame"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.why);
    const TesselVector<cplx<double>> z = records(c.count, c.first_centre, c.len, c.hop, 11u);
    TesselVector<int> s, s_lit;
    TesselVector<double> d, e, d_lit, e_lit;
    double scale = 0.0, ref = 0.0;
    postmarktemporel(z, c.sr, c.len, c.hop, s, d, e, scale, ref);
    literal_post(z, c.sr, c.len, c.hop, s_lit, d_lit, e_lit);
    ASSERT_EQ(s.size(), s_lit.size());
    for (int i = 0; i < s.size(); ++i) ASSERT_EQ(s[i], s_lit[i]);
    expect_relative(d, d_lit, 1e-9);
    expect_relative(e, e_lit, 1e-12);
    EXPECT_DOUBLE_EQ(scale, c.hop * kSqrtTwoPi / c.len);
  }
}

// The curve form places the same density and concentration on the sample grid, bit for bit,
// including a single frame (concentration by the one-instant rule) and unanimous votes.
TEST(Postmarkcurve, EqualsTheDensityPlacedAtItsSamples) {
  struct Case {
    TesselVector<cplx<double>> z;
    double sr;
    long len, hop;
    const char* why;
  };
  const Case cases[] = {
      {records(400, 651, 551, 17, 11u), 44100.0, 551, 17, "epochs at 44.1 kHz"},
      {records(150, 2305, 2205, 69, 3u), 44100.0, 2205, 69, "transients at 44.1 kHz"},
      {records(1, 400, 277, 9, 7u), 22050.0, 277, 9, "a single frame"},
      {TesselVector<cplx<double>>(33, cplx<double>(2000.5, 0.3)), 44100.0, 551, 17,
       "every vote on one instant"},
      {TesselVector<cplx<double>>(3, cplx<double>(kNaN, 0.5)), 16000.0, 201, 6, "no vote"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.why);
    TesselVector<int> s;
    TesselVector<double> d, e, curve, conc, curve_only, unused;
    double scale = 0.0, ref = 0.0, scale2 = 0.0, ref2 = 0.0;
    postmarktemporel(c.z, c.sr, c.len, c.hop, s, d, e, scale, ref);
    postmarkcurve(c.z, c.sr, c.len, c.hop, curve, &conc, scale2, ref2);
    postmarkcurve(c.z, c.sr, c.len, c.hop, curve_only, nullptr, scale2, ref2);
    EXPECT_EQ(scale2, scale);
    EXPECT_EQ(ref2, ref);
    const long total = s.size() > 0 ? s[0] + s.size() : 0;
    ASSERT_EQ(curve.size(), total);
    ASSERT_EQ(conc.size(), total);
    ASSERT_EQ(curve_only.size(), total);
    const long filled = std::min(s.size(), d.size());
    for (long i = 0; i < total; ++i) {
      const long k = s.size() > 0 ? i - s[0] : -1;  // index into the density, if covered
      const bool covered = k >= 0 && k < filled;
      ASSERT_EQ(curve[i], covered ? d[k] : 0.0) << "sample " << i;
      ASSERT_EQ(curve_only[i], curve[i]) << "sample " << i;
      ASSERT_EQ(conc[i], covered ? e[k] : 0.0) << "sample " << i;
    }
  }
}

// Every overlapping frame voting on one instant gives a peak of about 1, at that sample.
TEST(Postmarktemporel, UnanimousVotesPeakNearOneAtTheirSample) {
  const long len = 551, hop = 17;
  TesselVector<cplx<double>> z(33, cplx<double>(2000.0, 1.0));  // 1-based 2000: sample 1999
  TesselVector<int> s;
  TesselVector<double> d, e;
  double scale = 0.0, ref = 0.0;
  postmarktemporel(z, 44100.0, len, hop, s, d, e, scale, ref);
  ASSERT_EQ(s.size(), 1);
  EXPECT_EQ(s[0], 1999);
  EXPECT_NEAR(d[0], 1.0, 1e-12);
  // Reference concentration: a constant frame under the trimmed Hann window.
  TesselVector<double> flat(len, 1.0);
  const TesselVector<double> w = tessel::sig_proc::hanning(len, true);
  for (long i = 0; i < len; ++i) flat[i] *= w[i];
  double offset = 0.0, conc = 0.0;
  marktemporel(flat, offset, conc);
  EXPECT_NEAR(ref, conc, 1e-12);
}

TEST(Postmarktemporel, FarFromSortedAndNonFiniteRecords) {
  // Positions in reverse order (beyond what insertion sort is given), with a NaN frame that
  // must be left out rather than break the bounds.
  TesselVector<cplx<double>> z = records(3000, 500, 201, 6, 5u);
  std::reverse(z.begin(), z.end());
  TesselVector<cplx<double>> with_nan(z.size() + 1, cplx<double>(kNaN, kNaN));
  for (int i = 0; i < z.size(); ++i) with_nan[i + 1] = z[i];
  TesselVector<int> s, s_lit;
  TesselVector<double> d, e, d_lit, e_lit;
  double scale = 0.0, ref = 0.0;
  postmarktemporel(with_nan, 16000.0, 201, 6, s, d, e, scale, ref);
  literal_post(z, 16000.0, 201, 6, s_lit, d_lit, e_lit);
  ASSERT_EQ(s.size(), s_lit.size());
  EXPECT_EQ(s[0], s_lit[0]);
  expect_relative(d, d_lit, 1e-9);

  TesselVector<cplx<double>> none(2, cplx<double>(kNaN, 0.5));
  postmarktemporel(none, 16000.0, 201, 6, s, d, e, scale, ref);
  EXPECT_EQ(s.size(), 0);
  EXPECT_EQ(d.size(), 0);
  EXPECT_EQ(e.size(), 0);
}

TEST(Analyserealloc, FrameAndHopSizes) {
  struct Case {
    double sr;
    long mode, frame_len, hop;
    const char* why;
  };
  const Case cases[] = {
      {44100.0, 0, 551, 17, "epochs at 44.1 kHz: round(551.25), odd"},
      {44100.0, 1, 2205, 69, "transients at 44.1 kHz"},
      {16000.0, 0, 201, 6, "epochs at 16 kHz: 200 made odd"},
      {16000.0, 7, 801, 25, "any non-zero mode is the transient mode"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.why);
    const long h = (c.frame_len - 1) / 2;
    const TesselVector<double> x(4 * h + 201, 0.1);  // room for exactly one frame
    TesselVector<double> curve, conc;
    double scale = 0.0, ref = 0.0;
    analyserealloc(x, c.sr, TesselMatrix<double>(), c.mode, curve, conc, scale, ref);
    EXPECT_DOUBLE_EQ(scale, c.hop * kSqrtTwoPi / c.frame_len);
    // One frame, centred on 1-based sample 2h + 101 of a constant signal whose high-passed
    // form is symmetric about the middle: it votes for its own centre.
    ASSERT_GT(curve.size(), 0);
    EXPECT_EQ(curve.size(), conc.size());
    EXPECT_EQ(tessel::basic_ops::imax_elem(curve), 2 * h + 100);

    const TesselVector<double> shorter(4 * h + 200, 0.1);
    analyserealloc(shorter, c.sr, TesselMatrix<double>(), c.mode, curve, conc, scale, ref);
    EXPECT_EQ(curve.size(), 0);
    EXPECT_EQ(conc.size(), 0);
  }
}

TEST(Analyserealloc, ClickInSilenceGivesOnePeakAtItsSample) {
  for (const double sr : {44100.0, 16000.0}) {
    SCOPED_TRACE(sr);
    const long n = static_cast<long>(sr * 0.25), click = n / 2 + 3;
    TesselVector<double> x(n, 0.0);
    x[click] = 1.0;
    TesselVector<double> curve, conc;
    double scale = 0.0, ref = 0.0;
    analyserealloc(x, sr, TesselMatrix<double>(), 0, curve, conc, scale, ref);
    ASSERT_GT(curve.size(), click);
    EXPECT_EQ(tessel::basic_ops::imax_elem(curve), click);
    EXPECT_GT(curve[click], 0.5);
    // Silent frames reassign to their own centres with concentration 1 / L.
    const long len = sr == 44100.0 ? 551 : 201;
    EXPECT_NEAR(conc[click - len - 10], 1.0 / len, 1e-12);
    EXPECT_LT(curve[click - len - 10], 0.5 * curve[click]);
    // Nothing before the first frame position, and the curve ends at the last one.
    const long h = (len - 1) / 2;
    EXPECT_EQ(curve[h + 99], 0.0);
    EXPECT_LE(curve.size(), n - (2 * h + 100) + h);
  }
}

TEST(Analyserealloc, CurveEqualsLiteralComputation) {
  struct Case {
    double sr, seconds;
    long mode;
  };
  const Case cases[] = {{44100.0, 0.25, 0}, {44100.0, 0.2, 1}, {16000.0, 0.4, 0}};
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::Message() << c.sr << " Hz, mode " << c.mode);
    const TesselVector<double> x = voice(c.sr, c.seconds, 4);
    TesselVector<double> curve, conc;
    double scale = 0.0, ref = 0.0;
    analyserealloc(x, c.sr, TesselMatrix<double>(), c.mode, curve, conc, scale, ref);
    expect_relative(curve, literal_realloc(x, c.sr, c.mode), 1e-9);
  }
}
