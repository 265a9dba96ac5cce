// Type traits shared by the tessel containers, views and element-wise operations.
#pragma once

#include <cstdint>
#include <type_traits>

#include "tessel/tessel_cplx.h"

namespace tessel::Container {

// A vector-like is a TesselVector or one of its views: it has value_type, size(), operator[],
// iscol(), ischar() and the span of addresses it reads (span_lo(), span_hi()), used to detect
// a source that overlaps the target of an assignment.
template <class V>
concept VectorLike = requires(const std::remove_cvref_t<V>& v) {
  requires std::remove_cvref_t<V>::tessel_vector_like;
  typename std::remove_cvref_t<V>::value_type;
  { v.size() } -> std::convertible_to<int>;
  v[0];
  { v.iscol() } -> std::convertible_to<bool>;
};

template <VectorLike V>
using value_type_of = typename std::remove_cvref_t<V>::value_type;

// A scalar operand of the element-wise operations: int, long, double (any arithmetic type) or
// a complex number.
template <class S>
concept Scalar = std::is_arithmetic_v<std::remove_cvref_t<S>> || is_cplx_v<std::remove_cvref_t<S>>;

namespace detail {

// True when the address spans [alo, ahi) and [blo, bhi) intersect.
inline bool overlaps(std::uintptr_t alo, std::uintptr_t ahi, std::uintptr_t blo,
                     std::uintptr_t bhi) {
  return alo < bhi && blo < ahi;
}

template <class P>
std::uintptr_t addr(P* p) {
  return reinterpret_cast<std::uintptr_t>(p);
}

}  // namespace detail
}  // namespace tessel::Container
