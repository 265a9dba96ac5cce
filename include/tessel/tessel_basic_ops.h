// Reductions over tessel vectors, views and element-wise results. Positions are 0-based.
#pragma once

#include <algorithm>
#include <cstdlib>
#include <type_traits>
#include <vector>

#include "tessel/tessel_dense_matrix.h"
#include "tessel/tessel_dense_vector.h"

namespace tessel::basic_ops {

using Container::VectorLike;

// Sum of the elements in index order, from 0 (double for real elements, cplx for complex ones);
// 0 for an empty vector.
template <VectorLike V>
auto sum(const V& v) {
  using T = Container::value_type_of<V>;
  using R = std::conditional_t<is_cplx_v<T>, cplx<double>, double>;
  R s = R(0.0);
  const int n = v.size();
  for (int i = 0; i < n; ++i) s += v[i];
  return s;
}

// Smallest element; tessel::error on an empty vector.
template <VectorLike V>
auto min(const V& v) {
  const int n = v.size();
  if (n == 0) TesselError("min_elem called for empty vector \n");
  Container::value_type_of<V> m = v[0];
  for (int i = 1; i < n; ++i) {
    if (v[i] < m) m = v[i];
  }
  return m;
}

// Largest element; tessel::error on an empty vector.
template <VectorLike V>
auto max(const V& v) {
  const int n = v.size();
  if (n == 0) TesselError("max_elem called for empty vector \n");
  Container::value_type_of<V> m = v[0];
  for (int i = 1; i < n; ++i) {
    if (v[i] > m) m = v[i];
  }
  return m;
}

// 0-based position of the first largest element (a later equal value does not replace it);
// tessel::error on an empty vector.
template <VectorLike V>
int imax_elem(const V& v) {
  const int n = v.size();
  if (n == 0) TesselError("imax_elem called for empty vector \n");
  int im = 0;
  for (int i = 1; i < n; ++i) {
    if (v[i] > v[im]) im = i;
  }
  return im;
}

// 0-based position of the first smallest element; tessel::error on an empty vector.
template <VectorLike V>
int imin_elem(const V& v) {
  const int n = v.size();
  if (n == 0) TesselError("imin_elem called for empty vector \n");
  int im = 0;
  for (int i = 1; i < n; ++i) {
    if (v[i] < v[im]) im = i;
  }
  return im;
}

// For each column of M, the 0-based row of its first largest element (one entry per column).
template <class T, class Tag>
Container::TesselVector<int> imax(const Container::TesselMatrix<T, Tag>& M) {
  Container::TesselVector<int> out(M.ncols(), 0, false);
  const int rows = M.nrows();
  for (int c = 0; c < M.ncols(); ++c) {
    const T* col = M.data() + static_cast<long>(c) * rows;
    int im = 0;
    for (int r = 1; r < rows; ++r) {
      if (col[r] > col[im]) im = r;
    }
    out[c] = im;
  }
  return out;
}

// Median: the middle element of the sorted values (odd length), the mean of the two middle
// ones (even length). tessel::error on an empty vector.
template <VectorLike V>
double median(const V& v) {
  const int n = v.size();
  if (n == 0) TesselError("median called for empty vector \n");
  std::vector<double> s(static_cast<std::size_t>(n));
  for (int i = 0; i < n; ++i) s[i] = static_cast<double>(v[i]);
  const auto mid = s.begin() + n / 2;
  std::nth_element(s.begin(), mid, s.end());
  if (n % 2 == 1) return *mid;
  const double lower = *std::max_element(s.begin(), mid);
  return (lower + *mid) * 0.5;
}

// floor(log2(|n|)) for n != 0, 0 for n == 0: the exponent of the largest power of two not
// above |n| (1 -> 0, 3 -> 1, 1000 -> 9, 1024 -> 10).
inline int nextpow2(long n) {
  unsigned long a = n < 0 ? 0ul - static_cast<unsigned long>(n) : static_cast<unsigned long>(n);
  int e = 0;
  while (a > 1) {
    a >>= 1u;
    ++e;
  }
  return e;
}

}  // namespace tessel::basic_ops
