#include "epochs/fir_aligned.h"

#include <algorithm>
#include <cstring>
#include <vector>

using tessel::TesselVector;

namespace {

constexpr long kBlock = 2048;      // outputs per block of the edge stretches
constexpr long kQuads = 6;         // groups of four outputs summed side by side in registers
constexpr long kRun = 4 * kQuads;  // outputs per run

// Four doubles, handled by one instruction where the processor has them (two or four at a
// time otherwise); each lane is an ordinary double operation, so the results are those of the
// scalar code.
using Quad = double __attribute__((vector_size(32)));

// Outputs i0 .. i1 - 1 (a multiple of kRun apart) whose terms all read inside x, kRun at a
// time in registers; coefficient t (of `used`, none zero) multiplies x[shift[t] + i]. Each
// output receives its terms in coefficient order, as in fir_edges. Compiled for the plain
// target and for processors with 4-wide double instructions, chosen at load time.
#if defined(__x86_64__) && defined(__GNUC__) && !defined(__clang__)
__attribute__((target_clones("avx", "default")))
#endif
void fir_runs(const double* cp, const long* sp, long used, const double* xp, double* yp, long i0,
              long i1) {
  for (long i = i0; i < i1; i += kRun) {
    Quad acc[kQuads] = {};
    for (long t = 0; t < used; ++t) {
      const double c = cp[t];
      const double* src = xp + sp[t] + i;
      for (long j = 0; j < kQuads; ++j) {
        Quad v;
        std::memcpy(&v, src + 4 * j, sizeof v);
        acc[j] += c * v;
      }
    }
    std::memcpy(yp + i, acc, sizeof acc);
  }
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

void fir_aligned(const TesselVector<double>& b, const TesselVector<double>& x, long first,
                 long count, double* out) {
  if (count <= 0) return;
  const long n = x.size();
  const int taps = b.size();
  const double* bp = b.data();
  const double* xp = x.data();

  // Outputs whose every term reads inside x: first + i - (taps - 1) >= 0 and first + i < n.
  const long inner_lo = std::clamp(taps - 1 - first, 0L, count);
  const long inner_hi = std::clamp(n - first, inner_lo, count);
  const long runs = (inner_hi - inner_lo) / kRun;
  const long run_end = inner_lo + runs * kRun;

  // The edge stretches add their terms to zero; the runs write theirs.
  std::fill(out, out + inner_lo, 0.0);
  std::fill(out + run_end, out + count, 0.0);
  fir_edges(bp, taps, xp, n, first, out, 0, inner_lo);
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
    fir_runs(coef.data(), shift.data(), static_cast<long>(coef.size()), xp, out, inner_lo, run_end);
  }
  fir_edges(bp, taps, xp, n, first, out, run_end, count);
}

TesselVector<double> fir_aligned(const TesselVector<double>& b, const TesselVector<double>& x,
                                 long first, long count) {
  TesselVector<double> out(count > 0 ? count : 0, tessel::uninitialized);
  fir_aligned(b, x, first, count, out.data());
  return out;
}
