#include "epochs/analyserealloc.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <utility>

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

}  // namespace

void analyserealloc(const TesselVector<double>& signal, const double& sr,
                    const TesselMatrix<double>& /*f0_track*/, long mode,
                    TesselVector<double>& curve, TesselVector<double>& concentration, double& scale,
                    double& ref_concentration) {
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

  TesselVector<cplx<double>> records(n_frames, cplx<double>(0.0, 0.0));
  if (n_frames > 0) {
    // Linear-phase high-pass; its delay of 50 samples is taken out.
    const TesselVector<double> wn{kReallocHighPassHz / (0.5 * sr)};
    const TesselVector<double> b = fir1(kHighPassOrder, wn, 0);
    const TesselVector<double> x = fir_aligned(b, signal, kHighPassOrder / 2, n);

    long len = frame_len;  // the single analysis scale 1.0
    if (len % 2 == 0) ++len;
    const long hw = (len - 1) / 2;
    const TesselVector<double> w = tessel::sig_proc::hanning(len, true);
    // The frames are read in place from the filtered signal, in groups that fill a small
    // buffer of offsets and concentrations.
    constexpr long kGroup = 256;  // frames per group
    double offsets[kGroup], concs[kGroup];
    for (long f0 = 0; f0 < n_frames; f0 += kGroup) {
      const long count = std::min(kGroup, n_frames - f0);
      const long c = c_first + f0 * hop;
      // Frame f is centred on 0-based sample c - 1 + f hop.
      marktemporel(x.data() + (c - hw - 1), hop, w.data(), len, count, offsets, concs);
      for (long f = 0; f < count; ++f) {
        records[f0 + f] = cplx<double>((c + f * hop) + offsets[f], concs[f]);
      }
    }
  }

  TesselVector<int> samples;
  TesselVector<double> density, conc_at;
  postmarktemporel(records, sr, frame_len, hop, samples, density, conc_at, scale,
                   ref_concentration);
  records = TesselVector<cplx<double>>();

  const long m = samples.size();
  const long filled = std::min<long>(m, std::min(density.size(), conc_at.size()));
  const long total = m > 0 ? samples[0] + m : 0;
  const bool curve_col = curve.iscol();
  curve.resize(0);
  if (m > 0 && samples[0] >= 0 && density.use_count() == 1) {
    // The density becomes the curve in its own storage (reserved for it), shifted by the
    // samples before the first position: no second copy of a signal-long vector.
    const long r0 = samples[0];  // samples[i] = r0 + i
    curve = std::move(density);
    curve.resize(total);
    double* d = curve.data();
    std::memmove(d + r0, d, static_cast<std::size_t>(filled) * sizeof(double));
    std::fill(d, d + r0, 0.0);
    std::fill(d + r0 + filled, d + total, 0.0);
  } else {
    curve.resize(total);
    for (long i = 0; i < filled; ++i) curve[samples[i]] = density[i];
  }
  density = TesselVector<double>();
  concentration.resize(0);
  concentration.resize(total);
  for (long i = 0; i < filled; ++i) concentration[samples[i]] = conc_at[i];
  curve.setcol(!curve_col);
  concentration.setcol(!concentration.iscol());
}
