#include "voicing/analysevoise.h"

#include <algorithm>
#include <cmath>
#include <limits>
#include <optional>
#include <vector>

#include "voicing/fc.h"
#include "voicing/fversmatlab.h"
#include "voicing/matlabversf.h"
#include "voicing/medfilt1.h"
#include "voicing/spectre.h"

namespace {

constexpr double kF0CeilingHz = 2000.0;      // higher f0 values are replaced by the median
constexpr double kF0FloorHz = 30.0;          // lower f0 values are replaced by the median
constexpr double kFrameHopS = 0.01;          // analysis grid
constexpr double kPeriodsPerWindow = 5.0;    // window length in pitch periods
constexpr double kCutoffCeilingHz = 6000.0;  // default maximum cut-off
constexpr double kSearchHalfWidth = 0.15;    // harmonic search half-width, fraction of f0
constexpr double kHarmonicThreshold = 0.6;   // ratio above which a harmonic counts as harmonic
constexpr int kCoefMedianOrder = 5;          // smoothing of the coefficient series, frames
constexpr int kCutoffMedianOrder = 10;       // smoothing of the cut-off series, frames

// Blackman window of one length with the sums the energy estimates need. The window is exactly
// symmetric (w[L - 1 - j] == w[j], as the window function makes it), so only its first half is
// held.
struct Window {
  std::vector<double> half;  // w[0 .. (L + 1) / 2 - 1]
  double sum = 0.0;          // sum of the window
  double sum_sq = 0.0;       // sum of its squares
};

Window window_of(int length) {
  const tessel::TesselVector<double> bw = tessel::sig_proc::blackman(length);
  Window win;
  for (const double v : bw) {
    win.sum += v;
    win.sum_sq += v * v;
  }
  win.half.assign(bw.data(), bw.data() + (bw.size() + 1) / 2);
  return win;
}

// The windows of every length the frames use, made once for all threads (split across them).
class WindowSet {
 public:
  template <class Frames>
  WindowSet(const Frames& frames, int threads) {
    for (const auto& fr : frames) lengths_.push_back(fr.length);
    std::sort(lengths_.begin(), lengths_.end());
    lengths_.erase(std::unique(lengths_.begin(), lengths_.end()), lengths_.end());
    windows_.resize(lengths_.size());
    tessel::parallel::parallel_for(
        static_cast<long>(lengths_.size()), 8,
        [&](long begin, long end, int) {
          for (long i = begin; i < end; ++i) windows_[i] = window_of(lengths_[i]);
        },
        threads);
  }
  const Window& of(int length) const {
    const auto it = std::lower_bound(lengths_.begin(), lengths_.end(), length);
    return windows_[static_cast<std::size_t>(it - lengths_.begin())];
  }

 private:
  std::vector<int> lengths_;
  std::vector<Window> windows_;
};

// One analysis frame after selection: 1-based centre, odd window length, f0 in Hz.
struct Frame {
  long centre;
  int length;
  double f0;
};

int pow2_above(int l) {
  int n = 2;
  while (n <= l) n *= 2;
  return n;
}

double median_of(std::vector<double> v) {
  const size_t n = v.size();
  std::sort(v.begin(), v.end());
  return n % 2 == 1 ? v[n / 2] : (v[n / 2 - 1] + v[n / 2]) * 0.5;
}

// The f0 track as two series, f0 values outside [30, 2000] Hz replaced by the median taken
// before any replacement.
struct F0Series {
  std::vector<double> times;  // s
  std::vector<double> f0;     // Hz
};

F0Series cleaned_f0(const tessel::TesselMatrix<double>& f0track) {
  const int rows = f0track.nrows();
  F0Series s{std::vector<double>(rows), std::vector<double>(rows)};
  for (int r = 0; r < rows; ++r) {
    s.times[r] = f0track(r, 0);
    s.f0[r] = f0track(r, 1);
  }
  const double f0_median = median_of(s.f0);
  for (double& v : s.f0) {
    if (v > kF0CeilingHz) v = f0_median;
    if (v < kF0FloorHz) v = f0_median;
  }
  return s;
}

// Row step that decimates the track to the 10 ms grid; a single row or a zero median hop
// keeps every row.
long decimation_step(const std::vector<double>& times) {
  const long rows = static_cast<long>(times.size());
  if (rows <= 1) return 1;
  std::vector<double> hops(rows - 1);
  for (long r = 0; r + 1 < rows; ++r) hops[r] = times[r + 1] - times[r];
  const double hop = median_of(hops);
  if (hop == 0.0) return 1;
  const double s = std::round(kFrameHopS / hop);
  if (s >= static_cast<double>(rows)) return rows;
  return s > 1.0 ? static_cast<long>(s) : 1;
}

// Frame centres (1-based samples), odd window lengths and the frames that fit in a signal of
// `length` samples: lower = centre - half > 0 and upper = centre + half < length - 1.
std::vector<Frame> frame_plan(const F0Series& track, double sr, double length) {
  const long rows = static_cast<long>(track.times.size());
  const long step = decimation_step(track.times);
  std::vector<Frame> frames;
  frames.reserve(static_cast<size_t>((rows - 1) / step + 1));
  for (long r = 0; r < rows; r += step) {
    const double centre = std::round(track.times[r] * sr) + 1.0;
    double win = std::round(sr / track.f0[r]) * kPeriodsPerWindow;
    if (std::fmod(win, 2.0) == 0.0) win += 1.0;
    const double half = (win - 1.0) / 2.0;
    // Non-finite values (a zero or NaN f0 or time) can never fit the signal.
    if (!std::isfinite(centre) || !std::isfinite(win) || !(win <= length)) continue;
    if (!(centre - half > 0.0) || !(centre + half < length - 1.0)) continue;
    frames.push_back({static_cast<long>(centre), static_cast<int>(win), track.f0[r]});
  }
  return frames;
}

// What one thread reuses from frame to frame.
struct FrameScratch {
  std::optional<Failure> failure;  // the first failure met by this thread
  SpectreWorkspace ws;
  std::vector<double> windowed, magnitude;
  std::vector<double> peak_hz, harmonic_energy, band_energy, ratio, edge_bin;
};

struct FrameResult {
  double coefficient = 0.0;
  double cutoff = 0.0;  // Hz
};

// Voicing coefficient and cut-off frequency of one frame of the signal x at sr Hz; a frame
// with no harmonic below fcmax gives 0 and 0. A failure of the spectrum is kept in sc.
FrameResult analyse_frame(const Frame& fr, const Window& win, const double* x, double sr,
                          double fcmax, FrameScratch& sc) {
  const double half_sr = sr * 0.5;
  const int L = fr.length;
  const int half = (L - 1) / 2;
  const int n = pow2_above(L);  // FFT size

  sc.windowed.resize(static_cast<size_t>(L));
  const double* seg = x + (fr.centre - 1 - half);  // 0-based start of the frame
  const int mid = (L + 1) / 2;
  for (int j = 0; j < mid; ++j) sc.windowed[j] = seg[j] * win.half[j];
  for (int j = mid; j < L; ++j) sc.windowed[j] = seg[j] * win.half[L - 1 - j];
  const double f = fr.f0;
  const double harmonics = std::floor(fcmax / f);
  if (!(harmonics >= 1.0)) return {};
  // More harmonics than bins cannot be resolved; the bin clamp below keeps reads in range.
  const int H = static_cast<int>(std::min(harmonics, static_cast<double>(n)));
  auto clamp_bin = [n](double b) { return std::clamp(b, 1.0, static_cast<double>(n)); };

  // The bands end at half the sampling rate (bin n/2 + 1, 1-based) and the last search band
  // may reach a little above it: the bins beyond both (and a spare one) are never read.
  const double top_search = fversmatlab(H * f + kSearchHalfWidth * f, sr, n);
  const int bins = static_cast<int>(clamp_bin(std::max(top_search + 1.0, n / 2 + 1.0)));
  if (sc.magnitude.size() < static_cast<size_t>(n)) sc.magnitude.resize(static_cast<size_t>(n));
  if (Status s = spectre(sc.windowed.data(), L, n, sc.ws, sc.magnitude.data(), nullptr, bins); !s) {
    if (!sc.failure) sc.failure = std::move(s).error();
    return {};
  }
  const double* mag = sc.magnitude.data();

  sc.peak_hz.resize(H);
  sc.harmonic_energy.resize(H);
  sc.band_energy.resize(H);
  sc.ratio.resize(H);
  sc.edge_bin.resize(H + 1);
  for (int k = 0; k < H; ++k) {
    const double nominal = (k + 1) * f;
    const int lo = static_cast<int>(clamp_bin(fversmatlab(nominal - kSearchHalfWidth * f, sr, n)));
    const int hi = static_cast<int>(clamp_bin(fversmatlab(nominal + kSearchHalfWidth * f, sr, n)));
    int p = lo;  // 1-based bin of the first largest magnitude in lo .. hi
    for (int b = lo + 1; b <= hi; ++b) {
      if (mag[b - 1] > mag[p - 1]) p = b;
    }
    sc.peak_hz[k] = matlabversf(static_cast<double>(p), sr, n);
    const double amplitude = 2.0 * mag[p - 1] / win.sum;
    sc.harmonic_energy[k] = amplitude * amplitude / 2.0 * win.sum_sq;
  }

  // Bands between the midpoints of consecutive peaks; a boundary bin counts in both bands.
  sc.edge_bin[0] = fversmatlab(0.0, sr, n);
  for (int k = 1; k < H; ++k) {
    sc.edge_bin[k] = clamp_bin(fversmatlab(0.5 * (sc.peak_hz[k - 1] + sc.peak_hz[k]), sr, n));
  }
  sc.edge_bin[H] = clamp_bin(fversmatlab(half_sr, sr, n));
  double sum_a = 0.0;
  double sum_b = 0.0;
  for (int k = 0; k < H; ++k) {
    const int first = static_cast<int>(sc.edge_bin[k]) - 1;
    const int last = static_cast<int>(sc.edge_bin[k + 1]) - 1;
    double e = 0.0;
    for (int b = first; b <= last; ++b) e += mag[b] * mag[b];
    sc.band_energy[k] = 2.0 / n * e;
    sc.ratio[k] = sc.band_energy[k] == 0.0 ? 1.0 : sc.harmonic_energy[k] / sc.band_energy[k];
    sum_a += sc.harmonic_energy[k];
    sum_b += sc.band_energy[k];
  }
  const double coefficient = sum_b == 0.0 ? 1.0 : sum_a / sum_b;
  return {coefficient, sc.peak_hz[fc(sc.ratio.data(), H, kHarmonicThreshold)]};
}

// The coefficient and cut-off of every frame, the frames split across threads, each thread
// with its own scratch.
Status analyse_frames(const std::vector<Frame>& frames, const double* x, double sr, double fcmax,
                      tessel::TesselVector<double>& coefficient,
                      tessel::TesselVector<double>& cut) {
  const long nframes = static_cast<long>(frames.size());
  const int threads = tessel::parallel::thread_count();
  std::vector<FrameScratch> scratch(static_cast<size_t>(threads));
  const WindowSet windows(frames, threads);
  constexpr long kFramesPerChunk = 64;
  tessel::parallel::parallel_for(
      nframes, kFramesPerChunk,
      [&](long begin, long end, int worker) {
        FrameScratch& sc = scratch[static_cast<size_t>(worker)];
        for (long i = begin; i < end; ++i) {
          const FrameResult r =
              analyse_frame(frames[i], windows.of(frames[i].length), x, sr, fcmax, sc);
          coefficient(i) = r.coefficient;
          cut(i) = r.cutoff;
        }
      },
      threads);
  for (FrameScratch& sc : scratch)
    if (sc.failure) return std::move(*sc.failure);
  return Status{};
}

}  // namespace

Status analysevoise(const tessel::TesselVector<double>& signal, double sr,
                    const tessel::TesselMatrix<double>& f0track, tessel::TesselMatrix<double>& coef,
                    tessel::TesselMatrix<double>& cutoff, double& fcmax) {
  // Maximum cut-off.
  const double half_sr = sr * 0.5;
  if (fcmax < 0.0) {
    fcmax = half_sr;
  } else if (std::min(half_sr, kCutoffCeilingHz) > fcmax) {
    fcmax = std::min(half_sr, kCutoffCeilingHz);
  }

  coef.resize(0, 2);
  cutoff.resize(0, 2);
  if (f0track.nrows() == 0 || f0track.ncols() < 2) return Status{};
  const std::vector<Frame> frames = frame_plan(cleaned_f0(f0track), sr, signal.size());
  const int nframes = static_cast<int>(frames.size());
  if (nframes == 0) return Status{};

  tessel::TesselVector<double> coefficient(nframes, 0.0);
  tessel::TesselVector<double> cut(nframes, 0.0);
  if (Status done = analyse_frames(frames, signal.data(), sr, fcmax, coefficient, cut); !done)
    return done;

  // Median smoothing of both series.
  const auto coef_smooth = medfilt1(coefficient, kCoefMedianOrder);
  if (!coef_smooth) return coef_smooth.error();
  const auto cut_smooth = medfilt1(cut, kCutoffMedianOrder);
  if (!cut_smooth) return cut_smooth.error();
  coef.resize(nframes, 2);
  cutoff.resize(nframes, 2);
  for (int i = 0; i < nframes; ++i) {
    const double t = static_cast<double>(frames[i].centre - 1) / sr;
    coef(i, 0) = t;
    coef(i, 1) = (*coef_smooth)(i);
    cutoff(i, 0) = t;
    cutoff(i, 1) = (*cut_smooth)(i);
  }
  return Status{};
}
