// Searches and rearrangements of tessel vectors. Positions are 0-based.
#pragma once

#include <algorithm>
#include <cmath>
#include <limits>
#include <utility>
#include <vector>

#include "tessel/tessel_dense_vector.h"

namespace tessel::base_algo {

using Container::TesselVector;
using Container::VectorLike;

// Predicate x < bound.
template <class B>
struct lt {
  B bound;
  explicit lt(B b) : bound(b) {}
  template <class X>
  bool operator()(const X& x) const {
    return x < bound;
  }
};
// Predicate x > bound.
template <class B>
struct gt {
  B bound;
  explicit gt(B b) : bound(b) {}
  template <class X>
  bool operator()(const X& x) const {
    return x > bound;
  }
};

// Binds the second argument of a binary predicate: bind2nd(std::less<double>(), 3.0)(x) is
// x < 3.0.
template <class Op, class B>
auto bind2nd(Op op, B bound) {
  return [op, bound](const auto& x) { return op(x, bound); };
}

// Ascending 0-based positions of the elements of v for which pred holds (a column vector).
template <VectorLike V, class Pred>
TesselVector<int> find(const V& v, Pred pred) {
  TesselVector<int> idx;
  const int n = v.size();
  idx.reserve(n / 10);
  for (int i = 0; i < n; ++i) {
    if (pred(v[i])) idx.push_back(i);
  }
  return idx;
}

}  // namespace tessel::base_algo
