// The paired modulus of rounded spectrum values against the plain scalar computation, bit
// for bit, on ordinary values and on the ones where a rounding or a branch could differ.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <cstring>
#include <limits>
#include <vector>

#include "voicing/rounded_modulus.h"

namespace {

double plain_rounded(double v) {
  return std::round(v * 1e10) / 1e10;
}

double plain_modulus(double re, double im) {
  const double a = std::abs(re);
  const double b = std::abs(im);
  if (b == 0.0) return a;
  if (b > a) return b * std::sqrt(1.0 + (a / b) * (a / b));
  return a * std::sqrt(1.0 + (b / a) * (b / a));
}

std::uint64_t bits(double v) {
  std::uint64_t u;
  std::memcpy(&u, &v, sizeof u);
  return u;
}

}  // namespace

TEST(RoundedModulus, EqualsScalarComputationBitForBit) {
  const double inf = std::numeric_limits<double>::infinity();
  const double nan = std::numeric_limits<double>::quiet_NaN();
  std::vector<double> parts = {0.0,     -0.0,     1.0,     -1.0,   3.0,    4.0,
                               1e-11,   -1e-11,   4.9e-11, 5e-11,  -5e-11, 1.5e-10,
                               2.5e-10, -2.5e-10, 1e300,   -1e300, 4.6e5,  9e5,
                               1e6,     inf,      -inf,    nan,    5e-324, 123.456789012345678};
  // Values whose scaled form sits next to a half: ties and their neighbours.
  for (int k = 0; k < 40; ++k) {
    const double half = (k + 0.5) / 1e10;
    parts.push_back(half);
    parts.push_back(-std::nextafter(half, 0.0));
    parts.push_back(std::nextafter(half, 1.0));
  }
  // Near 2^52 once scaled, where every double is an integer.
  for (const double big : {4503599627370495.5, 4503599627370496.0, 9007199254740993.0}) {
    parts.push_back(big / 1e10);
    parts.push_back(-big / 1e10);
  }
  std::uint32_t seed = 5;
  for (int k = 0; k < 200; ++k) {
    seed = seed * 1664525u + 1013904223u;
    parts.push_back(((seed >> 8) / 16777216.0 - 0.5) * std::pow(10.0, k % 13 - 8));
  }
  // Every part against every other, as real and imaginary parts, in both lanes of a pair.
  std::vector<double> x;
  for (const double re : parts) {
    for (const double im : parts) {
      x.push_back(re);
      x.push_back(im);
    }
  }
  const int count = static_cast<int>(x.size() / 2) - 1;  // odd count: the scalar tail too
  std::vector<double> got(count);
  rounded_modulus(x.data(), count, got.data());
  for (int k = 0; k < count; ++k) {
    const double want = plain_modulus(plain_rounded(x[2 * k]), plain_rounded(x[2 * k + 1]));
    if (std::isnan(want)) {
      ASSERT_TRUE(std::isnan(got[k])) << x[2 * k] << " " << x[2 * k + 1];
    } else {
      ASSERT_EQ(bits(got[k]), bits(want)) << x[2 * k] << " " << x[2 * k + 1];
    }
  }
}
