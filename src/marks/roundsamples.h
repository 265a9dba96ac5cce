// Conversion of a sample count computed in floating point to an integer.
#pragma once

#include <cmath>

namespace marks_detail {

// round(x) (halves away from zero) as a long. NaN gives 0 and magnitudes beyond 2^62 are
// clamped, so that a degenerate f0 value cannot make the conversion undefined.
inline long roundsamples(double x) {
  constexpr double kLimit = 4611686018427387904.0;  // 2^62 samples
  if (!(x == x)) return 0;
  if (x > kLimit) return static_cast<long>(kLimit);
  if (x < -kLimit) return -static_cast<long>(kLimit);
  return static_cast<long>(std::round(x));
}

}  // namespace marks_detail
