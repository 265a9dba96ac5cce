// The in-place kernels of the reallocation and energy analyses against plain loops, value for
// value: their sums must keep the order of the plain computation, since the positions they
// give are later rounded to grid points.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <vector>

#include "epochs/fir_aligned.h"
#include "epochs/marktemporel.h"

using tessel::TesselVector;

namespace {

TesselVector<double> noise(long n, std::uint32_t seed) {
  TesselVector<double> x(n, 0.0);
  for (long i = 0; i < n; ++i) {
    seed = seed * 1664525u + 1013904223u;
    x[i] = (seed >> 8) / 8388608.0 - 1.0;
  }
  return x;
}

}  // namespace

TEST(FirAligned, EqualsPlainSumInCoefficientOrder) {
  struct Case {
    long taps, n, first, count;
    const char* why;
  };
  const Case cases[] = {
      {101, 5000, 50, 5000, "centred filter over the whole signal"},
      {101, 5000, 0, 4900, "causal outputs from the start"},
      {101, 5000, 50, 5100, "outputs past the end of the signal"},
      {101, 60, 50, 60, "signal shorter than the filter"},
      {7, 1000, 3, 37, "short filter, run length not a multiple of the register group"},
      {1, 100, 0, 100, "single coefficient"},
      {101, 5000, 200, 0, "no output"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.why);
    TesselVector<double> b = noise(c.taps, 7);
    if (c.taps > 5) b[2] = b[c.taps - 3] = 0.0;  // zero coefficients are skipped
    const TesselVector<double> x = noise(c.n, 11);
    const TesselVector<double> y = fir_aligned(b, x, c.first, c.count);
    ASSERT_EQ(y.size(), c.count);
    for (long i = 0; i < c.count; ++i) {
      double want = 0.0;
      for (long k = 0; k < c.taps; ++k) {
        const long j = c.first + i - k;
        if (j >= 0 && j < c.n) want += b[k] * x[j];
      }
      ASSERT_EQ(y[i], want) << "output " << i;
    }
  }
}

// Blocks of a long output, written where nothing was initialised, give the whole output's
// values: the reallocation analysis filters block by block on several threads.
TEST(FirAligned, BlocksEqualTheWholeOutput) {
  const TesselVector<double> b = noise(101, 5);
  const TesselVector<double> x = noise(20000, 9);
  const long first = 50, count = 20000;
  const TesselVector<double> whole = fir_aligned(b, x, first, count);
  for (const long block : {1L, 37L, 4096L, 19999L}) {
    SCOPED_TRACE(block);
    std::vector<double> out(static_cast<std::size_t>(count), std::nan(""));
    for (long a = 0; a < count; a += block) {
      fir_aligned(b, x, first + a, std::min(block, count - a), out.data() + a);
    }
    for (long i = 0; i < count; ++i) ASSERT_EQ(out[i], whole[i]) << "output " << i;
  }
}

TEST(Marktemporel, FramesSideBySideEqualOneFrameAtATime) {
  const long len = 551, hop = 17;
  TesselVector<double> x = noise(40 * hop + len, 3);
  // A silent stretch gives frames without energy; a lone click one with no spread.
  for (long i = 10 * hop; i < 10 * hop + len + 3 * hop; ++i) x[i] = 0.0;
  x[10 * hop + 2 * hop + 100] = 0.5;
  const TesselVector<double> w = tessel::sig_proc::hanning(len, true);
  for (long count = 1; count <= 40; count += 3) {
    SCOPED_TRACE(count);
    std::vector<double> offsets(count), concs(count);
    marktemporel(x.data(), hop, w.data(), len, count, offsets.data(), concs.data());
    for (long f = 0; f < count; ++f) {
      TesselVector<double> frame(len, 0.0);
      for (long i = 0; i < len; ++i) frame[i] = x[f * hop + i] * w[i];
      double offset = 0.0, conc = 0.0;
      marktemporel(frame, offset, conc);
      ASSERT_EQ(offsets[f], offset) << "frame " << f;
      ASSERT_EQ(concs[f], conc) << "frame " << f;
    }
  }
}
