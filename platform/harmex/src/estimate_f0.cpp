// f0 estimation: normalised difference function, candidate dips weighed by the contrast of
// their harmonics in the spectrum, dynamic programming over frames, band-limited refinement of
// the chosen periods.
#include <algorithm>
#include <cmath>
#include <cstdint>
#include <limits>
#include <memory>
#include <numbers>
#include <stdexcept>
#include <string>
#include <vector>

#include "decimate.h"
#include "harmex/harmex.h"
#include "harmonic_contrast.h"
#include "tessel/tessel_parallel.h"

namespace harmex {
namespace {

constexpr int kMaxCandidates = 16;          // period candidates kept per frame
constexpr double kMaxCandidateD = 0.9;      // dips above this difference are not candidates
constexpr int kSincHalf = 8;                // half-width of the lag interpolation kernel, lags
constexpr double kMinLevelDb = -200.0;      // level of a frame of digital silence, dB
constexpr double kRunningSumNoise = 1e-10;  // relative error allowed to the running sums
// Short periods are looked at again on a short window centred on the frame, of this length
// (seconds) when it holds at least kShortPeriods of them: a high voice gliding or with vibrato
// stays periodic over a few of its periods while the long window smears its harmonics. The
// short window is high-passed just below the period's f0: a voice has no energy under its
// fundamental, lower talkers have most of theirs there, and a slow decay (the end of a burst)
// would look periodic at every short lag. The cut-offs lie on a half-octave grid, the highest
// at most kHighPassRatio f0.
constexpr double kShortWindowS = 0.025;
constexpr double kShortPeriods = 8.0;
constexpr double kHighPassRatio = 0.9;
constexpr double kHighPassSettleS = 0.008;  // filter run-in before the window, seconds
// Long periods, kLookPeriods of which span more than kLongPeriodRatio short windows (f0 below
// 80 Hz), are measured again on a window of kLookPeriods periods: a low voice gliding or with
// jitter drifts out of step over the long window.
constexpr double kLookPeriods = 3.0;
constexpr double kLongPeriodRatio = 1.5;
// A short period whose difference at kRingPeriods times its lag (on the short window) is much
// higher than its own there is the ringing of a formant, which dies out between glottal pulses.
// The far lag is searched within kRingSpread of kRingPeriods times the period: a real high voice
// (jitter, vibrato) drifts a little out of step over three of its periods, and stays periodic at
// a lag near three of them.
constexpr double kRingPeriods = 3.0;
constexpr double kRingSpread = 0.04;
// The short window centred on a frame also measures the periods of which two fit in it, when
// it is at least this much shorter than the analysis window (samples).
constexpr long kMidMargin = 4;
// Frames analysed together on one thread (5 ms each).
constexpr long kFramesPerBlock = 512;

// Single precision keeps the candidates of an hour of sound small; it is ample for their use.
struct Candidate {
  float lag = 0.0f;  // period, samples of the decimated signal (fractional)
  float d = 1.0f;    // normalised difference at that lag (0 periodic .. about 1 noise)
  float sub = 1.0f;  // lowest difference at a half or a third of the lag (multiple-period test)
  float harmonic = 0.0f;     // harmonic contrast of the lag in the frame's spectrum, nepers
  float octave = 0.0f;       // 0 .. 1: how much better the spectrum fits an octave above or below
  float interleaved = 0.0f;  // 0 .. 1: how weak its harmonics between every 2nd or 3rd are
  // Short periods: the lowest difference near kRingPeriods times the lag less that at the lag,
  // on the short window (NaN: not measured).
  float ring = std::numeric_limits<float>::quiet_NaN();
};

// Second-order Butterworth high-pass (bilinear transform) at cut Hz for rate fs.
struct HighPass {
  double b0 = 1.0, b1 = 0.0, b2 = 0.0, a1 = 0.0, a2 = 0.0;
  HighPass(double cut, double fs) {
    const double w0 = 2.0 * std::numbers::pi * cut / fs;
    const double alpha = std::sin(w0) / std::numbers::sqrt2;  // Q = 1 / sqrt(2)
    const double a0 = 1.0 + alpha;
    b0 = 0.5 * (1.0 + std::cos(w0)) / a0;
    b1 = -2.0 * b0;
    b2 = b0;
    a1 = -2.0 * std::cos(w0) / a0;
    a2 = (1.0 - alpha) / a0;
  }
  // Filters x[-settle .. n-1] from rest and stores out[0 .. n-1].
  void run(const float* x, long settle, long n, float* out) const {
    double x1 = 0.0, x2 = 0.0, y1 = 0.0, y2 = 0.0;
    for (long i = -settle; i < n; ++i) {
      const double x0 = x[i];
      const double y0 = b0 * x0 + b1 * x1 + b2 * x2 - a1 * y1 - a2 * y2;
      x2 = x1, x1 = x0, y2 = y1, y1 = y0;
      if (i >= 0) out[i] = static_cast<float>(y0);
    }
  }
};

// Normalised difference at the fractional lag l0 + f (0 <= f < 1) over the ws pair starts of
// x[0 ..] (reads x[0 .. ws + l0]), interpolated linearly between the two integer lags; 2 when
// the window holds less energy than floor.
double window_difference(const float* x, long ws, long l0, double f, double floor) {
  double r0 = 0.0, r1 = 0.0, e_head = 0.0, e0 = 0.0, e1 = 0.0;
  for (long t = 0; t < ws; ++t) {
    const double head = x[t], at0 = x[t + l0], at1 = x[t + l0 + 1];
    r0 += head * at0;
    r1 += head * at1;
    e_head += head * head;
    e0 += at0 * at0;
    e1 += at1 * at1;
  }
  e0 += e_head;
  e1 += e_head;
  if (!(e0 > floor && e1 > floor)) return 2.0;
  return (1.0 - f) * (1.0 - 2.0 * r0 / e0) + f * (1.0 - 2.0 * r1 / e1);
}

void check(double sr, const Options& o) {
  auto bad = [](const std::string& what) { throw std::invalid_argument(what); };
  if (!(std::isfinite(sr) && sr > 0.0)) bad("the sampling rate must be a positive number");
  if (!(std::isfinite(o.f0min_hz) && o.f0min_hz >= 10.0)) bad("f0min must be at least 10 Hz");
  if (!(std::isfinite(o.f0max_hz) && o.f0max_hz > o.f0min_hz)) {
    bad("f0max must be a number above f0min");
  }
  if (!(o.f0min_hz < sr / 4.0)) bad("f0min must be below a quarter of the sampling rate");
  if (!(std::isfinite(o.window_samples) && o.window_samples >= 0.0)) {
    bad("the window length must be a non-negative number of samples");
  }
  if (!(std::isfinite(o.f0ana_hz) && o.f0ana_hz >= 0.0)) {
    bad("the analysis band must be a non-negative frequency");
  }
  if (!(std::isfinite(o.hop_s) && o.hop_s >= 1e-4)) bad("the frame step must be at least 0.1 ms");
  if (!(o.refine_periods >= 1.0)) bad("the refinement window must hold at least one period");
}

// Interpolation of a function known at integer lags -kSpan .. kSpan around a point, with a sinc
// windowed by a Hann of half-width kSpan: the weights for a fractional offset delta in [-1, 1]
// take three sines and cosines, the rest comes from angle sums.
constexpr int kSpan = kSincHalf + 1;
constexpr int kMaxRefineReach = 16;  // lags the refinement may move a period, at most
class LagInterpolator {
 public:
  LagInterpolator() {
    for (int i = -kSpan; i <= kSpan; ++i) {
      cos_step_[i + kSpan] = std::cos(std::numbers::pi * i / kSpan);
      sin_step_[i + kSpan] = std::sin(std::numbers::pi * i / kSpan);
    }
  }
  // Value at offset delta of the samples v[0 .. 2 kSpan] (v[kSpan] at offset 0).
  double operator()(const double* v, double delta) const {
    const double s = std::sin(std::numbers::pi * delta);
    const double a = std::numbers::pi * delta / kSpan;
    const double ca = std::cos(a), sa = std::sin(a);
    double sum = 0.0;
    for (int i = -kSpan; i <= kSpan; ++i) {
      const double u = delta - i;
      if (std::abs(u) >= kSpan) continue;
      // sin(pi (delta - i)) = (-1)^i sin(pi delta); cos((a - i step)) by the angle difference.
      const double window = 0.5 * (1.0 + ca * cos_step_[i + kSpan] + sa * sin_step_[i + kSpan]);
      const double sinc = std::abs(u) < 1e-12 ? 1.0 : ((i & 1) ? -s : s) / (std::numbers::pi * u);
      sum += v[i + kSpan] * sinc * window;
    }
    return sum;
  }

 private:
  double cos_step_[2 * kSpan + 1];
  double sin_step_[2 * kSpan + 1];
};

// Dips of d over lags [lo, hi] (d holds lags lo-1 .. hi+1 at d[0 ..]), refined by a parabola;
// the kMaxCandidates lowest are kept in out, in no particular order. Returns their count.
int find_candidates(const double* d, int lo, int hi, Candidate* out) {
  int count = 0;
  for (int lag = lo; lag <= hi; ++lag) {
    const double a = d[lag - lo], b = d[lag - lo + 1], c = d[lag - lo + 2];
    if (!(b < a && b <= c) || b >= kMaxCandidateD) continue;
    const double den = a - 2.0 * b + c;
    const double delta = den > 0.0 ? std::clamp(0.5 * (a - c) / den, -0.5, 0.5) : 0.0;
    Candidate cand{static_cast<float>(lag + delta), static_cast<float>(b - 0.25 * (a - c) * delta),
                   1.0f};
    // A period that is a multiple of a shorter one shows nearly the same dip at the fraction.
    for (int div = 2; div <= 3; ++div) {
      const double f = cand.lag / div;
      if (f < lo) break;
      const int i = static_cast<int>(f);
      // d[lag - lo + 1] holds lag; search the dip near the fraction (+-1 lag).
      double best = 1e9;
      for (int j = std::max(lo - 1, i - 1); j <= std::min(hi + 1, i + 2); ++j) {
        best = std::min(best, d[j - lo + 1]);
      }
      cand.sub = std::min(cand.sub, static_cast<float>(best));
    }
    if (count < kMaxCandidates) {
      out[count++] = cand;
    } else {
      // Replace the worst kept dip when this one is better.
      int worst = 0;
      for (int i = 1; i < count; ++i) {
        if (out[i].d > out[worst].d) worst = i;
      }
      if (cand.d < out[worst].d) out[worst] = cand;
    }
  }
  return count;
}

// Rate, band, lags and windows of an analysis.
struct Plan {
  std::size_t frames = 0;
  double fmax = 0.0;                        // highest f0 searched that the rate allows, Hz
  double pass_hz = 0.0;                     // analysis band, Hz
  int factor = 1;                           // decimation factor
  double fs = 0.0;                          // rate of the analysed signal, Hz
  int lag_lo = 0, lag_hi = 0, lag_top = 0;  // lags searched, and the highest measured
  double window_in = 0.0;                   // analysis window, samples of the sound
  long w = 0;                               // analysis window, samples of the analysed signal
  long w_short = 0;                         // short window, samples
  double short_lag_max = 0.0;               // lags looked at again on the high-passed short window
  double long_lag_min = 0.0;  // lags looked at again on a window of kLookPeriods periods
  long mid_lag_max = 0;       // lags also measured on the short window (0: none)
  long hp_half = 0;           // half-span of the high-passed copies, samples
  long hp_settle = 0;         // filter run-in before them, samples
  double hp_lowest = 0.0;     // lowest high-pass cut-off, Hz
  long pad = 0;               // zeros before and after the signal, samples
};

// The analysed signal: zero-padded (index pad + i holds sample i), its reverse and its energy
// prefix sums.
struct Signal {
  std::vector<float> y, yr;    // yr[np - 1 - i] == y[i]
  std::vector<double> energy;  // energy[i] = sum of y[< i]^2
  long np = 0;
  [[nodiscard]] double range_energy(long a, long b) const { return energy[b] - energy[a]; }
};

// What the first pass finds for every frame.
struct Frames {
  std::vector<double> centre;    // frame time, in samples of y
  std::vector<long> start;       // first pair centre of the frame's window
  std::vector<long> start_mid;   // the same for the short window
  std::vector<Candidate> cands;  // kMaxCandidates per frame
  std::vector<int> n_cands;
  std::vector<double> level_db;
  [[nodiscard]] const Candidate& at(std::size_t k, int i) const {
    return cands[k * kMaxCandidates + static_cast<std::size_t>(i)];
  }
};

// Low-passes and decimates the sound to the analysis band, then high-passes it (one pole at
// f0min / 2: an offset or hum would look periodic at every lag). Fills the rate and band of
// plan; releases owned once decimated.
std::vector<float> analysis_signal(const float* x, std::size_t n, double sr, const Options& o,
                                   std::vector<float>* owned, Plan& plan) {
  plan.fmax = std::min(o.f0max_hz, sr / 4.0);
  double pass_hz = o.f0ana_hz > 0.0 ? o.f0ana_hz : std::min(2.5 * o.f0max_hz, sr);
  plan.pass_hz = std::clamp(pass_hz, 1.2 * plan.fmax, 0.5 * sr);  // never cut the fundamental
  plan.factor = std::max(1, static_cast<int>(std::floor(sr / (2.4 * plan.pass_hz))));
  plan.fs = sr / plan.factor;
  const int threads = o.threads > 0 ? o.threads : tessel::parallel::thread_count();
  std::vector<float> sig = decimate(x, n, plan.factor, sr, plan.pass_hz, threads);
  if (owned != nullptr) std::vector<float>().swap(*owned);
  const double r = std::exp(-2.0 * std::numbers::pi * 0.5 * o.f0min_hz / plan.fs);
  double prev_in = 0.0, prev_out = 0.0;
  for (float& v : sig) {
    const double out = v - prev_in + r * prev_out;
    prev_in = v;
    prev_out = out;
    v = static_cast<float>(out);
  }
  return sig;
}

// Lags and windows for a decimated signal of m samples.
void plan_windows(Plan& p, long m, double sr, const Options& o) {
  const double fs = p.fs;
  p.lag_lo = std::max(2, static_cast<int>(std::floor(fs / p.fmax)));
  p.lag_hi = std::max(p.lag_lo + 2, static_cast<int>(std::ceil(fs / o.f0min_hz)));
  p.lag_top = p.lag_hi + 1;
  p.window_in =
      o.window_samples > 0.0 ? o.window_samples : std::max(0.02 * sr, 4.0 * sr / o.f0min_hz);
  p.w = std::clamp(std::lround(p.window_in / p.factor), 4L, m + p.lag_top);
  p.w_short = std::min(p.w, std::max(4L, std::lround(kShortWindowS * fs)));
  p.short_lag_max = static_cast<double>(p.w_short) / kShortPeriods;
  p.long_lag_min = kLongPeriodRatio * static_cast<double>(p.w_short) / kLookPeriods;
  p.mid_lag_max = p.w_short + kMidMargin <= p.w ? p.w_short / 2 : 0;
  p.hp_half = (p.w_short + static_cast<long>(kRingPeriods * p.short_lag_max)) / 2 + 4;
  p.hp_settle = std::lround(kHighPassSettleS * fs);
  p.hp_lowest = kHighPassRatio * fs / p.short_lag_max;
  p.pad = p.w + p.lag_top + kSincHalf + kMaxRefineReach + 8 + p.hp_half + p.hp_settle;
}

Signal pad_signal(std::vector<float>&& sig, long pad) {
  Signal s;
  const auto m = static_cast<long>(sig.size());
  s.np = m + 2 * pad;
  s.y.assign(static_cast<std::size_t>(s.np), 0.0f);
  std::copy(sig.begin(), sig.end(), s.y.begin() + pad);
  std::vector<float>().swap(sig);
  s.yr.assign(s.y.rbegin(), s.y.rend());
  s.energy.assign(static_cast<std::size_t>(s.np) + 1, 0.0);
  for (long i = 0; i < s.np; ++i) s.energy[i + 1] = s.energy[i] + double{s.y[i]} * s.y[i];
  return s;
}

// Pass 1: running sums over pair centres c of y[c - j] * y[c + j] (even lag 2j) and
// y[c - j] * y[c + j + 1] (odd lag 2j + 1); a frame's correlation at every lag is the
// difference of two snapshots, so the cost per sample does not depend on the window. Each frame
// then gets its candidates, measured again on windows that suit them and weighed by the
// contrast of their harmonics.
class FirstPass {
 public:
  FirstPass(const Plan& p, const Signal& s, const Options& o, Frames& f)
      : p_(p),
        s_(s),
        o_(o),
        f_(f),
        n_even_(p.lag_top / 2 + 1),
        n_odd_((p.lag_top + 1) / 2),
        n_acc_(n_even_ + n_odd_),
        ring_(static_cast<std::size_t>(std::ceil(static_cast<double>(p.w) / (o.hop_s * p.fs))) + 2),
        acc_(static_cast<std::size_t>(n_acc_), 0.0),
        snaps_(ring_ * static_cast<std::size_t>(n_acc_)),
        snaps_mid0_(p.mid_lag_max > 0 ? snaps_.size() : 0),
        snaps_mid1_(snaps_mid0_.size()),
        diff_(static_cast<std::size_t>(p.lag_hi - p.lag_lo + 3)),
        // The spectra look at the harmonics from half of f0min up to the analysis band.
        spectrum_(p.w, p.fs, 0.5 * o.f0min_hz, p.pass_hz),
        short_spectrum_(p.w_short, p.fs, 0.5 * o.f0min_hz, p.pass_hz) {
    for (int b = 0;; ++b) {
      const double cut = p.hp_lowest * std::exp2(0.5 * b);
      if (cut > 0.4 * p.fs) break;
      hp_bands_.push_back({HighPass(cut, p.fs), std::vector<float>(2 * p.hp_half)});
    }
  }

  // Frames [k0, k1): the running sums start afresh at the first one's window, so that blocks of
  // frames are independent (and each gives the same values on whichever thread it runs).
  void run(std::size_t k0, std::size_t k1);

 private:
  struct HighPassBand {
    HighPass filter;
    std::vector<float> span;  // samples centre - hp_half .. centre + hp_half - 1, filtered
    std::size_t frame = static_cast<std::size_t>(-1);  // frame the span was filtered for
  };
  void snapshot(std::vector<double>& to, std::size_t k) {
    std::copy(acc_.begin(), acc_.end(), to.begin() + static_cast<long>((k % ring_) * n_acc_));
  }
  [[nodiscard]] const double* snap(const std::vector<double>& of, std::size_t k) const {
    return of.data() + (k % ring_) * static_cast<std::size_t>(n_acc_);
  }
  void analyse_frame(std::size_t k);
  void difference(std::size_t k, double noise_floor);
  void look_again(std::size_t k, double noise_floor);
  void weigh_harmonics(std::size_t k);

  const Plan& p_;
  const Signal& s_;
  const Options& o_;
  Frames& f_;
  const int n_even_, n_odd_, n_acc_;
  const std::size_t ring_;  // snapshots kept: frames whose windows overlap, and a margin
  std::vector<double> acc_, snaps_, snaps_mid0_, snaps_mid1_, diff_;
  std::vector<HighPassBand> hp_bands_;
  HarmonicContrast spectrum_, short_spectrum_;
};

void FirstPass::run(std::size_t k0, std::size_t k1) {
  const std::size_t frames = k1;
  const long w = p_.w, w_short = p_.w_short;
  const bool mid = p_.mid_lag_max > 0;
  std::size_t next_start = k0, next_end = k0, next_mid0 = k0, next_mid1 = k0;
  std::fill(acc_.begin(), acc_.end(), 0.0);
  double* acc_e = acc_.data();
  double* acc_o = acc_.data() + n_even_;
  for (long c = f_.start[k0]; next_end < frames; ++c) {
    for (; next_start < frames && f_.start[next_start] == c; ++next_start) {
      snapshot(snaps_, next_start);
    }
    for (; mid && next_mid0 < frames && f_.start_mid[next_mid0] == c; ++next_mid0) {
      snapshot(snaps_mid0_, next_mid0);
    }
    for (; mid && next_mid1 < frames && f_.start_mid[next_mid1] + w_short == c; ++next_mid1) {
      snapshot(snaps_mid1_, next_mid1);
    }
    for (; next_end < frames && f_.start[next_end] + w == c; ++next_end) analyse_frame(next_end);
    if (next_end >= frames) break;
    // Products of two floats are exact in double: only the sums round.
    const float* left = s_.yr.data() + (s_.np - 1 - c);  // left[j] == y[c - j]
    const float* right = s_.y.data() + c;                // right[j] == y[c + j]
    for (int j = 0; j < n_even_; ++j) acc_e[j] += double{left[j]} * right[j];
    for (int j = 0; j < n_odd_; ++j) acc_o[j] += double{left[j]} * right[j + 1];
  }
}

void FirstPass::analyse_frame(std::size_t k) {
  const long s = f_.start[k], w = p_.w;
  // Window sums are differences of running sums: below this energy their rounding errors
  // (relative to everything summed so far) could pass for a signal.
  const double noise_floor = std::max(1e-30, kRunningSumNoise * s_.energy[s + w + p_.lag_top + 1]);
  difference(k, noise_floor);
  f_.n_cands[k] =
      find_candidates(diff_.data(), p_.lag_lo, p_.lag_hi, f_.cands.data() + k * kMaxCandidates);
  look_again(k, noise_floor);
  weigh_harmonics(k);
  const double e_frame = s_.range_energy(s, s + w);
  f_.level_db[k] =
      e_frame > noise_floor ? 10.0 * std::log10(e_frame / static_cast<double>(w)) : kMinLevelDb;
}

// Normalised difference of frame k at lags lag_lo - 1 .. lag_hi + 1 into diff_. A real voice
// drifts (jitter, glides, formants moving) out of step over the long window, so the periods of
// which two fit in the short window centred on the frame are also measured there (shorter ones
// have the high-passed look below); that measure counts a little less (mid_penalty), and only
// where the short window holds its share of the energy (not the decay at the end of a voice that
// the long window still holds).
void FirstPass::difference(std::size_t k, double noise_floor) {
  const long s = f_.start[k], w = p_.w, w_short = p_.w_short, sm = f_.start_mid[k];
  const double* snap_long = snap(snaps_, k);
  const double* m0 = p_.mid_lag_max > 0 ? snap(snaps_mid0_, k) : nullptr;
  const double* m1 = p_.mid_lag_max > 0 ? snap(snaps_mid1_, k) : nullptr;
  const double* acc_e = acc_.data();
  const double* acc_o = acc_.data() + n_even_;
  for (int lag = p_.lag_lo - 1; lag <= p_.lag_hi + 1; ++lag) {
    const int j = lag / 2;
    const bool odd = lag % 2 != 0;
    const int slot = odd ? n_even_ + j : j;
    const double r = (odd ? acc_o[j] : acc_e[j]) - snap_long[slot];
    const double e =
        s_.range_energy(s - j, s + w - j) + s_.range_energy(s + j + odd, s + w + j + odd);
    double d = e > noise_floor ? std::clamp(1.0 - 2.0 * r / e, 0.0, 2.0) : 1.0;
    if (lag <= p_.mid_lag_max && lag > p_.short_lag_max) {
      const double rm = m1[slot] - m0[slot];
      const double em = s_.range_energy(sm - j, sm + w_short - j) +
                        s_.range_energy(sm + j + odd, sm + w_short + j + odd);
      if (em > noise_floor &&
          em * static_cast<double>(w) >= o_.mid_min_level * e * static_cast<double>(w_short)) {
        d = std::min(d, o_.mid_penalty + std::clamp(1.0 - 2.0 * rm / em, 0.0, 2.0));
      }
    }
    diff_[static_cast<std::size_t>(lag - p_.lag_lo + 1)] = d;
  }
}

// Short and long periods are measured again on windows that suit them; a candidate keeps the
// lowest of its differences.
void FirstPass::look_again(std::size_t k, double noise_floor) {
  const double centre = f_.centre[k];
  const auto frame_centre = std::lround(centre);
  auto look = [&](const float* x, long x_origin, double lag, long ws) {
    const auto l0 = static_cast<long>(std::floor(lag));
    const long a = std::lround(centre - 0.5 * static_cast<double>(ws + l0));
    return window_difference(x + (a - x_origin), ws, l0, lag - static_cast<double>(l0),
                             noise_floor);
  };
  for (int i = 0; i < f_.n_cands[k]; ++i) {
    Candidate& cand = f_.cands[k * kMaxCandidates + i];
    double d = cand.d;
    if (cand.lag <= p_.short_lag_max) {
      const double far = kRingPeriods * cand.lag;
      double ring = look(s_.y.data(), 0, far, p_.w_short);
      for (auto l = static_cast<long>(std::ceil(far * (1.0 - kRingSpread)));
           l <= static_cast<long>(std::floor(far * (1.0 + kRingSpread))); ++l) {
        ring = std::min(ring, look(s_.y.data(), 0, static_cast<double>(l), p_.w_short));
      }
      cand.ring = static_cast<float>(ring - look(s_.y.data(), 0, cand.lag, p_.w_short));
      if (!hp_bands_.empty()) {
        const double cut = kHighPassRatio * p_.fs / cand.lag;
        const auto b =
            static_cast<std::size_t>(std::clamp(std::floor(2.0 * std::log2(cut / p_.hp_lowest)),
                                                0.0, static_cast<double>(hp_bands_.size() - 1)));
        HighPassBand& band = hp_bands_[b];
        if (band.frame != k) {  // filtered once per frame and band
          band.frame = k;
          band.filter.run(s_.y.data() + frame_centre - p_.hp_half, p_.hp_settle, 2 * p_.hp_half,
                          band.span.data());
        }
        d = std::min(d, look(band.span.data(), frame_centre - p_.hp_half, cand.lag, p_.w_short));
      }
    } else if (cand.lag > p_.long_lag_min) {
      const long ws = std::min(p_.w, std::lround(kLookPeriods * cand.lag));
      d = std::min(d, look(s_.y.data(), 0, cand.lag, ws));
    }
    cand.d = static_cast<float>(d);
  }
}

// Harmonic contrast of each candidate, its octaves' and the weakness of its harmonics in
// between (a multiple of the true period).
void FirstPass::weigh_harmonics(std::size_t k) {
  const int n = f_.n_cands[k];
  const long s = f_.start[k];
  const bool has_short =
      n > 0 && short_spectrum_.analyse(s_.y.data() + s + (p_.w - p_.w_short) / 2);
  if (n == 0 || !spectrum_.analyse(s_.y.data() + s)) return;
  for (int i = 0; i < n; ++i) {
    Candidate& cand = f_.cands[k * kMaxCandidates + i];
    // Its harmonics may also stand out better in the short window's spectrum.
    double own = spectrum_.at(cand.lag);
    if (has_short && cand.lag <= p_.short_lag_max) {
      own = std::max(own, short_spectrum_.at(cand.lag));
    }
    // The octaves of the candidate compete with it. Half the lag (the octave above) fits the
    // true period's spectrum much worse, so it only rivals a candidate an octave too low; twice
    // the lag (the octave below) fits a true period about half as well, so it only rivals a
    // candidate an octave too high when it beats twice the candidate's own.
    const double above = spectrum_.at(0.5 * cand.lag);
    const double below = 2.0 * cand.lag <= p_.lag_hi ? spectrum_.at(2.0 * cand.lag) : 0.0;
    const double too_low = above > 0.0 ? std::clamp((above - own) / above, 0.0, 1.0) : 0.0;
    const double too_high =
        below > 0.0 ? std::clamp((0.5 * below - own) / (0.5 * below), 0.0, 1.0) : 0.0;
    cand.harmonic = static_cast<float>(own);
    // A multiple of the true period has weak harmonics in between those of the true one (only
    // where the true one could itself be a candidate, f0 <= f0max).
    double weak = 0.0;
    for (const int m : {2, 3}) {
      if (cand.lag / m < p_.lag_lo) break;
      const double level = spectrum_.interleaved_level(cand.lag, m);
      weak = std::max(weak, std::clamp((o_.interleaved_none - level) /
                                           (o_.interleaved_none - o_.interleaved_full),
                                       0.0, 1.0));
    }
    cand.interleaved = static_cast<float>(weak);
    cand.octave = static_cast<float>(std::max(too_low, too_high));
  }
}

// The costs of the tracking: of a state (candidate i of frame k, or unvoiced for i ==
// n_cands[k]) and of a step between states of neighbouring frames.
class Costs {
 public:
  Costs(const Plan& p, const Frames& f, const Options& o)
      : f_(f),
        o_(o),
        loudest_(*std::max_element(f.level_db.begin(), f.level_db.end())),
        lag_min_(p.fs / p.fmax) {}

  [[nodiscard]] double local(std::size_t k, int i) const {
    if (i == f_.n_cands[k]) {
      const double below = (loudest_ + o_.silence_db) - f_.level_db[k];  // dB under silence
      // The preference for short periods chooses among the candidates; a share of it is also
      // charged to being unvoiced (that of the most periodic candidate), so that a low voice
      // is not judged less voiced than a high one.
      double octave = 0.0;
      if (f_.n_cands[k] > 0) {
        const Candidate* best = &f_.at(k, 0);
        for (int j = 1; j < f_.n_cands[k]; ++j) {
          if (f_.at(k, j).d < best->d) best = &f_.at(k, j);
        }
        octave = o_.octave_voicing_share * o_.octave_cost * std::log2(best->lag / lag_min_);
      }
      return o_.voicing_threshold + octave - std::clamp(below / o_.silence_slope_db, 0.0, 2.0);
    }
    const Candidate& c = f_.at(k, i);
    const double margin = o_.multiple_margin + o_.multiple_margin_rel * c.d;
    const double multiple = std::clamp(1.0 - (c.sub - c.d) / margin, 0.0, 1.0);
    const double harmonic = std::clamp(c.harmonic / o_.harmonic_full_np, 0.0, 1.0);
    const double ring =
        std::isnan(c.ring) ? 0.0 : std::clamp((c.ring - o_.ring_margin) / o_.ring_width, 0.0, 1.0);
    return c.d + o_.octave_cost * std::log2(c.lag / lag_min_) + o_.multiple_cost * multiple -
           o_.harmonic_weight * harmonic + o_.octave_check_cost * c.octave +
           o_.interleaved_cost * c.interleaved + o_.ring_cost * ring;
  }

  [[nodiscard]] double step(std::size_t k0, int i0, std::size_t k1, int i1) const {
    const bool v0 = i0 < f_.n_cands[k0], v1 = i1 < f_.n_cands[k1];
    if (v0 != v1) return o_.voicing_change_cost;
    if (!v0) return 0.0;
    return o_.jump_cost * std::abs(std::log2(f_.at(k1, i1).lag / f_.at(k0, i0).lag));
  }

 private:
  const Frames& f_;
  const Options& o_;
  const double loudest_, lag_min_;
};

// Dynamic programming: per frame, one candidate or the unvoiced state (index n_cands[k]) along
// the cheapest path.
std::vector<int> choose_path(const Plan& p, const Frames& f, const Options& o) {
  const Costs costs(p, f, o);
  const std::size_t frames = p.frames;
  constexpr int kStates = kMaxCandidates + 1;
  std::vector<std::int8_t> back(frames * kStates, 0);
  std::vector<double> cost(kStates), next(kStates);
  for (int i = 0; i <= f.n_cands[0]; ++i) cost[i] = costs.local(0, i);
  for (std::size_t k = 1; k < frames; ++k) {
    for (int i = 0; i <= f.n_cands[k]; ++i) {
      double best = std::numeric_limits<double>::infinity();
      int arg = 0;
      for (int q = 0; q <= f.n_cands[k - 1]; ++q) {
        const double v = cost[q] + costs.step(k - 1, q, k, i);
        if (v < best) best = v, arg = q;
      }
      next[i] = best + costs.local(k, i);
      back[k * kStates + i] = static_cast<std::int8_t>(arg);
    }
    std::swap(cost, next);
  }
  std::vector<int> path(frames);
  path[frames - 1] = static_cast<int>(
      std::min_element(cost.begin(), cost.begin() + f.n_cands[frames - 1] + 1) - cost.begin());
  for (std::size_t k = frames - 1; k > 0; --k) path[k - 1] = back[k * kStates + path[k]];
  return path;
}

// Unvoiced runs next to a voiced frame: a voice sinking under other talkers in its quieter
// stretches still leaves a dip at its period, only not a winning one. Follow it into the run
// from each side while some candidate continues the period smoothly and is periodic enough;
// the refinement still drops the frames where no clear period remains.
void follow_into_unvoiced_runs(std::vector<int>& path, const Frames& f, const Options& o) {
  const std::size_t frames = path.size();
  auto follow = [&](std::size_t k, double lag) {  // candidate of frame k continuing lag, or -1
    int found = -1;
    double nearest = o.follow_octaves;
    for (int i = 0; i < f.n_cands[k]; ++i) {
      const Candidate& c = f.at(k, i);
      const double octaves = std::abs(std::log2(c.lag / lag));
      if (c.d <= o.follow_max_d && octaves < nearest) nearest = octaves, found = i;
    }
    return found;
  };
  for (std::size_t k = 0; k < frames;) {
    if (path[k] != f.n_cands[k]) {
      ++k;
      continue;
    }
    std::size_t end = k;  // one past the unvoiced run
    while (end < frames && path[end] == f.n_cands[end]) ++end;
    std::size_t lo = k, hi = end;  // frames still unvoiced: [lo, hi)
    if (k > 0) {
      double lag = f.at(k - 1, path[k - 1]).lag;
      for (int i; lo < hi && (i = follow(lo, lag)) >= 0; ++lo) {
        path[lo] = i;
        lag = f.at(lo, i).lag;
      }
    }
    if (end < frames) {
      double lag = f.at(end, path[end]).lag;
      for (int i; hi > lo && (i = follow(hi - 1, lag)) >= 0; --hi) {
        path[hi - 1] = i;
        lag = f.at(hi - 1, i).lag;
      }
    }
    k = end;
  }
}

// Pass 2 for one frame: the chosen period lag1 measured again on a window of a few periods
// centred on the frame: the best integer lag within refine_reach of it, then band-limited
// interpolation of the correlation between integer lags around that one.
// Returns the refined lag, or 0 when the window shows no clear period (at the edges of a voiced
// stretch the long window still sees the voice while the short one around the frame holds only
// its decay: such frames are filled like unvoiced ones).
double refine_frame(const Plan& p, const Signal& s, const Options& o, const LagInterpolator& interp,
                    double centre, double lag1) {
  const long lag0 = std::lround(lag1);
  const double w2_want = std::max(o.refine_periods * lag1, o.refine_min_s * p.fs);
  const long w2 = std::clamp(std::lround(w2_want), std::min(p.w, 2 * lag0 + 2), p.w);
  const long a = std::lround(centre - 0.5 * static_cast<double>(w2 + lag0));
  const double e0 = s.range_energy(a, a + w2);
  // The period may lie a few lags from the first pass's: its window is longer and averages a
  // period that moves. Lags lag0 - reach .. lag0 + reach are searched.
  const int reach =
      std::clamp(static_cast<int>(std::lround(o.refine_reach * lag1)), 0, kMaxRefineReach);
  const int span = kSpan + reach;
  // Correlation at lags lag0 - span .. lag0 + span (negative lags are valid: the window has
  // margin on both sides); the inner loop runs over the lags so it vectorises.
  double r_int[2 * (kSpan + kMaxRefineReach) + 1] = {}, e_int[2 * (kSpan + kMaxRefineReach) + 1];
  const float* x = s.y.data() + a;
  const float* q = x + lag0 - span;
  for (long t = 0; t < w2; ++t) {
    const double xt = x[t];
    for (int i = 0; i <= 2 * span; ++i) r_int[i] += xt * q[t + i];
  }
  for (int i = -span; i <= span; ++i) {
    e_int[i + span] = s.range_energy(a + lag0 + i, a + w2 + lag0 + i);
  }
  auto int_diff = [&](int j) {  // normalised difference at the integer lag lag0 + j
    const double e = e0 + e_int[j + span];
    return e > 1e-20 ? 1.0 - 2.0 * r_int[j + span] / e : 1.0;
  };
  int at = 0;  // integer lag (from lag0) the fine search is centred on
  double at_d = int_diff(0);
  for (int j = -reach; j <= reach; ++j) {
    const double v = int_diff(j);
    if (v < at_d) at_d = v, at = j;
  }
  auto diff_at =
      [&](double delta) {  // normalised difference at lag lag0 + at + delta, |delta| <= 1
        const double r = interp(r_int + (at + reach), delta);
        const int i0 = static_cast<int>(std::floor(delta)) + at;
        const double f = delta + at - i0;
        const double e = e0 + (1.0 - f) * e_int[i0 + span] + f * e_int[i0 + 1 + span];
        return e > 1e-20 ? 1.0 - 2.0 * r / e : 1.0;
      };
  constexpr double kStep = 0.05;  // search grid, lags
  const double centre_delta = at == 0 ? lag1 - static_cast<double>(lag0) : 0.0;
  double best_delta = centre_delta, best = diff_at(centre_delta);
  for (double dlt = centre_delta - 0.6; dlt <= centre_delta + 0.6 + 1e-9; dlt += kStep) {
    if (std::abs(dlt) > 1.0) continue;
    const double v = diff_at(dlt);
    if (v < best) best = v, best_delta = dlt;
  }
  if (std::abs(best_delta) + kStep <= 1.0) {
    const double a0 = diff_at(best_delta - kStep), c0 = diff_at(best_delta + kStep);
    const double den = a0 - 2.0 * best + c0;
    if (den > 0.0) best_delta += std::clamp(0.5 * (a0 - c0) / den, -0.5, 0.5) * kStep;
  }
  if (best > o.refined_max_d) return 0.0;
  return static_cast<double>(lag0 + at) + best_delta;
}

// Unvoiced frames: linear between the voiced neighbours, held before the first and after the
// last; nothing voiced leaves 0 everywhere.
void fill_unvoiced(Track& track) {
  long last = -1;
  for (std::size_t k = 0; k < track.f0_hz.size(); ++k) {
    if (!track.voiced[k]) continue;
    const auto kk = static_cast<long>(k);
    if (last < 0) {
      std::fill(track.f0_hz.begin(), track.f0_hz.begin() + kk, track.f0_hz[k]);
    } else {
      const double f0a = track.f0_hz[static_cast<std::size_t>(last)], f0b = track.f0_hz[k];
      for (long i = last + 1; i < kk; ++i) {
        track.f0_hz[static_cast<std::size_t>(i)] =
            f0a + (f0b - f0a) * static_cast<double>(i - last) / static_cast<double>(kk - last);
      }
    }
    last = kk;
  }
  if (last >= 0) {
    std::fill(track.f0_hz.begin() + last + 1, track.f0_hz.end(),
              track.f0_hz[static_cast<std::size_t>(last)]);
  }
}

// The estimator; when owned holds x, it is released once the sound has been decimated.
Track analyse(const float* x, std::size_t n, double sr, const Options& o,
              std::vector<float>* owned) {
  check(sr, o);
  Track track;
  Plan plan;
  const double duration_s = static_cast<double>(n) / sr;
  plan.frames = static_cast<std::size_t>(std::floor(duration_s / o.hop_s + 1e-9)) + 1;
  const std::size_t frames = plan.frames;
  track.t_s.resize(frames);
  for (std::size_t k = 0; k < frames; ++k) track.t_s[k] = static_cast<double>(k) * o.hop_s;
  track.f0_hz.assign(frames, 0.0);
  track.voiced.assign(frames, 0);
  if (n == 0) return track;

  std::vector<float> sig = analysis_signal(x, n, sr, o, owned, plan);
  plan_windows(plan, static_cast<long>(sig.size()), sr, o);
  track.window_samples = plan.window_in;
  track.band_hz = plan.pass_hz;
  track.analysis_sr = plan.fs;
  const Signal signal = pad_signal(std::move(sig), plan.pad);

  Frames f;
  f.centre.resize(frames);
  f.start.resize(frames);
  f.start_mid.resize(frames);
  for (std::size_t k = 0; k < frames; ++k) {
    f.centre[k] = track.t_s[k] * plan.fs + static_cast<double>(plan.pad);
    f.start[k] = std::lround(f.centre[k] - 0.5 * static_cast<double>(plan.w));
    f.start_mid[k] = std::lround(f.centre[k] - 0.5 * static_cast<double>(plan.w_short));
  }
  f.cands.resize(frames * kMaxCandidates);
  f.n_cands.assign(frames, 0);
  f.level_db.assign(frames, kMinLevelDb);
  const int threads = o.threads > 0 ? o.threads : tessel::parallel::thread_count();
  {
    std::vector<std::unique_ptr<FirstPass>> pass(static_cast<std::size_t>(threads));
    tessel::parallel::parallel_for(
        static_cast<long>(frames), kFramesPerBlock,
        [&](long k0, long k1, int worker) {
          auto& mine = pass[static_cast<std::size_t>(worker)];
          if (!mine) mine = std::make_unique<FirstPass>(plan, signal, o, f);
          mine->run(static_cast<std::size_t>(k0), static_cast<std::size_t>(k1));
        },
        threads);
  }

  std::vector<int> path = choose_path(plan, f, o);
  follow_into_unvoiced_runs(path, f, o);

  const LagInterpolator interpolate;
  tessel::parallel::parallel_for(
      static_cast<long>(frames), kFramesPerBlock,
      [&](long k0, long k1, int) {
        for (auto k = static_cast<std::size_t>(k0); k < static_cast<std::size_t>(k1); ++k) {
          if (path[k] == f.n_cands[k]) continue;
          const double lag =
              refine_frame(plan, signal, o, interpolate, f.centre[k], f.at(k, path[k]).lag);
          if (lag <= 0.0) continue;
          track.f0_hz[k] = std::clamp(plan.fs / lag, o.f0min_hz, o.f0max_hz);
          track.voiced[k] = 1;
        }
      },
      threads);
  fill_unvoiced(track);
  return track;
}

}  // namespace

Track estimate_f0(const float* x, std::size_t n, double sr, const Options& options) {
  return analyse(x, n, sr, options, nullptr);
}

Track estimate_f0(std::vector<float>&& x, double sr, const Options& options) {
  return analyse(x.data(), x.size(), sr, options, &x);
}

}  // namespace harmex
