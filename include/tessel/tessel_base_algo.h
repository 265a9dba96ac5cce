// Searches and rearrangements of tessel vectors. Positions are 0-based.
#pragma once

#include <algorithm>
#include <cmath>
#include <limits>
#include <type_traits>
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

// Sorts the values of x in ascending order into sorted and their 0-based positions in x into
// indices (both resized to x's length; sorted takes x's orientation). Equal values keep their
// order of position; NaN values go last. x may be sorted itself.
template <VectorLike V, class T>
void sort(const V& x, TesselVector<T>& sorted, TesselVector<int>& indices) {
  const int n = x.size();
  std::vector<std::pair<T, int>> pairs(static_cast<std::size_t>(n));
  for (int i = 0; i < n; ++i) pairs[i] = {static_cast<T>(x[i]), i};
  const bool col = x.iscol();
  const auto before = [](const std::pair<T, int>& a, const std::pair<T, int>& b) {
    if constexpr (std::is_floating_point_v<T>) {
      const bool na = std::isnan(a.first), nb = std::isnan(b.first);
      if (na || nb) return na == nb ? a.second < b.second : nb;
    }
    return a < b;
  };
  std::sort(pairs.begin(), pairs.end(), before);
  sorted.resize(n);
  indices.resize(n);
  for (int i = 0; i < n; ++i) {
    sorted[i] = pairs[i].first;
    indices[i] = pairs[i].second;
  }
  sorted.setcol(col);
  indices.setcol(col);
}

// A copy of v in reverse order, with v's orientation.
template <VectorLike V>
TesselVector<Container::value_type_of<V>> flipud(const V& v) {
  const int n = v.size();
  TesselVector<Container::value_type_of<V>> out(n, {}, v.iscol(), v.ischar());
  for (int i = 0; i < n; ++i) out[i] = v[n - 1 - i];
  return out;
}

// First differences v[i+1] - v[i], applied order times (length n - order, at least 0), shaped
// as v (column or row).
template <VectorLike V>
TesselVector<Container::value_type_of<V>> diff(const V& v, int order = 1) {
  TesselVector<Container::value_type_of<V>> out(v.size(), {}, v.iscol(), v.ischar());
  for (int i = 0; i < v.size(); ++i) out[i] = v[i];
  for (int k = 0; k < order && out.size() > 0; ++k) {
    const int m = out.size() - 1;
    for (int i = 0; i < m; ++i) out[i] = out[i + 1] - out[i];
    if (v.iscol()) {
      out.resize(m, 1);
    } else {
      out.resize(1, m);
    }
  }
  return out;
}

// Linear interpolation of the table (x, y) at the points xi: a vector of xi's length and
// orientation. x need not be sorted (the table is sorted first); a point outside
// [min x, max x] gives NaN, and so does a NaN point. Among equal abscissae the one listed first
// is used. tessel::error when x and y differ in length.
template <VectorLike X, VectorLike Y, VectorLike XI>
TesselVector<double> interp1q(const X& x, const Y& y, const XI& xi) {
  if (x.size() != y.size()) {
    TesselError("interp1q:: x and y must have the same number of elements\n");
  }
  TesselVector<double> xs, ys;
  TesselVector<int> xperm;
  sort(x, xs, xperm);
  ys.resize(xs.size());
  for (int i = 0; i < xs.size(); ++i) ys[i] = static_cast<double>(y[xperm[i]]);
  TesselVector<double> pts;
  TesselVector<int> order;
  sort(xi, pts, order);

  const int n = xs.size();
  TesselVector<double> out(xi.size(), std::numeric_limits<double>::quiet_NaN(), xi.iscol());
  int k = 0;  // segment [xs[k], xs[k+1]] holding the current point
  for (int j = 0; j < pts.size(); ++j) {
    const double t = pts[j];
    if (n == 0 || !(t >= xs[0] && t <= xs[n - 1])) continue;  // outside, or NaN
    while (k + 1 < n && xs[k + 1] < t) ++k;
    if (t == xs[k] || k + 1 >= n) {
      out[order[j]] = ys[k];
      continue;
    }
    const double x0 = xs[k], x1 = xs[k + 1];
    out[order[j]] = x1 == x0 ? ys[k] : ys[k] + (ys[k + 1] - ys[k]) * ((t - x0) / (x1 - x0));
  }
  return out;
}

}  // namespace tessel::base_algo
