#include "voicing/rounded_modulus.h"

#include <cmath>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace {

constexpr double kRoundScale = 1e10;  // spectrum parts are rounded to 10 decimals

// Modulus without overflow of the squares.
double modulus(double re, double im) {
  const double a = std::abs(re);
  const double b = std::abs(im);
  if (b == 0.0) return a;
  if (b > a) {
    const double q = a / b;
    return b * std::sqrt(1.0 + q * q);
  }
  const double q = b / a;
  return a * std::sqrt(1.0 + q * q);
}

double rounded(double v) {
  return std::round(v * kRoundScale) / kRoundScale;
}

#if defined(__SSE2__)
// std::round of two values: from 2^52 on every double is an integer; below it, adding and
// taking away 2^52 rounds to the nearest integer with ties to even, and the ties that went
// down are moved up, away from zero. The sign is put back last (round(-0.2) is -0).
__m128d round_half_away(__m128d v) {
  const __m128d sign = _mm_set1_pd(-0.0);
  const __m128d two52 = _mm_set1_pd(4503599627370496.0);  // 2^52
  const __m128d a = _mm_andnot_pd(sign, v);
  __m128d t = _mm_sub_pd(_mm_add_pd(a, two52), two52);
  const __m128d tie_down = _mm_cmpeq_pd(_mm_sub_pd(a, t), _mm_set1_pd(0.5));
  t = _mm_add_pd(t, _mm_and_pd(tie_down, _mm_set1_pd(1.0)));
  const __m128d big = _mm_cmpge_pd(a, two52);
  t = _mm_or_pd(_mm_and_pd(big, a), _mm_andnot_pd(big, t));
  return _mm_or_pd(t, _mm_and_pd(sign, v));
}

__m128d select(__m128d mask, __m128d yes, __m128d no) {
  return _mm_or_pd(_mm_and_pd(mask, yes), _mm_andnot_pd(mask, no));
}

// The scalar modulus on two values, its branches turned into selections: the larger part
// is the imaginary one only when b > a (so a NaN takes the same path as there).
__m128d modulus(__m128d re, __m128d im) {
  const __m128d sign = _mm_set1_pd(-0.0);
  const __m128d a = _mm_andnot_pd(sign, re);
  const __m128d b = _mm_andnot_pd(sign, im);
  const __m128d b_larger = _mm_cmpgt_pd(b, a);
  const __m128d big = select(b_larger, b, a);
  const __m128d small = select(b_larger, a, b);
  const __m128d q = _mm_div_pd(small, big);
  const __m128d r = _mm_mul_pd(big, _mm_sqrt_pd(_mm_add_pd(_mm_set1_pd(1.0), _mm_mul_pd(q, q))));
  return select(_mm_cmpeq_pd(b, _mm_setzero_pd()), a, r);
}
#endif

}  // namespace

void rounded_modulus(const double* x, int count, double* magnitude) {
  int k = 0;
#if defined(__SSE2__)
  const __m128d scale = _mm_set1_pd(kRoundScale);
  for (; k + 2 <= count; k += 2) {
    const __m128d z0 = _mm_loadu_pd(x + 2 * k);      // re0 im0
    const __m128d z1 = _mm_loadu_pd(x + 2 * k + 2);  // re1 im1
    const __m128d re =
        _mm_div_pd(round_half_away(_mm_mul_pd(_mm_unpacklo_pd(z0, z1), scale)), scale);
    const __m128d im =
        _mm_div_pd(round_half_away(_mm_mul_pd(_mm_unpackhi_pd(z0, z1), scale)), scale);
    _mm_storeu_pd(magnitude + k, modulus(re, im));
  }
#endif
  for (; k < count; ++k) magnitude[k] = modulus(rounded(x[2 * k]), rounded(x[2 * k + 1]));
}
