#include "epochs/energy_curve.h"

#include <algorithm>
#include <vector>

#include "epochs/ener.h"
#include "epochs/fir_aligned.h"

using tessel::TesselVector;

namespace {

constexpr long kBlockOutputs = 1L << 15;  // curve samples per block

}  // namespace

TesselVector<double> energy_curve(const TesselVector<double>& signal, double sr, double window_s,
                                  double hop_s, const TesselVector<double>& b, long first,
                                  long count, int threads) {
  TesselVector<double> curve(std::max(0L, count), tessel::uninitialized);
  const long n = signal.size();  // the staircase has one value per signal sample
  const long taps = b.size();
  std::vector<TesselVector<double>> scratch(static_cast<std::size_t>(threads));
  double* out = curve.data();
  tessel::parallel::parallel_for(
      count, kBlockOutputs,
      [&](long i0, long i1, int worker) {
        // Output i reads staircase samples first + i - (taps - 1) .. first + i, those inside it.
        const long s0 = std::clamp(first + i0 - (taps - 1), 0L, n);
        const long s1 = std::clamp(first + i1, s0, n);
        TesselVector<double>& stair = scratch[static_cast<std::size_t>(worker)];
        stair.resize(s1 - s0, tessel::uninitialized);
        ener(signal, sr, window_s, hop_s, s0, s1 - s0, stair.data());
        fir_aligned(b, stair, first + i0 - s0, i1 - i0, out + i0);
      },
      threads);
  return curve;
}
