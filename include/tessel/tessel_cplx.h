// The complex number type of the tessel library: two values, real part then imaginary part.
#pragma once

#include <cmath>
#include <concepts>
#include <type_traits>

#include "tessel/tessel_error.h"

namespace tessel::tessel_cplx_class {

template <class T, class Tag = tessel_tag>
struct cplx {
  using value_type = T;
  T re{};
  T im{};

  constexpr cplx() = default;
  constexpr cplx(T r, T i = T{}) : re(r), im(i) {}  // NOLINT: a real converts implicitly
  template <class U>
  requires std::is_arithmetic_v<U> &&(!std::is_same_v<U, T>)constexpr cplx(U r)
      : re(static_cast<T>(r)), im(T{}) {}  // NOLINT
  template <class U>
  constexpr explicit cplx(const cplx<U, Tag>& o)
      : re(static_cast<T>(o.re)), im(static_cast<T>(o.im)) {}

  constexpr T real() const { return re; }
  constexpr T imag() const { return im; }
  constexpr void real(T r) { re = r; }
  constexpr void imag(T i) { im = i; }

  constexpr cplx& operator+=(const cplx& o) {
    re += o.re;
    im += o.im;
    return *this;
  }
  constexpr cplx& operator-=(const cplx& o) {
    re -= o.re;
    im -= o.im;
    return *this;
  }
  constexpr cplx& operator*=(const cplx& o) { return *this = *this * o; }
  constexpr cplx& operator/=(const cplx& o) { return *this = *this / o; }

  friend constexpr cplx operator+(const cplx& a, const cplx& b) {
    return {a.re + b.re, a.im + b.im};
  }
  friend constexpr cplx operator-(const cplx& a, const cplx& b) {
    return {a.re - b.re, a.im - b.im};
  }
  friend constexpr cplx operator-(const cplx& a) { return {-a.re, -a.im}; }
  friend constexpr cplx operator*(const cplx& a, const cplx& b) {
    return {a.re * b.re - a.im * b.im, a.re * b.im + a.im * b.re};
  }
  // Smith's division: avoids overflow of |b|^2 for large operands.
  friend constexpr cplx operator/(const cplx& a, const cplx& b) {
    if (std::abs(b.re) >= std::abs(b.im)) {
      const T r = b.im / b.re, d = b.re + b.im * r;
      return {(a.re + a.im * r) / d, (a.im - a.re * r) / d};
    }
    const T r = b.re / b.im, d = b.im + b.re * r;
    return {(a.re * r + a.im) / d, (a.im * r - a.re) / d};
  }
  friend constexpr bool operator==(const cplx& a, const cplx& b) = default;
};

template <class T>
inline constexpr bool is_cplx_v = false;
template <class T, class Tag>
inline constexpr bool is_cplx_v<cplx<T, Tag>> = true;

// Mixed operations with real scalars (int, long and double convert to T first).
template <class T, class Tag, class S>
requires std::is_arithmetic_v<S>
constexpr cplx<T, Tag> operator+(const cplx<T, Tag>& a, S b) {
  return {a.re + T(b), a.im};
}
template <class T, class Tag, class S>
requires std::is_arithmetic_v<S>
constexpr cplx<T, Tag> operator+(S a, const cplx<T, Tag>& b) {
  return {T(a) + b.re, b.im};
}
template <class T, class Tag, class S>
requires std::is_arithmetic_v<S>
constexpr cplx<T, Tag> operator-(const cplx<T, Tag>& a, S b) {
  return {a.re - T(b), a.im};
}
template <class T, class Tag, class S>
requires std::is_arithmetic_v<S>
constexpr cplx<T, Tag> operator-(S a, const cplx<T, Tag>& b) {
  return {T(a) - b.re, -b.im};
}
template <class T, class Tag, class S>
requires std::is_arithmetic_v<S>
constexpr cplx<T, Tag> operator*(const cplx<T, Tag>& a, S b) {
  return {a.re * T(b), a.im * T(b)};
}
template <class T, class Tag, class S>
requires std::is_arithmetic_v<S>
constexpr cplx<T, Tag> operator*(S a, const cplx<T, Tag>& b) {
  return {T(a) * b.re, T(a) * b.im};
}
template <class T, class Tag, class S>
requires std::is_arithmetic_v<S>
constexpr cplx<T, Tag> operator/(const cplx<T, Tag>& a, S b) {
  return {a.re / T(b), a.im / T(b)};
}
template <class T, class Tag, class S>
requires std::is_arithmetic_v<S>
constexpr cplx<T, Tag> operator/(S a, const cplx<T, Tag>& b) {
  return cplx<T, Tag>(T(a)) / b;
}

template <class T, class Tag>
constexpr T real(const cplx<T, Tag>& z) {
  return z.re;
}
template <class T, class Tag>
constexpr T imag(const cplx<T, Tag>& z) {
  return z.im;
}
template <class T, class Tag>
constexpr cplx<T, Tag> conj(const cplx<T, Tag>& z) {
  return {z.re, -z.im};
}

// Modulus without overflow or underflow of re^2 + im^2.
template <class T, class Tag>
T abs(const cplx<T, Tag>& z) {
  T a = std::abs(z.re);
  T b = std::abs(z.im);
  if (b == 0) return a;
  if (b > a) return b * std::sqrt(1 + (a / b) * (a / b));
  return a * std::sqrt(1 + (b / a) * (b / a));
}

// Argument in radians, in [-pi, pi].
template <class T, class Tag>
T arg(const cplx<T, Tag>& z) {
  constexpr T kHalfPi = T(1.5707963267948966);  // pi / 2, radians
  if (z.re == 0) return z.im > 0 ? kHalfPi : (z.im < 0 ? -kHalfPi : T(0));
  return std::atan2(z.im, z.re);
}

// Principal logarithm: log of the modulus, argument in [-pi, pi].
template <class T, class Tag>
cplx<T, Tag> log(const cplx<T, Tag>& z) {
  return {std::log(abs(z)), arg(z)};
}

// Principal square root: modulus sqrt(|z|), argument arg(z) / 2.
template <class T, class Tag>
cplx<T, Tag> sqrt(const cplx<T, Tag>& z) {
  constexpr T kTwoPi = T(6.283185307179586);  // radians
  const T m = std::sqrt(abs(z));
  T a = std::fmod(arg(z) / 2, kTwoPi);
  return {m * std::cos(a), m * std::sin(a)};
}

template <class T, class Tag>
cplx<T, Tag> exp(const cplx<T, Tag>& z) {
  const T m = std::exp(z.re);
  return {m * std::cos(z.im), m * std::sin(z.im)};
}

}  // namespace tessel::tessel_cplx_class

namespace tessel {
using tessel_cplx_class::cplx;
using tessel_cplx_class::is_cplx_v;

// real and imag of a plain number: the number itself and 0.
template <class T>
requires std::is_arithmetic_v<T>
constexpr T real(T x) {
  return x;
}
template <class T>
requires std::is_arithmetic_v<T>
constexpr T imag(T) {
  return T{};
}
using tessel_cplx_class::abs;
using tessel_cplx_class::arg;
using tessel_cplx_class::conj;
using tessel_cplx_class::imag;
using tessel_cplx_class::real;
}  // namespace tessel
