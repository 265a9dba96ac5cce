// Signal helpers of the tessel library: windows, FFT and recursive filtering.
#pragma once

#include <algorithm>
#include <stdexcept>
#include <string>
#include <vector>

#include "ondule/ondule.h"
#include "tessel/tessel_dense_vector.h"

namespace tessel::sig_proc {

using Container::TesselVector;
using Container::VectorLike;

namespace detail {

// n points of an ondule window as a column vector (empty for n <= 0); the window library's
// argument errors become tessel::error.
inline TesselVector<double> window(ond_WindowType type, long n) {
  if (n <= 0) return TesselVector<double>();
  TesselVector<double> w(n, 0.0);
  try {
    ondule::window(type, static_cast<int>(n), w.data(), 0.0, nullptr, nullptr, nullptr, nullptr);
  } catch (const std::invalid_argument& e) {
    TesselError(std::string(e.what()) + "\n");
  }
  return w;
}

// Largest FFT length accepted, in complex points (2^30).
constexpr long kMaxFftLength = 1L << 30;

}  // namespace detail

// Symmetric Hanning window of n points, a column vector. With trim (the usual form), n + 2
// points are computed and the outer two dropped, so no point is zero; without it, the n points
// 0.5 - 0.5 cos(2 pi k / (n - 1)). Empty for n <= 0.
inline TesselVector<double> hanning(long n, bool trim = true) {
  if (n <= 0) return TesselVector<double>();
  if (!trim) return detail::window(ond_Hanning, n);
  const TesselVector<double> full = detail::window(ond_Hanning, n + 2);
  return TesselVector<double>(full(tessel_indices::Range(1, n)));
}

// Symmetric Blackman window of n points, a column vector. Empty for n <= 0.
inline TesselVector<double> blackman(long n) {
  return detail::window(ond_Blackman, n);
}

// Symmetric Hamming window of n points, a column vector. Empty for n <= 0.
inline TesselVector<double> hamming(long n) {
  return detail::window(ond_Hamming, n);
}

// Unscaled forward DFT of x, zero-padded to P points: P is the smallest power of two not below
// n (n = 0: x's length), at least 2. When x is longer than P, its first P values are used.
// Complex x is transformed as is; real x goes into the real parts. The result has x's
// orientation. tessel::error when P would exceed 2^30.
template <VectorLike V>
TesselVector<cplx<double>> fft(const V& x, long n = 0) {
  const long want = n > 0 ? n : x.size();
  if (want > detail::kMaxFftLength) {
    error e("tessel error: fft:: length ");
    e.addIntAsString(want);
    e.append(" exceeds the largest FFT length\n");
    throw e;
  }
  long p = 2;
  while (p < want) p *= 2;
  TesselVector<cplx<double>> out(p, cplx<double>(0.0, 0.0), x.iscol(), x.ischar());
  const int m = static_cast<int>(std::min<long>(p, x.size()));
  for (int i = 0; i < m; ++i) out[i] = cplx<double>(x[i]);
  static_assert(sizeof(cplx<double>) == 2 * sizeof(double), "cplx must be two packed doubles");
  double* d = reinterpret_cast<double*>(out.data());
  try {
    ondule::complexfft(d, d, static_cast<int>(p), 1);
  } catch (const std::invalid_argument& e) {
    TesselError(std::string(e.what()) + "\n");
  }
  return out;
}

// Recursive filter a[0] y[n] = sum_k b[k] x[n-k] - sum_{k>=1} a[k] y[n-k], computed in transposed
// direct form II with the delay state `state` (max(len a, len b) - 1 values: the initial state on
// entry, the final state on return; a state of another length is replaced by zeros). Writes the
// x.size() outputs into y[0 ..]; y may be x itself. tessel::error when y is smaller than x
// (after a warning on standard error), when a is empty or a[0] is 0.
template <VectorLike B, VectorLike A, VectorLike X, class Y>
void filter_vec(const B& b, const A& a, const X& x, Y&& y, TesselVector<double>& state) {
  const int nx = x.size();
  if (nx > y.size()) {
    VEPRINTF("filter_vec:: input size %d does not fit in output container of size %d \n", nx,
             static_cast<int>(y.size()));
    TesselError("ERROR:: output vector size too small \n");
  }
  if (a.size() == 0 || a[0] == 0.0) {
    TesselError("filter_vec:: first denominator coefficient must be non-zero \n");
  }
  const int order = std::max(std::max(a.size(), b.size()) - 1, 0);
  // Coefficients normalised by a[0], padded with zeros to order + 1.
  std::vector<double> bn(static_cast<std::size_t>(order) + 1, 0.0);
  std::vector<double> an(static_cast<std::size_t>(order) + 1, 0.0);
  const double a0 = a[0];
  for (int k = 0; k < b.size(); ++k) bn[k] = b[k] / a0;
  for (int k = 0; k < a.size(); ++k) an[k] = a[k] / a0;
  if (state.size() != order) {
    state.resize(order);
    state = 0.0;
  }
  // Input read from a private copy: the output may be the input or overlap it.
  std::vector<double> xin(static_cast<std::size_t>(nx));
  for (int i = 0; i < nx; ++i) xin[i] = x[i];
  std::vector<double> yout(static_cast<std::size_t>(nx), 0.0);
  std::vector<double> z(state.begin(), state.end());

  const bool fir = std::all_of(an.begin() + 1, an.end(), [](double c) { return c == 0.0; });
  if (fir) {
    // y[n] = sum_k bn[k] x[n-k] + z[n] (the initial state reaches the first `order` outputs),
    // computed by blocks of outputs so that each coefficient pass stays in cache.
    constexpr int kBlock = 2048;  // outputs per block
    const double* xp = xin.data();
    double* yp = yout.data();
    for (int n0 = 0; n0 < nx; n0 += kBlock) {
      const int n1 = std::min(nx, n0 + kBlock);
      for (int n = n0; n < std::min(n1, order); ++n) yp[n] = z[n];
      for (int k = 0; k <= order; ++k) {
        const double c = bn[k];
        if (c == 0.0) continue;
        const int start = std::max(n0, k);
        for (int n = start; n < n1; ++n) yp[n] += c * xp[n - k];
      }
    }
    // Final state: zf[i] = sum_{k=i+1..order} bn[k] x[nx-1-(k-i-1)] + z[i+nx].
    std::vector<double> zf(static_cast<std::size_t>(order), 0.0);
    for (int i = 0; i < order; ++i) {
      double s = i + nx < order ? z[i + nx] : 0.0;
      for (int k = i + 1; k <= order; ++k) {
        const int t = nx - 1 - (k - i - 1);
        if (t >= 0) s += bn[k] * xp[t];
      }
      zf[i] = s;
    }
    z.swap(zf);
  } else {
    for (int n = 0; n < nx; ++n) {
      const double xn = xin[n];
      const double yn = (order > 0 ? z[0] : 0.0) + bn[0] * xn;
      for (int i = 0; i + 1 < order; ++i) z[i] = z[i + 1] + bn[i + 1] * xn - an[i + 1] * yn;
      if (order > 0) z[order - 1] = bn[order] * xn - an[order] * yn;
      yout[n] = yn;
    }
  }
  for (int i = 0; i < nx; ++i) y[i] = yout[i];
  for (int i = 0; i < order; ++i) state[i] = z[i];
}

// filter_vec with a zero initial state into a new vector of x's length and orientation.
template <VectorLike B, VectorLike A, VectorLike X>
TesselVector<double> filter(const B& b, const A& a, const X& x) {
  TesselVector<double> y(x.size(), 0.0, x.iscol(), x.ischar());
  TesselVector<double> state;
  filter_vec(b, a, x, y, state);
  return y;
}

}  // namespace tessel::sig_proc
