#include "epochs/fir_aligned.h"

#include <algorithm>
#include <cstring>
#include <vector>

using tessel::TesselVector;

namespace {

constexpr long kBlock = 2048;      // outputs per block of the edge stretches
constexpr long kPairs = 6;         // register pairs of outputs summed side by side
constexpr long kRun = 2 * kPairs;  // outputs per run

// Two doubles handled by one instruction where the target has one; each lane is an ordinary
// double operation, so the results are those of the scalar code.
using Pair = double __attribute__((vector_size(16)));

Pair load_pair(const double* p) {
  Pair v;
  std::memcpy(&v, p, sizeof v);
  return v;
}

// Outputs i0 .. i1 - 1 of any stretch: one coefficient at a time over a block, so that each
// output receives its terms in coefficient order while the inner loop runs on contiguous data.
void fir_edges(const double* b, int taps, const double* xp, long n, long first, double* yp, long i0,
               long i1) {
  for (long s0 = i0; s0 < i1; s0 += kBlock) {
    const long s1 = std::min(i1, s0 + kBlock);
    for (int k = 0; k < taps; ++k) {
      const double c = b[k];
      if (c == 0.0) continue;
      // Outputs whose input index first + i - k lies inside x.
      const long lo = std::max(s0, k - first);
      const long hi = std::min(s1, n + k - first);
      const long shift = first - k;
      for (long i = lo; i < hi; ++i) yp[i] += c * xp[shift + i];
    }
  }
}

}  // namespace

TesselVector<double> fir_aligned(const TesselVector<double>& b, const TesselVector<double>& x,
                                 long first, long count) {
  TesselVector<double> out(count > 0 ? count : 0, 0.0);
  const long n = x.size();
  const int taps = b.size();
  const double* bp = b.data();
  const double* xp = x.data();
  double* yp = out.data();
  if (count <= 0) return out;

  // Outputs whose every term reads inside x: first + i - (taps - 1) >= 0 and first + i < n.
  const long inner_lo = std::clamp(taps - 1 - first, 0L, count);
  const long inner_hi = std::clamp(n - first, inner_lo, count);
  const long runs = (inner_hi - inner_lo) / kRun;
  const long run_end = inner_lo + runs * kRun;

  fir_edges(bp, taps, xp, n, first, yp, 0, inner_lo);
  if (runs > 0) {
    // Zero coefficients add nothing in the edge loop and are skipped here too, so that the
    // sums are the same bit for bit.
    std::vector<double> coef;
    std::vector<long> shift;
    for (int k = 0; k < taps; ++k) {
      if (bp[k] == 0.0) continue;
      coef.push_back(bp[k]);
      shift.push_back(first - k);
    }
    const long used = static_cast<long>(coef.size());
    const double* cp = coef.data();
    const long* sp = shift.data();
    // kRun outputs in registers, their terms added in coefficient order as above.
    for (long i = inner_lo; i < run_end; i += kRun) {
      Pair acc[kPairs] = {};
      for (long t = 0; t < used; ++t) {
        const Pair c = {cp[t], cp[t]};
        const double* src = xp + sp[t] + i;
        for (long j = 0; j < kPairs; ++j) acc[j] += c * load_pair(src + 2 * j);
      }
      std::memcpy(yp + i, acc, sizeof acc);
    }
  }
  fir_edges(bp, taps, xp, n, first, yp, run_end, count);
  return out;
}
