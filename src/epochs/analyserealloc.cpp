#include "epochs/analyserealloc.h"

#include <algorithm>
#include <cmath>
#include <vector>

#include "epochs/fir1.h"
#include "epochs/fir_aligned.h"
#include "epochs/marktemporel.h"
#include "epochs/postmarktemporel.h"

using tessel::cplx;
using tessel::TesselMatrix;
using tessel::TesselVector;

namespace {

constexpr double kEpochWindowFactor = 1.25;     // frame length, hundredths of a second
constexpr double kTransientWindowFactor = 5.0;  // frame length, hundredths of a second
constexpr long kHighPassOrder = 100;            // its order (101 coefficients)
constexpr long kMargin = 100;                   // samples kept free at each end, beyond 2h
constexpr long kBlockSamples = 1L << 16;        // filtered samples per block of frames

// The frames of one block, f0 .. f1 - 1 (frame f centred on 1-based sample c_first + f hop,
// `len` = 2 hw + 1 samples): the high-passed signal is computed over the samples they cover
// only, into buf, and each frame's record (position, concentration) goes to records[f].
struct Framing {
  const TesselVector<double>& signal;
  const TesselVector<double>& b;  // high-pass filter, delay kHighPassOrder / 2
  const TesselVector<double>& w;  // analysis window, len samples
  long len, hw, hop, c_first;
};

void frame_block(const Framing& fr, long f0, long f1, std::vector<double>& buf,
                 cplx<double>* records) {
  const long count = f1 - f0;
  const long c0 = fr.c_first + f0 * fr.hop;
  const long lo = c0 - fr.hw - 1;  // 0-based first sample of frame f0
  const long span = (count - 1) * fr.hop + fr.len;
  // Room for the samples and, after them, the offsets and concentrations of the frames.
  buf.resize(static_cast<std::size_t>(span + 2 * count));
  double* x = buf.data();
  double* offsets = x + span;
  double* concs = offsets + count;
  fir_aligned(fr.b, fr.signal, kHighPassOrder / 2 + lo, span, x);
  marktemporel(x, fr.hop, fr.w.data(), fr.len, count, offsets, concs);
  for (long f = 0; f < count; ++f) {
    records[f0 + f] = cplx<double>((c0 + f * fr.hop) + offsets[f], concs[f]);
  }
}

}  // namespace

void analyserealloc(const TesselVector<double>& signal, const double& sr,
                    const TesselMatrix<double>& /*f0_track*/, long mode,
                    TesselVector<double>& curve, TesselVector<double>& concentration, double& scale,
                    double& ref_concentration, bool with_concentration) {
  const double factor = mode == 0 ? kEpochWindowFactor : kTransientWindowFactor;
  long frame_len = static_cast<long>(std::round(factor * sr / 100.0));
  if (0.5 * frame_len == std::round(0.5 * frame_len)) ++frame_len;
  const long h = (frame_len - 1) / 2;
  // A hop below one sample would never advance.
  const long hop = std::max(1L, static_cast<long>(std::round(frame_len * 0.03125)));

  const long n = signal.size();
  const long c_first = 2 * h + kMargin + 1;  // 1-based frame centres
  const long c_last = n - (2 * h + kMargin);
  const long n_frames = c_last >= c_first ? (c_last - c_first) / hop + 1 : 0;

  TesselVector<cplx<double>> records(n_frames, tessel::uninitialized);
  if (n_frames > 0) {
    // Linear-phase high-pass; its delay of 50 samples is taken out.
    const TesselVector<double> wn{kReallocHighPassHz / (0.5 * sr)};
    const TesselVector<double> b = fir1(kHighPassOrder, wn, 0);
    const TesselVector<double> w = tessel::sig_proc::hanning(frame_len, true);
    const Framing fr{signal, b, w, frame_len, h, hop, c_first};
    // Blocks of frames, independent of one another, each filtering only the stretch of the
    // signal it covers: no signal-long filtered copy.
    const long per_block = std::max(1L, (kBlockSamples - frame_len) / hop + 1);
    const int threads = tessel::parallel::thread_count();
    std::vector<std::vector<double>> scratch(static_cast<std::size_t>(threads));
    cplx<double>* rec = records.data();
    tessel::parallel::parallel_for(
        n_frames, per_block,
        [&](long f0, long f1, int worker) {
          frame_block(fr, f0, f1, scratch[static_cast<std::size_t>(worker)], rec);
        },
        threads);
  }

  const bool curve_col = curve.iscol();
  const bool conc_col = concentration.iscol();
  postmarkcurve(records, sr, frame_len, hop, curve, with_concentration ? &concentration : nullptr,
                scale, ref_concentration);
  if (!with_concentration) concentration.resize(0);
  curve.setcol(!curve_col);
  concentration.setcol(!conc_col);
}
