// Accuracy and speed of the resynthesis (glotmark-psola) against the true targets of the
// generator of test sounds, side by side with Praat's overlap-add resynthesis.
//
// Reproduce (from the repository root):
//   cmake -S . -B build -DCMAKE_BUILD_TYPE=Release
//   cmake --build build --target bench_psola glotmark harmex_program -j2
//   build/bin/bench_psola                 # all factors, Praat where installed, speed
//   build/bin/bench_psola --no-praat --no-speed --seed=7
//   build/bin/bench_psola --hybrid        # the same with --hybrid
//   build/bin/bench_psola --true-marks --no-real --no-speed
//
// Material: a 25 s phrase from the generator (44.1 kHz, LF source, 0.5 % jitter, 3 % shimmer):
// 54 units of silence, a 25 ms burst, a voiced stretch gliding between 95 and 185 Hz over two
// vowels and a fricative. The true target of a pitch factor K is the same phrase with every f0
// times K (same vowels, source shape, jitter and shimmer amounts, timing); of a duration factor
// R the same phrase with every stretch but the bursts R times as long. The source is analysed
// by the built glotmark program (-S, defaults; not timed) and resynthesised in process.
//
// Figures per factor, for our resynthesis and for Praat's (To Manipulation 0.01 75 600, the
// PitchTier multiplied by K or a DurationTier of R, Get resynthesis (overlap-add)):
//   SNR      identity only: input power / (output - input) power, dB (target >= 60)
//   f0 err   median |f0 / expected - 1| in % over the interior voiced frames of the truth, f0
//            measured by harmex (and by Praat's To Pitch (ac) where installed; target <= 1 %)
//   gross    share of those frames off by more than 20 % (target < 1 %)
//   LSD      log-spectral distance to the true target, dB: 46 ms Hann frames every 10 ms on the
//            target's interior voiced frames, 60 Hz - 5 kHz, power floored at -60 dB of the
//            frame's peak, one global gain removed (the generator normalises each sound's peak)
//   dur      output length - R x input length, in periods of the median f0 (target |.| <= 1)
//   bursts   onsets of bursts in the output (sudden rises of the differenced signal's energy
//            by 15 dB within 1 ms), against the input's (target: equal; Praat's doubles appear
//            as extra onsets)
//   LSD mid  the same on the frames voiced 60 ms on either side (away from onsets and offsets)
// Rows: "ours", "truth" (the true target itself, measured the same way: what the measuring
// trackers get wrong on a perfect output) and "Praat".
// --true-marks moves every voiced mark of the analysis onto the source's nearest true glottal
// closure before resynthesis: the resynthesis measured apart from the errors of the marks.
// --f0min=HZ sets harmex's lowest f0 for the measurements (K = 0.5 asks for 47.5 Hz, below its
// default of 50 Hz).
// Real recordings (/work/shared/realspeech): f0 of the output against the factor times the
// reference, on every voiced frame and on the frames where harmex measures the input itself
// within 20 % (elsewhere the figure is the tracker's error on the voice, not the resynthesis's).
// Speed: resynthesis alone (analysis read beforehand) of 1 and 10 minutes of the material at
// factor 1, K = 1.4 and R = 1.5, times faster than real time (best of 3, by the clock and by
// processor time; target >= 500) and the 10 min / 1 min cost per second (linear: about 1).
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <ctime>
#include <filesystem>
#include <fstream>
#include <functional>
#include <numbers>
#include <string>
#include <vector>

#include "bench_util.h"
#include "glotsynth.h"
#include "harmex/harmex.h"
#include "ondule/ondule.h"
#include "psola/read_pso.h"
#include "psola/read_sound.h"
#include "psola/resynthesize.h"
#include "psola/time_map.h"
#include "psola/widen_transients.h"

namespace {

namespace fs = std::filesystem;
constexpr double kSr = 44100.0;

struct Args {
  bool praat = true, speed = true, hybrid = false, real = true, true_marks = false, accuracy = true;
  std::uint64_t seed = 1;
};

std::string phrase(int units) {
  std::string s;
  const char vowels[] = "aeiou";
  for (int i = 0; i < units; ++i) {
    const double f0a = 95.0 + std::fmod(37.0 * i, 90.0);
    const double f0b = 95.0 + std::fmod(53.0 * i + 40.0, 90.0);
    char buf[160];
    std::snprintf(buf, sizeof buf, "s:0.06,b:0.025,v:0.30:%.0f-%.0f:%c-%c,u:0.08,", f0a, f0b,
                  vowels[i % 5], vowels[(i * 3 + 1) % 5]);
    s += buf;
  }
  s += "s:0.1";
  return s;
}

glotsynth::Options voice(int units, std::uint64_t seed, double k, double r) {
  glotsynth::Options o;
  o.sr = kSr;
  o.segments = glotsynth::parse_segments(phrase(units));
  o.jitter = 0.005;
  o.shimmer = 0.03;
  o.seed = seed;
  o.pitch_scale = k;
  o.time_scale = r;
  return o;
}

std::vector<float> to_float(const std::vector<double>& v) {
  return {v.begin(), v.end()};
}

std::vector<double> resynth(const std::vector<float>& x, const PsoAnalysis& a,
                            const PsolaSettings& s) {
  std::vector<double> y;
  y.reserve(static_cast<std::size_t>(static_cast<double>(x.size()) * s.time) + 1000);
  (void)resynthesize(x, kSr, a, s,
                     [&](const double* v, std::size_t n) { y.insert(y.end(), v, v + n); }, {});
  return y;
}

// Maps an output time to the input time it comes from (seconds).
using ToInput = std::function<double(double)>;

// f0 of the source's truth at input time t (Hz, 0 unvoiced), from its 5 ms grid.
double truth_f0(const std::vector<double>& f0, double t) {
  const long i = std::lround(t / glotsynth::kF0StepS);
  return i >= 0 && i < static_cast<long>(f0.size()) ? f0[i] : 0.0;
}

// Voiced 20 ms on either side too: away from the edges of voiced stretches.
bool interior(const std::vector<double>& truth, double t) {
  return truth_f0(truth, t - 0.02) > 0.0 && truth_f0(truth, t) > 0.0 &&
         truth_f0(truth, t + 0.02) > 0.0;
}

struct F0Score {
  double median_pct = 0.0, gross_pct = 0.0;
  bool ok = false;
};

// est: f0 of the output every 5 ms from t = 0 (0 = unvoiced); expected at output time t:
// factor x the source's true f0 at to_input(t). Appends |est / expected - 1| of each scored
// frame (1 for an unvoiced estimate) to err.
void f0_errors(const std::vector<double>& est, const std::vector<double>& source, double factor,
               const ToInput& to_input, std::vector<double>& err) {
  for (std::size_t i = 0; i < est.size(); ++i) {
    const double t = to_input(glotsynth::kF0StepS * static_cast<double>(i));
    if (!interior(source, t)) continue;
    const double ref = factor * truth_f0(source, t);
    err.push_back(est[i] > 0.0 ? std::abs(est[i] / ref - 1.0) : 1.0);
  }
}

F0Score summary(std::vector<double> err) {
  F0Score s;
  if (err.empty()) return s;
  const auto gross = std::count_if(err.begin(), err.end(), [](double e) { return e > 0.2; });
  std::nth_element(err.begin(), err.begin() + static_cast<long>(err.size() / 2), err.end());
  s.median_pct = 100.0 * err[err.size() / 2];
  s.gross_pct = 100.0 * static_cast<double>(gross) / static_cast<double>(err.size());
  s.ok = true;
  return s;
}

F0Score score_f0(const std::vector<double>& est, const std::vector<double>& source, double factor,
                 const ToInput& to_input) {
  std::vector<double> err;
  f0_errors(est, source, factor, to_input, err);
  return summary(std::move(err));
}

double g_f0min_hz = 0.0;  // --f0min: harmex's lowest f0 when measuring (0: its default)

std::vector<double> harmex_f0(const std::vector<float>& y, double sr = kSr) {
  harmex::Options o;
  if (g_f0min_hz > 0.0) o.f0min_hz = g_f0min_hz;
  const harmex::Track t = harmex::estimate_f0(y.data(), y.size(), sr, o);
  std::vector<double> f(t.f0_hz.size());
  for (std::size_t i = 0; i < f.size(); ++i) f[i] = t.voiced[i] ? t.f0_hz[i] : 0.0;
  return f;
}

bool write_float_wav(const std::string& path, const std::vector<float>& y) {
  return glotsynth::write_wav(path, y, kSr, glotsynth::Encoding::float32);
}

bool have_praat() {
  return access("/usr/bin/praat", X_OK) == 0;
}

// Praat's To Pitch (ac) at 5 ms, 40-800 Hz, resampled onto the 5 ms grid from t = 0.
std::vector<double> praat_f0(const std::string& wav, const fs::path& tmp) {
  const fs::path script = tmp / "pitch.praat", out = tmp / "pitch.txt";
  std::ofstream(script) << "form Pitch\n  sentence wav\n  sentence out\nendform\n"
                           "Read from file: wav$\nTo Pitch (ac): 0.005, 40, 15, \"no\", 0.03, "
                           "0.45, 0.01, 0.35, 0.14, 800\n"
                           "n = Get number of frames\ndeleteFile: out$\nfor i to n\n"
                           "  t = Get time from frame number: i\n"
                           "  f = Get value in frame: i, \"Hertz\"\n"
                           "  if f = undefined\n    f = 0\n  endif\n"
                           "  appendFileLine: out$, fixed$(t, 6), \" \", fixed$(f, 3)\nendfor\n";
  std::vector<double> f;
  if (benchutil::run_program({"/usr/bin/praat", "--run", script.string(), wav, out.string()})
          .status != 0) {
    return f;
  }
  std::ifstream in(out);
  double t = 0.0, v = 0.0;
  while (in >> t >> v) {
    const auto i = static_cast<std::size_t>(std::lround(t / 0.005));
    if (f.size() <= i) f.resize(i + 1, 0.0);
    f[i] = v;
  }
  return f;
}

// Praat's overlap-add resynthesis of wav with the PitchTier times k and a DurationTier r.
std::vector<float> praat_psola(const std::string& wav, double k, double r, const fs::path& tmp) {
  const fs::path script = tmp / "psola.praat", out = tmp / "praat-out.wav";
  std::ofstream(script) << "form Psola\n  sentence wav\n  sentence out\n  real k 1\n  real r 1\n"
                           "endform\nsnd = Read from file: wav$\n"
                           "man = To Manipulation: 0.01, 75, 600\n"
                           "if k <> 1\n  selectObject: man\n  pt = Extract pitch tier\n"
                           "  Formula: \"self * \" + string$(k)\n"
                           "  plusObject: man\n  Replace pitch tier\nendif\n"
                           "if r <> 1\n  dt = Create DurationTier: \"d\", 0, 1000\n"
                           "  Add point: 0, r\n  plusObject: man\n  Replace duration tier\n"
                           "endif\nselectObject: man\nres = Get resynthesis (overlap-add)\n"
                           "Save as WAV file: out$\n";
  std::error_code ec;
  fs::remove(out, ec);
  char ks[32], rs[32];
  std::snprintf(ks, sizeof ks, "%.6g", k);
  std::snprintf(rs, sizeof rs, "%.6g", r);
  if (benchutil::run_program(
          {"/usr/bin/praat", "--run", script.string(), wav, out.string(), ks, rs})
          .status != 0) {
    return {};
  }
  try {
    return read_sound(out.string()).x;
  } catch (const PsolaError&) {
    return {};
  }
}

// Log power spectra (dB) of 2048-point Hann frames centred every 10 ms, bins 60 Hz - 5 kHz.
std::vector<std::vector<double>> spectra(const std::vector<float>& y,
                                         const std::vector<std::size_t>& centres) {
  constexpr int kN = 2048;
  const int lo = static_cast<int>(60.0 / kSr * kN), hi = static_cast<int>(5000.0 / kSr * kN);
  std::vector<double> buf(2 * kN), w(kN);
  for (int i = 0; i < kN; ++i) w[i] = 0.5 - 0.5 * std::cos(2.0 * std::numbers::pi * i / kN);
  std::vector<std::vector<double>> out;
  for (const std::size_t c : centres) {
    for (int i = 0; i < kN; ++i) {
      const long k = static_cast<long>(c) - kN / 2 + i;
      buf[2 * i] = k >= 0 && k < static_cast<long>(y.size()) ? w[i] * y[k] : 0.0;
      buf[2 * i + 1] = 0.0;
    }
    ondule::complexfft(buf.data(), buf.data(), kN, 1);
    std::vector<double> p(static_cast<std::size_t>(hi - lo));
    double top = 1e-30;
    for (int b = lo; b < hi; ++b) {
      p[b - lo] = buf[2 * b] * buf[2 * b] + buf[2 * b + 1] * buf[2 * b + 1];
      top = std::max(top, p[b - lo]);
    }
    for (double& v : p) v = 10.0 * std::log10(std::max(v, 1e-6 * top));
    out.push_back(std::move(p));
  }
  return out;
}

// Voiced 60 ms on either side: away from the onsets and offsets, where the marks of the
// analysis are least sure.
bool mid_vowel(const std::vector<double>& truth, double t) {
  return truth_f0(truth, t - 0.06) > 0.0 && interior(truth, t) && truth_f0(truth, t + 0.06) > 0.0;
}

struct Lsd {
  double all = NAN, mid = NAN;  // dB: every scored frame, the mid-vowel frames only
};

// Mean log-spectral distance (dB) between y and the target every 10 ms of y on the interior
// voiced frames of the source, y at output time t against the target at
// to_target(to_input(t)), after removing one global gain.
Lsd lsd(const std::vector<float>& y, const std::vector<float>& target,
        const std::vector<double>& source, const ToInput& to_input, const ToInput& to_target) {
  std::vector<std::size_t> cy, ct;
  std::vector<char> mid;
  for (double t = 0.0; t * kSr < static_cast<double>(y.size()); t += 0.01) {
    const double u = to_input(t);
    if (!interior(source, u)) continue;
    cy.push_back(static_cast<std::size_t>(t * kSr));
    ct.push_back(static_cast<std::size_t>(to_target(u) * kSr));
    mid.push_back(mid_vowel(source, u) ? 1 : 0);
  }
  Lsd r;
  if (cy.empty()) return r;
  const auto a = spectra(y, cy), b = spectra(target, ct);
  double mean = 0.0, count = 0.0;
  for (std::size_t f = 0; f < a.size(); ++f) {
    for (std::size_t k = 0; k < a[f].size(); ++k) mean += a[f][k] - b[f][k], count += 1.0;
  }
  mean /= count;
  double sum = 0.0, sum_mid = 0.0, n_mid = 0.0;
  for (std::size_t f = 0; f < a.size(); ++f) {
    double d2 = 0.0;
    for (std::size_t k = 0; k < a[f].size(); ++k) {
      const double d = a[f][k] - b[f][k] - mean;
      d2 += d * d;
    }
    const double d = std::sqrt(d2 / static_cast<double>(a[f].size()));
    sum += d;
    if (mid[f]) sum_mid += d, n_mid += 1.0;
  }
  r.all = sum / static_cast<double>(a.size());
  r.mid = n_mid > 0.0 ? sum_mid / n_mid : NAN;
  return r;
}

// The generator's own time map of a duration factor r: input time to the target's time, every
// stretch but the bursts scaled by r.
ToInput generator_map(const std::vector<glotsynth::Segment>& segments, double r) {
  return [segments, r](double t) {
    double start = 0.0, mapped = 0.0;
    for (const glotsynth::Segment& g : segments) {
      const double f = g.kind == glotsynth::Segment::Kind::burst ? 1.0 : r;
      if (t < start + g.duration_s) return mapped + f * (t - start);
      start += g.duration_s;
      mapped += f * g.duration_s;
    }
    return mapped + r * (t - start);
  };
}

// Onsets of bursts: 1 ms frames of the differenced signal whose energy exceeds 30 times the
// largest of the 6 frames before and -40 dB of the loudest frame, and whose spectrum is that of
// a burst rather than a voice (differenced energy at least 0.03 of the plain energy, about the
// level above 1 kHz); one onset per 10 ms.
int bursts(const std::vector<float>& y, std::vector<double>* at = nullptr) {
  const std::size_t hop = static_cast<std::size_t>(kSr / 1000.0);
  std::vector<double> e, plain;
  for (std::size_t s = 1; s + hop <= y.size(); s += hop) {
    double v = 0.0, p = 0.0;
    for (std::size_t i = s; i < s + hop; ++i) {
      const double d = static_cast<double>(y[i]) - y[i - 1];
      v += d * d;
      p += static_cast<double>(y[i]) * y[i];
    }
    e.push_back(v);
    plain.push_back(p);
  }
  const double top = e.empty() ? 0.0 : *std::max_element(e.begin(), e.end());
  int count = 0;
  std::size_t last = 0;
  for (std::size_t i = 6; i < e.size(); ++i) {
    const double before =
        *std::max_element(e.begin() + static_cast<long>(i) - 6, e.begin() + static_cast<long>(i));
    if (e[i] > 30.0 * before && e[i] > 1e-4 * top && e[i] >= 0.03 * plain[i] &&
        (count == 0 || i >= last + 10)) {
      ++count;
      last = i;
      if (at) at->push_back(static_cast<double>(i * hop) / kSr);
    }
  }
  return count;
}

double snr_db(const std::vector<float>& x, const std::vector<float>& y) {
  double s = 0.0, e = 0.0;
  for (std::size_t i = 0; i < x.size(); ++i) {
    const double d = (i < y.size() ? y[i] : 0.0) - x[i];
    s += static_cast<double>(x[i]) * x[i];
    e += d * d;
  }
  e += y.size() > x.size() ? 1.0 : 0.0;  // a length mismatch is an error
  return e > 0.0 ? 10.0 * std::log10(s / e) : INFINITY;
}

struct Row {
  std::string what;
  double snr = NAN, f0_h = NAN, gross_h = NAN, f0_p = NAN, gross_p = NAN, dur = NAN;
  Lsd lsd;
  int bursts = -1;
};

void print_row(const char* who, const Row& r) {
  std::printf(
      "  %-6s %-9s SNR %7.1f  f0 err %5.2f %% (Praat-measured %5.2f %%)  gross %5.2f %% "
      "(%5.2f %%)  LSD %5.2f dB (mid-vowel %5.2f)  dur %+6.2f periods  bursts %3d\n",
      who, r.what.c_str(), r.snr, r.f0_h, r.f0_p, r.gross_h, r.gross_p, r.lsd.all, r.lsd.mid, r.dur,
      r.bursts);
}

struct Material {
  glotsynth::Result source;
  std::vector<glotsynth::Segment> segments;  // the source's phrase
  std::vector<float> x;
  PsoAnalysis analysis;
  std::string wav;
  double period = 0.0;  // samples, at the median f0
};

Material make_material(int units, std::uint64_t seed, const fs::path& dir) {
  Material m;
  m.segments = voice(units, seed, 1.0, 1.0).segments;
  m.source = glotsynth::synthesize(voice(units, seed, 1.0, 1.0));
  m.x = m.source.signal;
  m.wav = (dir / ("src" + std::to_string(units) + ".wav")).string();
  if (!write_float_wav(m.wav, m.x)) throw std::runtime_error("cannot write " + m.wav);
  const auto run = benchutil::run_program(
      {std::string(GLOTMARK_BIN_DIR) + "/glotmark", "-i", m.wav, "-S"}, {dir.string()});
  if (run.status != 0) throw std::runtime_error("the analysis of " + m.wav + " failed");
  m.analysis = read_pso(
      (dir / ("PSOsrc" + std::to_string(units)) / ("src" + std::to_string(units) + ".1PSO.sdif"))
          .string());
  std::vector<double> f0;
  for (const double f : m.source.f0_hz) {
    if (f > 0.0) f0.push_back(f);
  }
  std::nth_element(f0.begin(), f0.begin() + static_cast<long>(f0.size() / 2), f0.end());
  m.period = kSr / f0[f0.size() / 2];
  return m;
}

// Moves every voiced mark onto the source's nearest glottal closure (within a third of its
// period): the resynthesis measured apart from the errors of the marks.
void snap_to_closures(Material& m) {
  const std::vector<long>& g = m.source.gci_n;
  int moved = 0;
  for (PsoMark& k : m.analysis.marks) {
    if (!k.voiced || k.transient || g.empty() || k.f0 <= 0.0) continue;
    auto it = std::lower_bound(g.begin(), g.end(), static_cast<long>(k.pos));
    double best = 1e30, at = k.pos;
    for (auto c = it == g.begin() ? it : it - 1; c != g.end() && c <= it; ++c) {
      if (std::abs(static_cast<double>(*c) - k.pos) < best) best = std::abs(*c - k.pos), at = *c;
    }
    if (best < kSr / k.f0 / 3.0) k.pos = at, ++moved;
  }
  // Two marks snapped onto one closure: keep the order strict.
  for (std::size_t i = 1; i < m.analysis.marks.size(); ++i) {
    PsoMark& k = m.analysis.marks[i];
    k.pos = std::max(k.pos, m.analysis.marks[i - 1].pos + 1.0);
  }
  std::printf("(voiced marks moved onto the true closures: %d)\n", moved);
}

Row measure(const std::string& what, const std::vector<float>& y, const Material& m, double k,
            double r, const std::vector<float>& target, const ToInput& to_input, const Args& args,
            const fs::path& tmp) {
  Row row;
  row.what = what;
  if (y.empty()) return row;
  if (k == 1.0 && r == 1.0) row.snr = snr_db(m.x, y);
  const std::vector<double> est = harmex_f0(y);
  const F0Score h = score_f0(est, m.source.f0_hz, k, to_input);
  row.f0_h = h.median_pct;
  row.gross_h = h.gross_pct;
  if (args.praat && have_praat()) {
    const std::string wav = (tmp / "measured.wav").string();
    if (write_float_wav(wav, y)) {
      const F0Score p = score_f0(praat_f0(wav, tmp), m.source.f0_hz, k, to_input);
      if (p.ok) row.f0_p = p.median_pct, row.gross_p = p.gross_pct;
    }
  }
  row.lsd = lsd(y, target, m.source.f0_hz, to_input, generator_map(m.segments, r));
  row.dur = (static_cast<double>(y.size()) - r * static_cast<double>(m.x.size())) / m.period;
  row.bursts = bursts(y);
  return row;
}

void accuracy(const Args& args, const fs::path& tmp) {
  const int units = 54;
  Material m = make_material(units, args.seed, tmp);
  if (args.true_marks) snap_to_closures(m);
  std::printf(
      "material: %.1f s, %zu marks, %d burst onsets in the source, median period %.0f "
      "samples\n",
      static_cast<double>(m.x.size()) / kSr, m.analysis.marks.size(), bursts(m.x), m.period);
  const bool praat = args.praat && have_praat();
  if (!praat) std::printf("(Praat not run: %s)\n", args.praat ? "not installed" : "--no-praat");
  struct Case {
    double k, r;
  } cases[] = {{1, 1}, {0.5, 1}, {0.7, 1}, {1.4, 1}, {2, 1}, {1, 0.5}, {1, 1.5}, {1, 2}, {1, 3}};
  for (const Case& c : cases) {
    char what[32];
    std::snprintf(what, sizeof what, c.r == 1.0 ? "K=%.2g" : "R=%.2g", c.r == 1.0 ? c.k : c.r);
    const glotsynth::Result target = glotsynth::synthesize(voice(units, args.seed, c.k, c.r));
    PsolaSettings s;
    s.pitch = c.k;
    s.time = c.r;
    s.hybrid = args.hybrid;
    const std::vector<float> y = to_float(resynth(m.x, m.analysis, s));
    const TimeMap map = time_map(widen_transients(m.analysis.marks, m.x, kSr), m.x.size(), kSr, s);
    const ToInput ours = [&map](double t) { return map_back(map, t * kSr) / kSr; };
    print_row("ours", measure(what, y, m, c.k, c.r, target.signal, ours, args, tmp));
    if (std::getenv("BURSTS")) {
      std::vector<double> a, b;
      bursts(m.x, &a);
      bursts(y, &b);
      for (const double t : b) {
        const double u = ours(t);
        bool matched = false;
        for (const double v : a) matched = matched || std::abs(v - u) < 0.015;
        if (matched) continue;
        std::printf("extra onset at output %.3f s (input %.3f):", t, u);
        for (int d = -12; d <= 12; ++d) {
          const long s0 = std::lround((t + d * 0.001) * kSr);
          double e = 0.0;
          for (long i = s0; i < s0 + 44 && i > 0 && i < static_cast<long>(y.size()); ++i) {
            e += (y[i] - y[i - 1]) * (y[i] - y[i - 1]);
          }
          std::printf(" %.0f", 10.0 * std::log10(e + 1e-12));
        }
        std::printf("\n   marks:");
        for (const PsoMark& k : m.analysis.marks) {
          if (std::abs(k.pos / kSr - u) < 0.03) {
            std::printf(" %+.1f%c", (k.pos / kSr - u) * 1000,
                        k.transient ? 'T' : (k.voiced ? 'V' : 'U'));
          }
        }
        std::printf("\n");
      }
    }
    if (c.r == 1.0) {
      const ToInput same = [](double t) { return t; };
      print_row("truth", measure(what, target.signal, m, c.k, c.r, target.signal, same, args, tmp));
    }
    if (praat) {
      const std::vector<float> p = praat_psola(m.wav, c.k, c.r, tmp);
      const ToInput theirs = [r = c.r](double t) { return t / r; };
      print_row("Praat", measure(what, p, m, c.k, c.r, target.signal, theirs, args, tmp));
    }
    std::fflush(stdout);
  }
}

// The reference f0 of a real recording (time_s,f0_hz,voiced every 5 ms), 0 where unvoiced.
std::vector<double> read_reference(const fs::path& path) {
  std::ifstream in(path);
  std::string line;
  std::vector<double> f0;
  std::getline(in, line);  // header
  while (std::getline(in, line)) {
    double t = 0.0, f = 0.0;
    int voiced = 0;
    if (std::sscanf(line.c_str(), "%lf,%lf,%d", &t, &f, &voiced) != 3) continue;
    const auto i = static_cast<std::size_t>(std::lround(t / glotsynth::kF0StepS));
    if (f0.size() <= i) f0.resize(i + 1, 0.0);
    f0[i] = voiced ? f : 0.0;
  }
  return f0;
}

// The real recordings: identity SNR, and f0 of the output (harmex) against the factor times
// the reference f0, pooled over the files, ours beside Praat's.
void real_speech(const Args& args, const fs::path& tmp) {
  const fs::path refdir = "/work/shared/realspeech/reference", sounds = "/work/realspeech-sounds";
  struct Case {
    double k, r;
    std::vector<double> ours, praat, ours_m, praat_m;  // _m: frames the tracker gets right on
                                                       // the input
  };
  std::vector<Case> cases = {{1, 1, {}, {}, {}, {}},
                             {0.7, 1, {}, {}, {}, {}},
                             {1.4, 1, {}, {}, {}, {}},
                             {1, 1.5, {}, {}, {}, {}},
                             {1, 2, {}, {}, {}, {}}};
  double worst_snr = INFINITY;
  int files = 0;
  std::error_code ec;
  const bool praat = args.praat && have_praat();
  for (const auto& e : fs::directory_iterator(refdir, ec)) {
    const std::string name = e.path().filename().string();
    if (name.size() < 8 || name.substr(name.size() - 7) != ".f0.csv") continue;
    const std::string base = name.substr(0, name.size() - 7);
    const fs::path wav = tmp / (base + ".wav");
    if (!fs::copy_file(sounds / (base + ".wav"), wav, fs::copy_options::overwrite_existing, ec)) {
      continue;
    }
    if (benchutil::run_program(
            {std::string(GLOTMARK_BIN_DIR) + "/glotmark", "-i", wav.string(), "-S"}, {tmp.string()})
            .status != 0) {
      std::printf("  %s: the analysis failed\n", base.c_str());
      continue;
    }
    const Sound snd = read_sound(wav.string());
    const PsoAnalysis a = read_pso((tmp / ("PSO" + base) / (base + ".1PSO.sdif")).string());
    const std::vector<double> ref = read_reference(e.path());
    // The reference where harmex measures the input itself within 20 %, 0 elsewhere: the output
    // scored where the measuring tracker can follow this voice at all.
    std::vector<double> ref_m = ref;
    const std::vector<double> own = harmex_f0(snd.x, snd.sr);
    for (std::size_t i = 0; i < ref_m.size(); ++i) {
      if (i >= own.size() || !(own[i] > 0.0) || std::abs(own[i] / ref[i] - 1.0) > 0.2) {
        ref_m[i] = 0.0;
      }
    }
    ++files;
    std::vector<double> id;
    (void)resynthesize(snd.x, snd.sr, a, PsolaSettings{},
                       [&](const double* v, std::size_t n) { id.insert(id.end(), v, v + n); }, {});
    worst_snr = std::min(worst_snr, snr_db(snd.x, to_float(id)));
    for (Case& c : cases) {
      PsolaSettings s;
      s.pitch = c.k;
      s.time = c.r;
      std::vector<double> y;
      (void)resynthesize(snd.x, snd.sr, a, s,
                         [&](const double* v, std::size_t n) { y.insert(y.end(), v, v + n); }, {});
      const TimeMap map =
          time_map(widen_transients(a.marks, snd.x, snd.sr), snd.x.size(), snd.sr, s);
      const ToInput ours = [&](double t) { return map_back(map, t * snd.sr) / snd.sr; };
      const std::vector<double> fy = harmex_f0(to_float(y), snd.sr);
      f0_errors(fy, ref, c.k, ours, c.ours);
      f0_errors(fy, ref_m, c.k, ours, c.ours_m);
      if (praat) {
        const std::vector<float> p = praat_psola(wav.string(), c.k, c.r, tmp);
        const ToInput theirs = [r = c.r](double t) { return t / r; };
        if (!p.empty()) {
          const std::vector<double> fp = harmex_f0(p, snd.sr);
          f0_errors(fp, ref, c.k, theirs, c.praat);
          f0_errors(fp, ref_m, c.k, theirs, c.praat_m);
        }
      }
    }
  }
  if (files == 0) {
    std::printf(
        "real recordings: none found in %s (bash /work/shared/realspeech/get_sounds.sh %s)\n",
        sounds.c_str(), sounds.c_str());
    return;
  }
  std::printf("real recordings: %d files, identity SNR at least %.1f dB\n", files, worst_snr);
  for (Case& c : cases) {
    const F0Score o = summary(c.ours), p = summary(c.praat);
    const F0Score om = summary(c.ours_m), pm = summary(c.praat_m);
    std::printf(
        "  %s=%-4g f0 err ours %5.2f %% gross %5.2f %%   Praat %5.2f %% gross %5.2f %%   "
        "where harmex follows the input: ours %5.2f %% gross %5.2f %%   Praat %5.2f %% "
        "gross %5.2f %%\n",
        c.r == 1.0 ? "K" : "R", c.r == 1.0 ? c.k : c.r, o.median_pct, o.gross_pct,
        p.ok ? p.median_pct : NAN, p.ok ? p.gross_pct : NAN, om.median_pct, om.gross_pct,
        pm.ok ? pm.median_pct : NAN, pm.ok ? pm.gross_pct : NAN);
  }
}

double thread_cpu_s() {
  timespec t{};
  clock_gettime(CLOCK_THREAD_CPUTIME_ID, &t);
  return static_cast<double>(t.tv_sec) + 1e-9 * static_cast<double>(t.tv_nsec);
}

struct Timing {
  double wall_s = 1e30, cpu_s = 1e30;  // fastest of the runs
};

// The fastest of three resyntheses, by the clock and by this thread's processor time (the
// resynthesis runs on one thread; its processor time is what other work on a busy machine
// leaves out).
Timing best_time(const Material& m, const PsolaSettings& s) {
  Timing best;
  for (int i = 0; i < 3; ++i) {
    const auto t0 = std::chrono::steady_clock::now();
    const double c0 = thread_cpu_s();
    std::size_t total = 0;
    (void)resynthesize(m.x, kSr, m.analysis, s, [&](const double*, std::size_t n) { total += n; },
                       {});
    best.cpu_s = std::min(best.cpu_s, thread_cpu_s() - c0);
    best.wall_s = std::min(best.wall_s, benchutil::seconds_since(t0));
    if (total == 0) std::printf("no output\n");
  }
  return best;
}

void speed(const fs::path& tmp) {
  const Material shorter = make_material(130, 3, tmp);  // about 1 minute
  const Material longer = make_material(1300, 3, tmp);  // about 10 minutes
  struct Case {
    const char* what;
    double k, r;
  } cases[] = {{"factor 1", 1, 1}, {"K=1.4", 1.4, 1}, {"R=1.5", 1, 1.5}};
  const double ds = static_cast<double>(shorter.x.size()) / kSr;
  const double dl = static_cast<double>(longer.x.size()) / kSr;
  for (const Case& c : cases) {
    PsolaSettings s;
    s.pitch = c.k;
    s.time = c.r;
    const Timing ts = best_time(shorter, s), tl = best_time(longer, s);
    std::printf(
        "speed %-9s %5.1f s: %5.0f x real time (%5.0f x by processor time)   %5.1f s: %5.0f x "
        "(%5.0f x)   cost per second long/short %.2f (%.2f)\n",
        c.what, ds, ds / ts.wall_s, ds / ts.cpu_s, dl, dl / tl.wall_s, dl / tl.cpu_s,
        (tl.wall_s / dl) / (ts.wall_s / ds), (tl.cpu_s / dl) / (ts.cpu_s / ds));
  }
}

}  // namespace

int main(int argc, char** argv) {
  Args args;
  for (int i = 1; i < argc; ++i) {
    const std::string a = argv[i];
    if (a == "--no-praat") {
      args.praat = false;
    } else if (a == "--no-speed") {
      args.speed = false;
    } else if (a == "--no-accuracy") {
      args.accuracy = false;
    } else if (a == "--no-real") {
      args.real = false;
    } else if (a.rfind("--f0min=", 0) == 0) {
      g_f0min_hz = std::strtod(a.c_str() + 8, nullptr);
    } else if (a == "--true-marks") {
      args.true_marks = true;
    } else if (a == "--hybrid") {
      args.hybrid = true;
    } else if (a.rfind("--seed=", 0) == 0) {
      args.seed = std::strtoull(a.c_str() + 7, nullptr, 10);
    } else {
      std::fprintf(stderr,
                   "usage: bench_psola [--no-praat] [--no-accuracy] [--no-real] [--no-speed] "
                   "[--hybrid] [--true-marks] "
                   "[--f0min=HZ] [--seed=N]\n");
      return 2;
    }
  }
  char tmpl[] = "/tmp/bench_psola_XXXXXX";
  if (mkdtemp(tmpl) == nullptr) return 1;
  const fs::path tmp = tmpl;
  int status = 0;
  try {
    if (args.accuracy) accuracy(args, tmp);
    if (args.real) real_speech(args, tmp);
    if (args.speed) speed(tmp);
  } catch (const std::exception& e) {
    std::fprintf(stderr, "bench_psola: %s\n", e.what());
    status = 1;
  }
  std::error_code ec;
  fs::remove_all(tmp, ec);
  return status;
}
