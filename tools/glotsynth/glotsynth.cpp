// Synthesis of speech-like test sounds with known glottal closures and f0.
#include "glotsynth.h"

#include <audiofile.h>

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdio>
#include <memory>
#include <numbers>
#include <random>
#include <stdexcept>
#include <string>
#include <utility>

namespace glotsynth {
namespace {

constexpr double kPi = std::numbers::pi;
constexpr int kFormants = 5;
constexpr int kCoefBlock = 32;  // resonator coefficients are refreshed every this many samples

struct Vowel {
  char name;
  std::array<double, kFormants> f;   // formant frequencies, Hz
  std::array<double, kFormants> bw;  // formant bandwidths, Hz
};

// Average adult formants of five cardinal vowels (F5 fixed).
constexpr std::array<Vowel, 5> kVowels = {{
    {'a', {730, 1090, 2440, 3400, 4500}, {90, 110, 140, 200, 250}},
    {'e', {530, 1840, 2480, 3400, 4500}, {70, 100, 140, 200, 250}},
    {'i', {280, 2250, 3000, 3500, 4500}, {60, 100, 150, 200, 250}},
    {'o', {570, 840, 2410, 3400, 4500}, {80, 90, 140, 200, 250}},
    {'u', {310, 870, 2250, 3400, 4500}, {60, 90, 130, 200, 250}},
}};

const Vowel& vowel(char name) {
  for (const Vowel& v : kVowels) {
    if (v.name == name) return v;
  }
  throw std::invalid_argument(std::string("unknown vowel '") + name + "' (use a e i o u)");
}

// Standard normal deviates from a generator whose sequence the C++ standard fixes, so a seed
// gives the same sound with any standard library.
class Gauss {
 public:
  explicit Gauss(std::uint64_t seed) : eng_(seed) {}
  double uniform() { return (static_cast<double>(eng_() >> 11) + 0.5) * 0x1.0p-53; }
  double operator()() {
    if (has_spare_) {
      has_spare_ = false;
      return spare_;
    }
    const double r = std::sqrt(-2.0 * std::log(uniform()));
    const double a = 2.0 * kPi * uniform();
    spare_ = r * std::sin(a);
    has_spare_ = true;
    return r * std::cos(a);
  }

 private:
  std::mt19937_64 eng_;
  double spare_ = 0.0;
  bool has_spare_ = false;
};

// Two-pole resonator with unit gain at 0 Hz; coefficients may change between samples.
struct Resonator {
  double a = 1, b = 0, c = 0, y1 = 0, y2 = 0;
  void tune(double f_hz, double bw_hz, double sr) {
    c = -std::exp(-2.0 * kPi * bw_hz / sr);
    b = 2.0 * std::exp(-kPi * bw_hz / sr) * std::cos(2.0 * kPi * f_hz / sr);
    a = 1.0 - b - c;
  }
  double operator()(double x) {
    double y = a * x + b * y1 + c * y2;
    if (std::abs(y) < 1e-30) y = 0.0;  // let ringing die out instead of crawling through denormals
    y2 = y1;
    y1 = y;
    return y;
  }
};

// LF glottal flow derivative for a period of 1, with the negative peak Ee = 1 at te. The shape
// comes from Rd through the usual regressions; alpha and epsilon solve the LF equations.
class LfPulse {
 public:
  explicit LfPulse(double rd) {
    if (!(rd >= 0.3 && rd <= 2.7)) throw std::invalid_argument("Rd must lie in [0.3, 2.7]");
    const double ra = (-1.0 + 4.8 * rd) / 100.0;
    const double rk = (22.4 + 11.8 * rd) / 100.0;
    const double rg = rk / (4.0 * (0.11 * rd / (0.5 + 1.2 * rk) - ra));
    tp_ = 1.0 / (2.0 * rg);
    te_ = tp_ * (1.0 + rk);
    ta_ = ra;
    if (!(te_ < 1.0 && ta_ > 0.0)) throw std::invalid_argument("Rd gives no valid LF pulse");
    // epsilon * ta = 1 - exp(-epsilon (1 - te)), Newton from 1 / ta.
    eps_ = 1.0 / ta_;
    for (int i = 0; i < 50; ++i) {
      const double e = std::exp(-eps_ * (1.0 - te_));
      const double f = eps_ * ta_ - 1.0 + e;
      const double df = ta_ - (1.0 - te_) * e;
      eps_ -= f / df;
    }
    w_ = kPi / tp_;
    // Zero net flow over the period: bisection on alpha (the open-phase area falls as alpha grows).
    const double tail = std::exp(-eps_ * (1.0 - te_));
    const double ret = -1.0 / (eps_ * ta_) * ((1.0 - tail) / eps_ - (1.0 - te_) * tail);
    auto area = [&](double alpha) {
      const double e0 = -1.0 / (std::exp(alpha * te_) * std::sin(w_ * te_));
      const double open =
          e0 *
          (std::exp(alpha * te_) * (alpha * std::sin(w_ * te_) - w_ * std::cos(w_ * te_)) + w_) /
          (alpha * alpha + w_ * w_);
      return open + ret;
    };
    double lo = -50.0, hi = 200.0;
    for (int i = 0; i < 200; ++i) {
      const double mid = 0.5 * (lo + hi);
      (area(mid) > 0.0 ? lo : hi) = mid;
    }
    alpha_ = 0.5 * (lo + hi);
    e0_ = -1.0 / (std::exp(alpha_ * te_) * std::sin(w_ * te_));
    tail_ = tail;
  }
  double te() const { return te_; }
  // Flow derivative at phase u in [0, 1).
  double operator()(double u) const {
    if (u <= te_) return e0_ * std::exp(alpha_ * u) * std::sin(w_ * u);
    return -1.0 / (eps_ * ta_) * (std::exp(-eps_ * (u - te_)) - tail_);
  }

 private:
  double tp_ = 0, te_ = 0, ta_ = 0, eps_ = 0, w_ = 0, alpha_ = 0, e0_ = 0, tail_ = 0;
};

// Rosenberg flow derivative for a period of 1, negative peak 1 at the closure.
class RosenbergPulse {
 public:
  RosenbergPulse(double oq, double sq) {
    if (!(oq > 0.0 && oq < 1.0 && sq > 0.0)) {
      throw std::invalid_argument(
          "Rosenberg pulse needs 0 < open quotient < 1 and speed quotient > 0");
    }
    tn_ = oq / (1.0 + sq);
    tp_ = sq * tn_;
    scale_ = 2.0 * tn_ / kPi;
  }
  double te() const { return tp_ + tn_; }
  double operator()(double u) const {
    if (u < tp_) return scale_ * kPi / (2.0 * tp_) * std::sin(kPi * u / tp_);
    if (u < tp_ + tn_) return -scale_ * kPi / (2.0 * tn_) * std::sin(kPi * (u - tp_) / (2.0 * tn_));
    return 0.0;
  }

 private:
  double tp_ = 0, tn_ = 0, scale_ = 1;
};

// Raised-cosine fade of a stretch of length d at time u from its start.
double ramp(double u, double d, double ramp_s) {
  if (ramp_s <= 0.0) return 1.0;
  const double r = std::min({1.0, std::max(0.0, u) / ramp_s, std::max(0.0, d - u) / ramp_s});
  return 0.5 * (1.0 - std::cos(kPi * r));
}

struct Cycle {
  double start_s, period_s;
};

// The clean phrase: voice and noise stretches, plus where the voice is.
struct Clean {
  std::vector<double> voice;  // voiced part (source through formants)
  std::vector<double> hiss;   // unvoiced stretches and bursts, unit level
  std::vector<char> voiced;   // 1 on samples of voiced stretches
  std::vector<char> noisy;    // 1 on samples of unvoiced stretches and bursts
  std::vector<double> gci_s;
  std::vector<Cycle> cycles;
};

void check(const Options& o) {
  if (!(o.sr >= 1000.0 && o.sr <= 768000.0)) {
    throw std::invalid_argument("sampling rate must lie in [1000, 768000] Hz");
  }
  if (o.segments.empty()) throw std::invalid_argument("no segment to synthesize");
  for (const Segment& s : o.segments) {
    if (!(s.duration_s > 0.0 && s.duration_s < 1e5)) {
      throw std::invalid_argument("segment durations must be positive");
    }
    if (s.kind == Segment::Kind::voiced) {
      for (double f : {s.f0_start_hz, s.f0_end_hz}) {
        if (!(f >= 20.0 && f <= o.sr / 4.0)) {
          throw std::invalid_argument("f0 must lie in [20 Hz, sr/4]");
        }
      }
      (void)vowel(s.vowel_start);
      (void)vowel(s.vowel_end);
    }
  }
  if (!(o.jitter >= 0.0 && o.jitter < 0.2))
    throw std::invalid_argument("jitter must lie in [0, 0.2)");
  if (!(o.shimmer >= 0.0 && o.shimmer < 0.5))
    throw std::invalid_argument("shimmer must lie in [0, 0.5)");
  if (!(o.vibrato_rate_hz >= 0.0 && o.vibrato_cents >= 0.0 && o.vibrato_cents <= 600.0)) {
    throw std::invalid_argument("vibrato rate and depth must be non-negative (depth <= 600 cents)");
  }
  if (!(o.ramp_s >= 0.0)) throw std::invalid_argument("ramp must be non-negative");
  if (!(o.unvoiced_level >= 0.0))
    throw std::invalid_argument("unvoiced level must be non-negative");
  if (o.noise != Noise::none && std::isnan(o.snr_db))
    throw std::invalid_argument("SNR is not a number");
  if (!(o.babble_talkers >= 1 && o.babble_talkers <= 100)) {
    throw std::invalid_argument("babble talkers must lie in [1, 100]");
  }
  if (!(o.peak > 0.0 && o.peak <= 1.0)) throw std::invalid_argument("peak must lie in (0, 1]");
}

// Glottal excitation of the voiced stretch s that starts at t0 s (samples n0 .. n1 - 1 of the
// sound, exc holding them from n0): one pulse per cycle, jittered and shimmered, faded at the
// stretch's ends; the cycles and closures are appended to c.
template <class Pulse>
void voiced_excitation(const Options& o, const Segment& s, double t0, std::size_t n0,
                       std::size_t n1, double te, const Pulse& pulse, Gauss& rng,
                       std::vector<double>& exc, Clean& c) {
  const double d = s.duration_s;
  const double lr = std::log(s.f0_end_hz / s.f0_start_hz);
  auto f0_at = [&](double t) {
    const double u = (t - t0) / d;
    const double vib = o.vibrato_cents / 1200.0 * std::sin(2.0 * kPi * o.vibrato_rate_hz * t);
    return s.f0_start_hz * std::exp(lr * u) * std::exp2(vib);
  };
  double t = t0;
  for (;;) {
    // Period from the f0 at the middle of the cycle, so glides keep the contour's count.
    double p0 = 1.0 / f0_at(t);
    for (int i = 0; i < 3; ++i) p0 = 1.0 / f0_at(t + 0.5 * p0);
    const double jit = std::clamp(o.jitter * rng(), -0.5, 0.5);
    const double period = p0 * (1.0 + jit);
    if (t + period > t0 + d) break;
    const double amp =
        ramp(t + te * period - t0, d, o.ramp_s) * std::max(0.0, 1.0 + o.shimmer * rng());
    c.cycles.push_back({t, period});
    c.gci_s.push_back(t + te * period);
    const auto a = static_cast<std::size_t>(std::ceil(t * o.sr));
    const auto b = std::min(n1, static_cast<std::size_t>(std::ceil((t + period) * o.sr)));
    for (std::size_t n = std::max(a, n0); n < b; ++n) {
      const double u = (static_cast<double>(n) / o.sr - t) / period;
      exc[n - n0] = amp * pulse(std::clamp(u, 0.0, 1.0));
    }
    t += period;
  }
}

Clean synthesize_clean(const Options& o, Gauss& rng) {
  check(o);
  double total_s = 0.0;
  for (const Segment& s : o.segments) total_s += s.duration_s;
  const auto n_total = static_cast<std::size_t>(std::llround(total_s * o.sr));
  Clean c;
  c.voice.assign(n_total, 0.0);
  c.hiss.assign(n_total, 0.0);
  c.voiced.assign(n_total, 0);
  c.noisy.assign(n_total, 0);

  const LfPulse lf(o.source == Source::lf ? o.rd : 1.0);
  const RosenbergPulse ros(o.open_quotient, o.speed_quotient);
  const double te = o.source == Source::lf ? lf.te() : ros.te();
  auto pulse = [&](double u) { return o.source == Source::lf ? lf(u) : ros(u); };

  std::array<Resonator, kFormants> formants;
  Resonator fric, burst;
  fric.tune(std::min(4500.0, 0.3 * o.sr), std::min(3000.0, 0.2 * o.sr), o.sr);
  burst.tune(std::min(2000.0, 0.2 * o.sr), std::min(2500.0, 0.2 * o.sr), o.sr);
  std::array<double, kFormants> ff{}, fb{};
  {
    const Vowel& v = kVowels[0];
    ff = v.f;
    fb = v.bw;
  }
  std::vector<double> exc;  // excitation of one stretch
  double t0 = 0.0;          // start of the stretch, seconds
  double prev_x = 0.0;      // last noise input (first difference: fricatives rise with frequency)
  for (const Segment& s : o.segments) {
    const auto n0 = static_cast<std::size_t>(std::llround(t0 * o.sr));
    const auto n1 =
        std::min(n_total, static_cast<std::size_t>(std::llround((t0 + s.duration_s) * o.sr)));
    const double d = s.duration_s;
    exc.assign(n1 - n0, 0.0);
    if (s.kind == Segment::Kind::voiced)
      voiced_excitation(o, s, t0, n0, n1, te, pulse, rng, exc, c);
    auto& mask = s.kind == Segment::Kind::voiced ? c.voiced : c.noisy;
    if (s.kind != Segment::Kind::silence) {
      std::fill(mask.begin() + static_cast<long>(n0), mask.begin() + static_cast<long>(n1), 1);
    }
    // Formant filter for the voice (its ringing carries over into the next stretch).
    const Vowel& va = s.kind == Segment::Kind::voiced ? vowel(s.vowel_start) : kVowels[0];
    const Vowel& vb = s.kind == Segment::Kind::voiced ? vowel(s.vowel_end) : kVowels[0];
    for (std::size_t n = n0; n < n1; ++n) {
      if (s.kind == Segment::Kind::voiced && (n - n0) % kCoefBlock == 0) {
        const double u = static_cast<double>(n - n0) / static_cast<double>(n1 - n0);
        for (int k = 0; k < kFormants; ++k) {
          ff[k] = va.f[k] + u * (vb.f[k] - va.f[k]);
          fb[k] = va.bw[k] + u * (vb.bw[k] - va.bw[k]);
          formants[k].tune(ff[k], fb[k], o.sr);
        }
      }
      double y = exc[n - n0];
      for (int k = 0; k < kFormants; ++k) {
        if (ff[k] < 0.45 * o.sr) y = formants[k](y);
      }
      c.voice[n] = y;
      double h = 0.0;
      const double u = (static_cast<double>(n) / o.sr) - t0;
      if (s.kind == Segment::Kind::unvoiced) {
        const double x = rng() * ramp(u, d, o.ramp_s);
        h = fric(x - prev_x);
        prev_x = x;
      } else if (s.kind == Segment::Kind::burst) {
        constexpr double kBurstDecayS = 0.008;  // decay time constant of a plosive burst, s
        h = burst(rng() * std::exp(-u / kBurstDecayS));
      } else {
        h = fric(-prev_x);
        prev_x = 0.0;
        h += burst(0.0);
      }
      c.hiss[n] = h;
    }
    t0 += s.duration_s;
  }
  return c;
}

double mean_square(const std::vector<double>& x, const std::vector<char>* mask) {
  double sum = 0.0;
  std::size_t count = 0;
  for (std::size_t i = 0; i < x.size(); ++i) {
    if (mask == nullptr || (*mask)[i]) {
      sum += x[i] * x[i];
      ++count;
    }
  }
  return count ? sum / static_cast<double>(count) : 0.0;
}

// Sum of several synthetic talkers with random phrases, unit mean square over n samples.
std::vector<double> babble(const Options& o, std::size_t n, Gauss& rng) {
  std::vector<double> sum(n, 0.0);
  const double need_s = static_cast<double>(n) / o.sr;
  for (int k = 0; k < o.babble_talkers; ++k) {
    Options t;
    t.sr = o.sr;
    t.seed = 0;
    t.segments.clear();
    const double lead_s = rng.uniform() * 0.5;  // random offset so the talkers do not align
    double dur = 0.0;
    while (dur < need_s + lead_s) {
      Segment v;
      v.kind = Segment::Kind::voiced;
      v.duration_s = 0.15 + 0.35 * rng.uniform();
      v.f0_start_hz = 90.0 * std::exp2(1.5 * rng.uniform());
      v.f0_end_hz = v.f0_start_hz * std::exp2(0.6 * (rng.uniform() - 0.5));
      v.vowel_start = kVowels[static_cast<std::size_t>(rng.uniform() * 5.0)].name;
      v.vowel_end = kVowels[static_cast<std::size_t>(rng.uniform() * 5.0)].name;
      t.segments.push_back(v);
      Segment u;
      u.kind = rng.uniform() < 0.5 ? Segment::Kind::unvoiced : Segment::Kind::silence;
      u.duration_s = 0.03 + 0.1 * rng.uniform();
      t.segments.push_back(u);
      dur += v.duration_s + u.duration_s;
    }
    Gauss trng(static_cast<std::uint64_t>(rng.uniform() * 0x1.0p62));
    const Clean c = synthesize_clean(t, trng);
    std::vector<double> x(c.voice.size());
    for (std::size_t i = 0; i < x.size(); ++i) x[i] = c.voice[i] + 0.2 * c.hiss[i];
    const double ms = mean_square(x, nullptr);
    const double g = ms > 0.0 ? 1.0 / std::sqrt(ms) : 0.0;
    const auto off = static_cast<std::size_t>(lead_s * o.sr);
    for (std::size_t i = 0; i < n && i + off < x.size(); ++i) sum[i] += g * x[i + off];
  }
  const double ms = mean_square(sum, nullptr);
  if (ms > 0.0) {
    const double g = 1.0 / std::sqrt(ms);
    for (double& v : sum) v *= g;
  }
  return sum;
}

std::string stem(const std::string& path) {
  const std::size_t slash = path.find_last_of('/');
  const std::size_t dot = path.find_last_of('.');
  if (dot == std::string::npos || (slash != std::string::npos && dot < slash)) return path;
  return path.substr(0, dot);
}

// The phrase with its f0 and its durations scaled (bursts keep their length).
Options scaled(const Options& o) {
  if (!(o.pitch_scale > 0.0 && o.time_scale > 0.0)) {
    throw std::invalid_argument("pitch and time scales must be positive");
  }
  Options s = o;
  for (Segment& g : s.segments) {
    g.f0_start_hz *= o.pitch_scale;
    g.f0_end_hz *= o.pitch_scale;
    if (g.kind != Segment::Kind::burst) g.duration_s *= o.time_scale;
  }
  return s;
}

}  // namespace

Result synthesize(const Options& options) {
  const Options o = scaled(options);
  Gauss rng(o.seed);
  Clean c = synthesize_clean(o, rng);
  const std::size_t n = c.voice.size();

  // Fricatives and bursts at their level relative to the voice.
  const double voice_ms = mean_square(c.voice, &c.voiced);
  const double hiss_ms = mean_square(c.hiss, &c.noisy);
  const double hg = hiss_ms > 0.0 && voice_ms > 0.0
                        ? o.unvoiced_level * std::sqrt(voice_ms / hiss_ms)
                        : (hiss_ms > 0.0 ? o.unvoiced_level / std::sqrt(hiss_ms) : 0.0);
  std::vector<double> x(n);
  for (std::size_t i = 0; i < n; ++i) x[i] = c.voice[i] + hg * c.hiss[i];
  const double voiced_ms = voice_ms > 0.0 ? mean_square(x, &c.voiced) : mean_square(x, nullptr);

  std::vector<double> noise;
  if (o.noise != Noise::none && std::isfinite(o.snr_db)) {
    Gauss nrng(o.seed ^ 0x9E3779B97F4A7C15ull);  // own stream: the voice does not depend on it
    if (o.noise == Noise::white) {
      noise.resize(n);
      for (double& v : noise) v = nrng();
    } else {
      noise = babble(o, n, nrng);
    }
    const double g = std::sqrt(voiced_ms / std::pow(10.0, o.snr_db / 10.0));
    for (std::size_t i = 0; i < n; ++i) x[i] += g * noise[i];
  }
  double peak = 0.0;
  for (double v : x) peak = std::max(peak, std::abs(v));
  const double scale = peak > 0.0 ? o.peak / peak : 1.0;

  Result r;
  r.signal.resize(n);
  for (std::size_t i = 0; i < n; ++i) r.signal[i] = static_cast<float>(x[i] * scale);
  r.voiced_power = voiced_ms * scale * scale;
  r.noise_power = noise.empty() ? 0.0 : voiced_ms / std::pow(10.0, o.snr_db / 10.0) * scale * scale;
  r.gci_s = std::move(c.gci_s);
  r.gci_n.reserve(r.gci_s.size());
  for (double t : r.gci_s) r.gci_n.push_back(std::lround(t * o.sr));

  const double dur_s = static_cast<double>(n) / o.sr;
  const auto frames = static_cast<std::size_t>(std::floor(dur_s / kF0StepS + 1e-9)) + 1;
  r.f0_t.resize(frames);
  r.f0_hz.assign(frames, 0.0);
  std::size_t k = 0;
  for (std::size_t i = 0; i < frames; ++i) {
    const double t = static_cast<double>(i) * kF0StepS;
    r.f0_t[i] = t;
    while (k < c.cycles.size() && c.cycles[k].start_s + c.cycles[k].period_s <= t) ++k;
    if (k >= c.cycles.size() || c.cycles[k].start_s > t) continue;
    // The rate of each cycle belongs to its middle; between two middles of one voiced stretch
    // the f0 is interpolated, so a glide does not read as a staircase of cycle lengths.
    auto mid = [&](std::size_t j) { return c.cycles[j].start_s + 0.5 * c.cycles[j].period_s; };
    auto joined = [&](std::size_t a, std::size_t b) {
      return std::abs(c.cycles[a].start_s + c.cycles[a].period_s - c.cycles[b].start_s) < 1e-9;
    };
    std::size_t a = k, b = k;
    if (t < mid(k) && k > 0 && joined(k - 1, k)) a = k - 1;
    if (t >= mid(k) && k + 1 < c.cycles.size() && joined(k, k + 1)) b = k + 1;
    const double fa = 1.0 / c.cycles[a].period_s, fb = 1.0 / c.cycles[b].period_s;
    r.f0_hz[i] = a == b ? fa : fa + (fb - fa) * (t - mid(a)) / (mid(b) - mid(a));
  }
  return r;
}

std::vector<Segment> parse_segments(const std::string& text) {
  std::vector<Segment> out;
  std::size_t pos = 0;
  while (pos <= text.size()) {
    const std::size_t end = std::min(text.find(',', pos), text.size());
    const std::string item = text.substr(pos, end - pos);
    pos = end + 1;
    auto bad = [&](const std::string& why) {
      return std::invalid_argument("bad segment '" + item + "': " + why);
    };
    std::vector<std::string> f;
    for (std::size_t p = 0;;) {
      const std::size_t q = item.find(':', p);
      f.push_back(item.substr(p, q == std::string::npos ? std::string::npos : q - p));
      if (q == std::string::npos) break;
      p = q + 1;
    }
    auto number = [&](const std::string& s) {
      std::size_t used = 0;
      double v = 0.0;
      try {
        v = std::stod(s, &used);
      } catch (const std::exception&) {
        used = 0;
      }
      if (used == 0 || used != s.size() || !std::isfinite(v))
        throw bad("'" + s + "' is not a number");
      return v;
    };
    auto pair = [&](const std::string& s, auto convert) {
      const std::size_t dash = s.find('-', 1);
      if (dash == std::string::npos) return std::make_pair(convert(s), convert(s));
      return std::make_pair(convert(s.substr(0, dash)), convert(s.substr(dash + 1)));
    };
    Segment s;
    if (f[0] == "v")
      s.kind = Segment::Kind::voiced;
    else if (f[0] == "u")
      s.kind = Segment::Kind::unvoiced;
    else if (f[0] == "s")
      s.kind = Segment::Kind::silence;
    else if (f[0] == "b")
      s.kind = Segment::Kind::burst;
    else
      throw bad("kind must be v, u, s or b");
    if (f.size() < 2) throw bad("missing duration");
    const std::size_t max_fields = s.kind == Segment::Kind::voiced ? 4 : 2;
    if (f.size() > max_fields) throw bad("too many fields");
    s.duration_s = number(f[1]);
    if (!(s.duration_s > 0.0)) throw bad("duration must be positive");
    if (f.size() >= 3) std::tie(s.f0_start_hz, s.f0_end_hz) = pair(f[2], number);
    if (f.size() >= 4) {
      auto letter = [&](const std::string& v) {
        if (v.size() != 1) throw bad("vowel must be one of a e i o u");
        (void)vowel(v[0]);
        return v[0];
      };
      std::tie(s.vowel_start, s.vowel_end) = pair(f[3], letter);
    }
    out.push_back(s);
  }
  return out;
}

bool write_wav(const std::string& path, const std::vector<float>& signal, double sr,
               Encoding encoding) {
  AFfilesetup setup = afNewFileSetup();
  afInitFileFormat(setup, AF_FILE_WAVE);
  afInitChannels(setup, AF_DEFAULT_TRACK, 1);
  afInitRate(setup, AF_DEFAULT_TRACK, sr);
  if (encoding == Encoding::pcm16) {
    afInitSampleFormat(setup, AF_DEFAULT_TRACK, AF_SAMPFMT_TWOSCOMP, 16);
  } else {
    afInitSampleFormat(setup, AF_DEFAULT_TRACK, AF_SAMPFMT_FLOAT, 32);
  }
  AFfilehandle file = afOpenFile(path.c_str(), "w", setup);
  afFreeFileSetup(setup);
  if (file == AF_NULL_FILEHANDLE) return false;
  bool ok = true;
  constexpr std::size_t kBlock = 4096;  // frames per write call
  std::vector<std::int16_t> pcm;
  for (std::size_t i = 0; i < signal.size() && ok; i += kBlock) {
    const std::size_t m = std::min(kBlock, signal.size() - i);
    AFframecount done = 0;
    if (encoding == Encoding::pcm16) {
      pcm.resize(m);
      for (std::size_t j = 0; j < m; ++j) {
        const double v =
            std::clamp(static_cast<double>(signal[i + j]) * 32768.0, -32768.0, 32767.0);
        pcm[j] = static_cast<std::int16_t>(std::lround(v));
      }
      done = afWriteFrames(file, AF_DEFAULT_TRACK, pcm.data(), static_cast<int>(m));
    } else {
      done = afWriteFrames(file, AF_DEFAULT_TRACK, signal.data() + i, static_cast<int>(m));
    }
    ok = done == static_cast<AFframecount>(m);
  }
  if (afCloseFile(file) != 0) ok = false;
  if (!ok) std::remove(path.c_str());
  return ok;
}

std::string gci_path(const std::string& sound_path) {
  return stem(sound_path) + ".gci.txt";
}
std::string f0_path(const std::string& sound_path) {
  return stem(sound_path) + ".f0.txt";
}

bool write_truth(const std::string& sound_path, const Result& r) {
  struct Closer {
    void operator()(std::FILE* f) const { std::fclose(f); }
  };
  auto write = [](const std::string& path, auto body) {
    std::unique_ptr<std::FILE, Closer> f(std::fopen(path.c_str(), "w"));
    if (!f) return false;
    body(f.get());
    const bool ok = std::ferror(f.get()) == 0;
    return std::fclose(f.release()) == 0 && ok;
  };
  return write(gci_path(sound_path),
               [&](std::FILE* f) {
                 std::fprintf(f, "# glottal closure: time_s sample_index\n");
                 for (std::size_t i = 0; i < r.gci_s.size(); ++i) {
                   std::fprintf(f, "%.9f %ld\n", r.gci_s[i], r.gci_n[i]);
                 }
               }) &&
         write(f0_path(sound_path), [&](std::FILE* f) {
           std::fprintf(f, "# f0 every 5 ms: time_s f0_hz (0 unvoiced)\n");
           for (std::size_t i = 0; i < r.f0_t.size(); ++i) {
             std::fprintf(f, "%.3f %.4f\n", r.f0_t[i], r.f0_hz[i]);
           }
         });
}

}  // namespace glotsynth
