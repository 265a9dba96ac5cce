// Element-wise arithmetic and functions on tessel vectors, views and matrices.
//
// Every operation is evaluated at once into a new TesselVector (or TesselMatrix). A result takes
// its length, orientation and character flag from its vector operand, from the right-hand one
// when both are vectors; the left operand of a vector-vector operation must have at least as
// many elements as the right one (else tessel::error). Integer scalars are converted to double
// before operating on a double vector; an int vector with an int scalar or another int vector
// stays int, except for division, which is done in double.
#pragma once

#include <cmath>
#include <type_traits>

#include "tessel/tessel_dense_matrix.h"
#include "tessel/tessel_dense_vector.h"

namespace tessel::vec_fun {

using Container::Scalar;
using Container::VectorLike;

struct vec_plus {
  template <class A, class B>
  auto operator()(const A& a, const B& b) const {
    return a + b;
  }
};
struct vec_minus {
  template <class A, class B>
  auto operator()(const A& a, const B& b) const {
    return a - b;
  }
};
struct vec_multiply {
  template <class A, class B>
  auto operator()(const A& a, const B& b) const {
    return a * b;
  }
};
struct vec_divide {
  template <class A, class B>
  auto operator()(const A& a, const B& b) const {
    return a / b;
  }
};

struct vec_sqrt {
  double operator()(double x) const { return std::sqrt(x); }
};
struct vec_cos {
  double operator()(double x) const { return std::cos(x); }
};
struct vec_sin {
  double operator()(double x) const { return std::sin(x); }
};
struct vec_exp {
  double operator()(double x) const { return std::exp(x); }
};
// Normalised sinc: 1 at exactly 0, else sin(pi x) / (pi x).
struct vec_sinc {
  double operator()(double x) const {
    constexpr double kPi = 3.141592653589793;
    if (x == 0.0) return 1.0;
    return std::sin(kPi * x) / (kPi * x);
  }
};
// Rounds halves away from zero.
struct vec_round {
  double operator()(double x) const { return std::round(x); }
};
struct vec_floor {
  double operator()(double x) const { return std::floor(x); }
};
struct vec_ceil {
  double operator()(double x) const { return std::ceil(x); }
};
// Modulus of a complex number (overflow-safe), absolute value of a real one.
struct vec_abs {
  double operator()(const cplx<double>& z) const { return tessel_cplx_class::abs(z); }
  double operator()(double x) const { return std::abs(x); }
  int operator()(int x) const { return x < 0 ? -x : x; }
};
// Principal logarithm of a complex number, natural logarithm of a real one.
struct vec_log {
  cplx<double> operator()(const cplx<double>& z) const { return tessel_cplx_class::log(z); }
  double operator()(double x) const { return std::log(x); }
};
struct vec_real {
  double operator()(const cplx<double>& z) const { return z.re; }
  double operator()(double x) const { return x; }
};
struct vec_imag {
  double operator()(const cplx<double>& z) const { return z.im; }
  double operator()(double) const { return 0.0; }
};
// Integer power x^e by repeated squaring (e may be negative).
struct vec_pow {
  int e;
  template <class T>
  T operator()(const T& x) const {
    unsigned long k = e < 0 ? -static_cast<unsigned long>(static_cast<long>(e)) : e;
    T base = x;
    T r = T(1);
    while (k != 0) {
      if (k & 1u) r = r * base;
      base = base * base;
      k >>= 1u;
    }
    return e < 0 ? T(1) / r : r;
  }
};

namespace detail {

template <class X>
struct element_of {
  using type = std::remove_cvref_t<X>;
};
template <VectorLike X>
struct element_of<X> {
  using type = Container::value_type_of<X>;
};
template <class T, class Tag>
struct element_of<Container::TesselMatrix<T, Tag>> {
  using type = T;
};
template <class X>
using element_t = typename element_of<X>::type;

// Element type of a binary result: complex if either side is, int when both are integers and
// the operation is not a division, else double.
template <class A, class B, class Op>
using binary_result_t =
    std::conditional_t<is_cplx_v<A> || is_cplx_v<B>, cplx<double>,
                       std::conditional_t<std::is_integral_v<A> && std::is_integral_v<B> &&
                                              !std::is_same_v<Op, vec_divide>,
                                          int, double>>;

template <class Op, class A, class B>
auto binary(const A& a, const B& b, Op op) {
  using R = binary_result_t<element_t<A>, element_t<B>, Op>;
  if constexpr (VectorLike<A> && VectorLike<B>) {
    const int n = b.size();
    if (a.size() < n) {
      Container::TesselVector<R>::errout("element-wise operation: ",
                                         "left operand shorter than right operand");
    }
    Container::TesselVector<R> out(n, R(), b.iscol(), b.ischar());
    R* o = out.data();
    for (int i = 0; i < n; ++i) o[i] = op(static_cast<R>(a[i]), static_cast<R>(b[i]));
    return out;
  } else if constexpr (VectorLike<A>) {
    const int n = a.size();
    const R s = static_cast<R>(b);
    Container::TesselVector<R> out(n, R(), a.iscol(), a.ischar());
    R* o = out.data();
    for (int i = 0; i < n; ++i) o[i] = op(static_cast<R>(a[i]), s);
    return out;
  } else {
    const int n = b.size();
    const R s = static_cast<R>(a);
    Container::TesselVector<R> out(n, R(), b.iscol(), b.ischar());
    R* o = out.data();
    for (int i = 0; i < n; ++i) o[i] = op(s, static_cast<R>(b[i]));
    return out;
  }
}

template <class R, class Op, class V>
Container::TesselVector<R> unary(const V& v, Op op) {
  const int n = v.size();
  Container::TesselVector<R> out(n, R(), v.iscol(), v.ischar());
  R* o = out.data();
  for (int i = 0; i < n; ++i) o[i] = op(v[i]);
  return out;
}

template <class Op, class A, class B>
auto binary_matrix(const A& a, const B& b, Op op) {
  using R = binary_result_t<element_t<A>, element_t<B>, Op>;
  if constexpr (Scalar<A>) {
    Container::TesselMatrix<R> out(b.nrows(), b.ncols());
    const R s = static_cast<R>(a);
    for (long i = 0; i < b.size(); ++i) out.data()[i] = op(s, static_cast<R>(b.data()[i]));
    return out;
  } else if constexpr (Scalar<B>) {
    Container::TesselMatrix<R> out(a.nrows(), a.ncols());
    const R s = static_cast<R>(b);
    for (long i = 0; i < a.size(); ++i) out.data()[i] = op(static_cast<R>(a.data()[i]), s);
    return out;
  } else {
    if (a.nrows() != b.nrows() || a.ncols() != b.ncols()) {
      Container::TesselMatrix<R>::errout("element-wise operation: ", "matrix shapes differ");
    }
    Container::TesselMatrix<R> out(a.nrows(), a.ncols());
    for (long i = 0; i < a.size(); ++i) {
      out.data()[i] = op(static_cast<R>(a.data()[i]), static_cast<R>(b.data()[i]));
    }
    return out;
  }
}

template <class X>
inline constexpr bool is_matrix_v = false;
template <class T, class Tag>
inline constexpr bool is_matrix_v<Container::TesselMatrix<T, Tag>> = true;

}  // namespace detail
}  // namespace tessel::vec_fun

namespace tessel::Container {

// Operand pairs of the element-wise operators: vector-like with vector-like or scalar.
template <class A, class B>
concept VecOperands = (VectorLike<A> && (VectorLike<B> || Scalar<B>)) ||
                      (Scalar<A> && VectorLike<B>);
template <class A, class B>
concept MatOperands = (vec_fun::detail::is_matrix_v<A> &&
                       (vec_fun::detail::is_matrix_v<B> || Scalar<B>)) ||
                      (Scalar<A> && vec_fun::detail::is_matrix_v<B>);

template <class A, class B>
requires VecOperands<A, B>
auto operator+(const A& a, const B& b) {
  return vec_fun::detail::binary(a, b, vec_fun::vec_plus{});
}
template <class A, class B>
requires VecOperands<A, B>
auto operator-(const A& a, const B& b) {
  return vec_fun::detail::binary(a, b, vec_fun::vec_minus{});
}
template <class A, class B>
requires VecOperands<A, B>
auto operator*(const A& a, const B& b) {
  return vec_fun::detail::binary(a, b, vec_fun::vec_multiply{});
}
template <class A, class B>
requires VecOperands<A, B>
auto operator/(const A& a, const B& b) {
  return vec_fun::detail::binary(a, b, vec_fun::vec_divide{});
}
template <VectorLike V>
auto operator-(const V& v) {
  using T = value_type_of<V>;
  return vec_fun::detail::unary<T>(v, [](const T& x) { return -x; });
}

// Element-wise matrix sums and differences (same shapes, or a scalar).
template <class A, class B>
requires MatOperands<A, B>
auto operator+(const A& a, const B& b) {
  return vec_fun::detail::binary_matrix(a, b, vec_fun::vec_plus{});
}
template <class A, class B>
requires MatOperands<A, B>
auto operator-(const A& a, const B& b) {
  return vec_fun::detail::binary_matrix(a, b, vec_fun::vec_minus{});
}
// Matrix times scalar; matrix times matrix or vector is the matrix product (matrix_fun::mult).
template <class A, class B>
requires MatOperands<A, B> &&(Scalar<A> || Scalar<B>)auto operator*(const A& a, const B& b) {
  return vec_fun::detail::binary_matrix(a, b, vec_fun::vec_multiply{});
}
template <class A, class B>
requires MatOperands<A, B> && Scalar<B>
auto operator/(const A& a, const B& b) {
  return vec_fun::detail::binary_matrix(a, b, vec_fun::vec_divide{});
}

// Element-wise functions, found by argument-dependent lookup on the containers and views.
template <VectorLike V>
TesselVector<double> sqrt(const V& v) {
  return vec_fun::detail::unary<double>(v, vec_fun::vec_sqrt{});
}
template <VectorLike V>
TesselVector<double> cos(const V& v) {
  return vec_fun::detail::unary<double>(v, vec_fun::vec_cos{});
}
template <VectorLike V>
TesselVector<double> sin(const V& v) {
  return vec_fun::detail::unary<double>(v, vec_fun::vec_sin{});
}
template <VectorLike V>
TesselVector<double> exp(const V& v) {
  return vec_fun::detail::unary<double>(v, vec_fun::vec_exp{});
}
template <VectorLike V>
TesselVector<double> sinc(const V& v) {
  return vec_fun::detail::unary<double>(v, vec_fun::vec_sinc{});
}
template <VectorLike V>
TesselVector<double> round(const V& v) {
  return vec_fun::detail::unary<double>(v, vec_fun::vec_round{});
}
template <VectorLike V>
TesselVector<double> floor(const V& v) {
  return vec_fun::detail::unary<double>(v, vec_fun::vec_floor{});
}
template <VectorLike V>
TesselVector<double> ceil(const V& v) {
  return vec_fun::detail::unary<double>(v, vec_fun::vec_ceil{});
}
// Modulus of complex elements; absolute value of real ones (int stays int).
template <VectorLike V>
auto abs(const V& v) {
  using R = std::conditional_t<std::is_same_v<value_type_of<V>, int>, int, double>;
  return vec_fun::detail::unary<R>(v, vec_fun::vec_abs{});
}
// Principal logarithm of complex elements, natural logarithm of real ones.
template <VectorLike V>
auto log(const V& v) {
  using R = std::conditional_t<is_cplx_v<value_type_of<V>>, cplx<double>, double>;
  return vec_fun::detail::unary<R>(v, vec_fun::vec_log{});
}
template <VectorLike V>
TesselVector<double> real(const V& v) {
  return vec_fun::detail::unary<double>(v, vec_fun::vec_real{});
}
template <VectorLike V>
TesselVector<double> imag(const V& v) {
  return vec_fun::detail::unary<double>(v, vec_fun::vec_imag{});
}
// Integer power of every element.
template <VectorLike V>
auto pow(const V& v, int e) {
  using T = std::conditional_t<std::is_integral_v<value_type_of<V>>, double, value_type_of<V>>;
  return vec_fun::detail::unary<T>(
      v, [e](const value_type_of<V>& x) { return vec_fun::vec_pow{e}(static_cast<T>(x)); });
}

}  // namespace tessel::Container
