// f0 estimation: normalised difference function, candidate dips weighed by the contrast of
// their harmonics in the spectrum, dynamic programming over frames, band-limited refinement of
// the chosen periods.
#include <algorithm>
#include <cmath>
#include <cstdint>
#include <limits>
#include <numbers>
#include <stdexcept>
#include <string>
#include <vector>

#include "decimate.h"
#include "harmex/harmex.h"
#include "harmonic_contrast.h"

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
// higher than its own is the ringing of a formant, which dies out between glottal pulses.
constexpr double kRingPeriods = 3.0;

// Single precision keeps the candidates of an hour of sound small; it is ample for their use.
struct Candidate {
  float lag = 0.0f;  // period, samples of the decimated signal (fractional)
  float d = 1.0f;    // normalised difference at that lag (0 periodic .. about 1 noise)
  float sub = 1.0f;  // lowest difference at a half or a third of the lag (multiple-period test)
  float harmonic = 0.0f;     // harmonic contrast of the lag in the frame's spectrum, nepers
  float octave = 0.0f;       // 0 .. 1: how much better the spectrum fits an octave above or below
  float interleaved = 0.0f;  // 0 .. 1: how weak its harmonics between every 2nd or 3rd are
  float ring = -1.0f;  // short periods: difference at kRingPeriods times the lag (-1: not measured)
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

// The estimator; when owned holds x, it is released once the sound has been decimated.
Track analyse(const float* x, std::size_t n, double sr, const Options& o,
              std::vector<float>* owned) {
  check(sr, o);
  Track track;
  const double duration_s = static_cast<double>(n) / sr;
  const auto frames = static_cast<std::size_t>(std::floor(duration_s / o.hop_s + 1e-9)) + 1;
  track.t_s.resize(frames);
  for (std::size_t k = 0; k < frames; ++k) track.t_s[k] = static_cast<double>(k) * o.hop_s;
  track.f0_hz.assign(frames, 0.0);
  track.voiced.assign(frames, 0);
  if (n == 0) return track;

  // Analysis band and decimation.
  const double fmax = std::min(o.f0max_hz, sr / 4.0);
  double pass_hz = o.f0ana_hz > 0.0 ? o.f0ana_hz : std::min(2.5 * o.f0max_hz, sr);
  pass_hz = std::clamp(pass_hz, 1.2 * fmax, 0.5 * sr);  // never cut the fundamental itself
  const int factor = std::max(1, static_cast<int>(std::floor(sr / (2.4 * pass_hz))));
  const double fs = sr / factor;  // rate of the analysed signal, Hz
  std::vector<float> sig = decimate(x, n, factor, sr, pass_hz);
  if (owned != nullptr) std::vector<float>().swap(*owned);
  const auto m = static_cast<long>(sig.size());
  {
    // One-pole high-pass at f0min / 2: an offset or hum would look periodic at every lag.
    const double r = std::exp(-2.0 * std::numbers::pi * 0.5 * o.f0min_hz / fs);
    double prev_in = 0.0, prev_out = 0.0;
    for (float& v : sig) {
      const double out = v - prev_in + r * prev_out;
      prev_in = v;
      prev_out = out;
      v = static_cast<float>(out);
    }
  }

  const int lag_lo = std::max(2, static_cast<int>(std::floor(fs / fmax)));
  const int lag_hi = std::max(lag_lo + 2, static_cast<int>(std::ceil(fs / o.f0min_hz)));
  const int lag_top = lag_hi + 1;  // highest lag of the difference function
  const double window_in =
      o.window_samples > 0.0 ? o.window_samples : std::max(0.02 * sr, 4.0 * sr / o.f0min_hz);
  const long w = std::clamp(std::lround(window_in / factor), 4L, m + lag_top);
  track.window_samples = window_in;
  track.band_hz = pass_hz;
  track.analysis_sr = fs;
  const long w_short = std::min(w, std::max(4L, std::lround(kShortWindowS * fs)));
  const double short_lag_max = static_cast<double>(w_short) / kShortPeriods;  // samples
  const double long_lag_min = kLongPeriodRatio * static_cast<double>(w_short) / kLookPeriods;
  // High-passed copies of the span around a frame that the short windows read.
  const long hp_half = (w_short + static_cast<long>(kRingPeriods * short_lag_max)) / 2 + 4;
  const long hp_settle = std::lround(kHighPassSettleS * fs);
  const double hp_lowest = kHighPassRatio * fs / short_lag_max;  // cut for the longest, Hz
  struct HighPassBand {
    HighPass filter;
    std::vector<float> span;  // samples centre - hp_half .. centre + hp_half - 1, filtered
    std::size_t frame = static_cast<std::size_t>(-1);  // frame the span was filtered for
  };
  std::vector<HighPassBand> hp_bands;
  for (int b = 0;; ++b) {
    const double cut = hp_lowest * std::exp2(0.5 * b);
    if (cut > 0.4 * fs) break;
    hp_bands.push_back({HighPass(cut, fs), std::vector<float>(2 * hp_half)});
  }

  // Zero-padded signal (index pad + i holds sample i), its reverse and its energy prefix sums.
  const long pad = w + lag_top + kSincHalf + 8 + hp_half + hp_settle;
  const long np = m + 2 * pad;
  std::vector<float> y(static_cast<std::size_t>(np), 0.0f);
  std::copy(sig.begin(), sig.end(), y.begin() + pad);
  std::vector<float>().swap(sig);
  std::vector<float> yr(y.rbegin(), y.rend());                        // yr[np - 1 - i] == y[i]
  std::vector<double> energy(static_cast<std::size_t>(np) + 1, 0.0);  // energy[i] = sum y[<i]^2
  for (long i = 0; i < np; ++i) energy[i + 1] = energy[i] + double{y[i]} * y[i];
  auto range_energy = [&](long a, long b) { return energy[b] - energy[a]; };

  // Frame k covers pair centres [start[k], start[k] + w) around its time.
  std::vector<long> start(frames);
  std::vector<double> centre(frames);
  for (std::size_t k = 0; k < frames; ++k) {
    centre[k] = track.t_s[k] * fs + static_cast<double>(pad);
    start[k] = std::lround(centre[k] - 0.5 * static_cast<double>(w));
  }

  // Pass 1: running sums over pair centres c of y[c - j] * y[c + j] (even lag 2j) and
  // y[c - j] * y[c + j + 1] (odd lag 2j + 1); a frame's correlation at every lag is the
  // difference of two snapshots, so the cost per sample does not depend on the window.
  const int n_even = lag_top / 2 + 1, n_odd = (lag_top + 1) / 2;
  const int n_acc = n_even + n_odd;
  std::vector<double> acc(static_cast<std::size_t>(n_acc), 0.0);
  const double hop_in = o.hop_s * fs;
  const auto ring = static_cast<std::size_t>(std::ceil(static_cast<double>(w) / hop_in)) + 2;
  std::vector<double> snaps(ring * static_cast<std::size_t>(n_acc));
  std::vector<double> diff(static_cast<std::size_t>(lag_hi - lag_lo + 3));
  std::vector<Candidate> cands(frames * kMaxCandidates);
  std::vector<int> n_cands(frames, 0);
  std::vector<double> level_db(frames, kMinLevelDb);
  // The spectrum looks at the harmonics from half of f0min up to the analysis band.
  HarmonicContrast spectrum(w, fs, 0.5 * o.f0min_hz, pass_hz);
  HarmonicContrast short_spectrum(w_short, fs, 0.5 * o.f0min_hz, pass_hz);

  std::size_t next_start = 0, next_end = 0;
  double* acc_e = acc.data();
  double* acc_o = acc.data() + n_even;
  for (long c = start[0]; next_end < frames; ++c) {
    while (next_start < frames && start[next_start] == c) {
      std::copy(acc.begin(), acc.end(),
                snaps.begin() + static_cast<long>((next_start % ring) * n_acc));
      ++next_start;
    }
    while (next_end < frames && start[next_end] + w == c) {
      const std::size_t k = next_end++;
      const double* snap = snaps.data() + (k % ring) * n_acc;
      const long s = start[k];
      // Window sums are differences of running sums: below this energy their rounding errors
      // (relative to everything summed so far) could pass for a signal.
      const double noise_floor = std::max(1e-30, kRunningSumNoise * energy[s + w + lag_top + 1]);
      for (int lag = lag_lo - 1; lag <= lag_hi + 1; ++lag) {
        const int j = lag / 2;
        const bool odd = lag % 2 != 0;
        const double r = odd ? acc_o[j] - snap[n_even + j] : acc_e[j] - snap[j];
        const double e_left = range_energy(s - j, s + w - j);
        const double e_right = range_energy(s + j + odd, s + w + j + odd);
        const double e = e_left + e_right;
        diff[static_cast<std::size_t>(lag - lag_lo + 1)] =
            e > noise_floor ? std::clamp(1.0 - 2.0 * r / e, 0.0, 2.0) : 1.0;
      }
      n_cands[k] = find_candidates(diff.data(), lag_lo, lag_hi, cands.data() + k * kMaxCandidates);
      // Short and long periods are measured again on windows that suit them; a candidate keeps
      // the lowest of its differences.
      const auto frame_centre = std::lround(centre[k]);
      auto look = [&](const float* x, long x_origin, double lag, long ws) {
        const auto l0 = static_cast<long>(std::floor(lag));
        const long a = std::lround(centre[k] - 0.5 * static_cast<double>(ws + l0));
        return window_difference(x + (a - x_origin), ws, l0, lag - static_cast<double>(l0),
                                 noise_floor);
      };
      for (int i = 0; i < n_cands[k]; ++i) {
        Candidate& cand = cands[k * kMaxCandidates + i];
        double d = cand.d;
        if (cand.lag <= short_lag_max) {
          cand.ring = static_cast<float>(look(y.data(), 0, kRingPeriods * cand.lag, w_short));
          if (!hp_bands.empty()) {
            const double cut = kHighPassRatio * fs / cand.lag;
            const auto b =
                static_cast<std::size_t>(std::clamp(std::floor(2.0 * std::log2(cut / hp_lowest)),
                                                    0.0, static_cast<double>(hp_bands.size() - 1)));
            HighPassBand& band = hp_bands[b];
            if (band.frame != k) {  // filtered once per frame and band
              band.frame = k;
              band.filter.run(y.data() + frame_centre - hp_half, hp_settle, 2 * hp_half,
                              band.span.data());
            }
            d = std::min(d, look(band.span.data(), frame_centre - hp_half, cand.lag, w_short));
          }
        } else if (cand.lag > long_lag_min) {
          const long ws = std::min(w, std::lround(kLookPeriods * cand.lag));
          d = std::min(d, look(y.data(), 0, cand.lag, ws));
        }
        cand.d = static_cast<float>(d);
      }
      const bool has_short =
          n_cands[k] > 0 && short_spectrum.analyse(y.data() + s + (w - w_short) / 2);
      if (n_cands[k] > 0 && spectrum.analyse(y.data() + s)) {
        for (int i = 0; i < n_cands[k]; ++i) {
          Candidate& cand = cands[k * kMaxCandidates + i];
          // Its harmonics may also stand out better in the short window's spectrum.
          double own = spectrum.at(cand.lag);
          if (has_short && cand.lag <= short_lag_max) {
            own = std::max(own, short_spectrum.at(cand.lag));
          }
          // The octaves of the candidate compete with it. Half the lag (the octave above) fits
          // the true period's spectrum much worse, so it only rivals a candidate an octave too
          // low; twice the lag (the octave below) fits a true period about half as well, so it
          // only rivals a candidate an octave too high when it beats twice the candidate's own.
          const double above = spectrum.at(0.5 * cand.lag);
          const double below = 2.0 * cand.lag <= lag_hi ? spectrum.at(2.0 * cand.lag) : 0.0;
          const double too_low = above > 0.0 ? std::clamp((above - own) / above, 0.0, 1.0) : 0.0;
          const double too_high =
              below > 0.0 ? std::clamp((0.5 * below - own) / (0.5 * below), 0.0, 1.0) : 0.0;
          cand.harmonic = static_cast<float>(own);
          // A multiple of the true period has weak harmonics in between those of the true one
          // (only where the true one could itself be a candidate, f0 <= f0max).
          double weak = 0.0;
          for (const int m : {2, 3}) {
            if (cand.lag / m < lag_lo) break;
            const double level = spectrum.interleaved_level(cand.lag, m);
            weak = std::max(weak, std::clamp((o.interleaved_none - level) /
                                                 (o.interleaved_none - o.interleaved_full),
                                             0.0, 1.0));
          }
          cand.interleaved = static_cast<float>(weak);
          cand.octave = static_cast<float>(std::max(too_low, too_high));
        }
      }
      const double e_frame = range_energy(s, s + w);
      level_db[k] =
          e_frame > noise_floor ? 10.0 * std::log10(e_frame / static_cast<double>(w)) : kMinLevelDb;
    }
    if (next_end >= frames) break;
    // Products of two floats are exact in double: only the sums round.
    const float* left = yr.data() + (np - 1 - c);  // left[j] == y[c - j]
    const float* right = y.data() + c;             // right[j] == y[c + j]
    for (int j = 0; j < n_even; ++j) acc_e[j] += double{left[j]} * right[j];
    for (int j = 0; j < n_odd; ++j) acc_o[j] += double{left[j]} * right[j + 1];
  }

  // Dynamic programming: per frame, one candidate or the unvoiced state (index n_cands[k]).
  const double loudest = *std::max_element(level_db.begin(), level_db.end());
  const double lag_min = fs / fmax;
  auto local_cost = [&](std::size_t k, int i) {
    if (i == n_cands[k]) {
      const double below = (loudest + o.silence_db) - level_db[k];  // dB under the silence level
      return o.voicing_threshold - std::clamp(below / o.silence_slope_db, 0.0, 2.0);
    }
    const Candidate& c = cands[k * kMaxCandidates + i];
    const double margin = o.multiple_margin + o.multiple_margin_rel * c.d;
    const double multiple = std::clamp(1.0 - (c.sub - c.d) / margin, 0.0, 1.0);
    const double harmonic = std::clamp(c.harmonic / o.harmonic_full_np, 0.0, 1.0);
    const double ring =
        c.ring < 0.0f ? 0.0 : std::clamp((c.ring - c.d - o.ring_margin) / o.ring_width, 0.0, 1.0);
    return c.d + o.octave_cost * std::log2(c.lag / lag_min) + o.multiple_cost * multiple -
           o.harmonic_weight * harmonic + o.octave_check_cost * c.octave +
           o.interleaved_cost * c.interleaved + o.ring_cost * ring;
  };
  auto transition = [&](std::size_t k0, int i0, std::size_t k1, int i1) {
    const bool v0 = i0 < n_cands[k0], v1 = i1 < n_cands[k1];
    if (v0 != v1) return o.voicing_change_cost;
    if (!v0) return 0.0;
    const double l0 = cands[k0 * kMaxCandidates + i0].lag, l1 = cands[k1 * kMaxCandidates + i1].lag;
    return o.jump_cost * std::abs(std::log2(l1 / l0));
  };
  constexpr int kStates = kMaxCandidates + 1;
  std::vector<std::int8_t> back(frames * kStates, 0);
  std::vector<double> cost(kStates), next(kStates);
  for (int i = 0; i <= n_cands[0]; ++i) cost[i] = local_cost(0, i);
  for (std::size_t k = 1; k < frames; ++k) {
    for (int i = 0; i <= n_cands[k]; ++i) {
      double best = std::numeric_limits<double>::infinity();
      int arg = 0;
      for (int p = 0; p <= n_cands[k - 1]; ++p) {
        const double v = cost[p] + transition(k - 1, p, k, i);
        if (v < best) best = v, arg = p;
      }
      next[i] = best + local_cost(k, i);
      back[k * kStates + i] = static_cast<std::int8_t>(arg);
    }
    std::swap(cost, next);
  }
  std::vector<int> path(frames);
  path[frames - 1] = static_cast<int>(
      std::min_element(cost.begin(), cost.begin() + n_cands[frames - 1] + 1) - cost.begin());
  for (std::size_t k = frames - 1; k > 0; --k) path[k - 1] = back[k * kStates + path[k]];

  // Unvoiced runs next to a voiced frame: a voice sinking under other talkers in its quieter
  // stretches still leaves a dip at its period, only not a winning one. Follow it into the run
  // from each side while some candidate continues the period smoothly and is periodic enough;
  // the refinement below still drops the frames where no clear period remains.
  auto follow = [&](std::size_t k, double lag) {  // candidate of frame k continuing lag, or -1
    int found = -1;
    double nearest = o.follow_octaves;
    for (int i = 0; i < n_cands[k]; ++i) {
      const Candidate& c = cands[k * kMaxCandidates + i];
      const double octaves = std::abs(std::log2(c.lag / lag));
      if (c.d <= o.follow_max_d && octaves < nearest) nearest = octaves, found = i;
    }
    return found;
  };
  for (std::size_t k = 0; k < frames;) {
    if (path[k] != n_cands[k]) {
      ++k;
      continue;
    }
    std::size_t end = k;  // one past the unvoiced run
    while (end < frames && path[end] == n_cands[end]) ++end;
    std::size_t lo = k, hi = end;  // frames still unvoiced: [lo, hi)
    if (k > 0) {
      double lag = cands[(k - 1) * kMaxCandidates + path[k - 1]].lag;
      for (int i; lo < hi && (i = follow(lo, lag)) >= 0; ++lo) {
        path[lo] = i;
        lag = cands[lo * kMaxCandidates + i].lag;
      }
    }
    if (end < frames) {
      double lag = cands[end * kMaxCandidates + path[end]].lag;
      for (int i; hi > lo && (i = follow(hi - 1, lag)) >= 0; --hi) {
        path[hi - 1] = i;
        lag = cands[(hi - 1) * kMaxCandidates + i].lag;
      }
    }
    k = end;
  }

  // Pass 2: refine each chosen period on a window of a few periods centred on the frame, by
  // band-limited interpolation of the correlation between integer lags.
  const LagInterpolator interpolate;
  double r_int[2 * kSpan + 1], e_int[2 * kSpan + 1];
  for (std::size_t k = 0; k < frames; ++k) {
    if (path[k] == n_cands[k]) continue;
    const double lag1 = cands[k * kMaxCandidates + path[k]].lag;
    const long lag0 = std::lround(lag1);
    const double w2_want = std::max(o.refine_periods * lag1, o.refine_min_s * fs);
    const long w2 = std::clamp(std::lround(w2_want), std::min(w, 2 * lag0 + 2), w);
    const long a = std::lround(centre[k] - 0.5 * static_cast<double>(w2 + lag0));
    const double e0 = range_energy(a, a + w2);
    // Correlation at lags lag0 - kSpan .. lag0 + kSpan (negative lags are valid: the window has
    // margin on both sides); the inner loop runs over the lags so it vectorises.
    std::fill(std::begin(r_int), std::end(r_int), 0.0);
    const float* p = y.data() + a;
    const float* q = p + lag0 - kSpan;
    for (long t = 0; t < w2; ++t) {
      const double pt = p[t];
      for (int i = 0; i <= 2 * kSpan; ++i) r_int[i] += pt * q[t + i];
    }
    for (int i = -kSpan; i <= kSpan; ++i) {
      e_int[i + kSpan] = range_energy(a + lag0 + i, a + w2 + lag0 + i);
    }
    auto diff_at = [&](double delta) {  // normalised difference at lag lag0 + delta, |delta| <= 1
      const double r = interpolate(r_int, delta);
      const int i0 = static_cast<int>(std::floor(delta));
      const double f = delta - i0;
      const double e = e0 + (1.0 - f) * e_int[i0 + kSpan] + f * e_int[i0 + 1 + kSpan];
      return e > 1e-20 ? 1.0 - 2.0 * r / e : 1.0;
    };
    constexpr double kStep = 0.05;  // search grid, lags
    const double centre_delta = lag1 - static_cast<double>(lag0);
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
    // At the edges of a voiced stretch the long window still sees the voice while the short
    // one around the frame holds only its decay: such frames are filled like unvoiced ones.
    if (best > o.refined_max_d) continue;
    const double lag = static_cast<double>(lag0) + best_delta;
    track.f0_hz[k] = std::clamp(fs / lag, o.f0min_hz, o.f0max_hz);
    track.voiced[k] = 1;
  }

  // Unvoiced frames: linear between the voiced neighbours, held before the first and after
  // the last; nothing voiced leaves 0 everywhere.
  long last = -1;
  for (std::size_t k = 0; k < frames; ++k) {
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
