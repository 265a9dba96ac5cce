#include "epochs/fir_aligned.h"

#include <algorithm>

using tessel::TesselVector;

TesselVector<double> fir_aligned(const TesselVector<double>& b, const TesselVector<double>& x,
                                 long first, long count) {
  TesselVector<double> out(count > 0 ? count : 0, 0.0);
  const long n = x.size();
  const int taps = b.size();
  const double* xp = x.data();
  double* yp = out.data();
  // Blocks of outputs, one coefficient at a time inside a block: each output still receives
  // its terms in coefficient order, and the inner loop runs on contiguous data.
  constexpr long kBlock = 2048;  // outputs per block
  for (long i0 = 0; i0 < count; i0 += kBlock) {
    const long i1 = std::min(count, i0 + kBlock);
    for (int k = 0; k < taps; ++k) {
      const double c = b[k];
      if (c == 0.0) continue;
      // Outputs whose input index first + i - k lies inside x.
      const long lo = std::max(i0, k - first);
      const long hi = std::min(i1, n + k - first);
      const long shift = first - k;
      for (long i = lo; i < hi; ++i) yp[i] += c * xp[shift + i];
    }
  }
  return out;
}
