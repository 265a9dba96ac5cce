// Windows, FFT and recursive filtering.
#include <gtest/gtest.h>

#include <cmath>
#include <complex>
#include <string>
#include <vector>

#include "tessel/tessel.h"

using namespace tessel;

namespace {

TEST(Windows, HanningTrimmedHasNoZeroEnds) {
  const TesselVector<double> w = sig_proc::hanning(3, true);
  ASSERT_EQ(w.size(), 3);
  // Inner points of the 5-point window 0.5 - 0.5 cos(2 pi k / 4).
  EXPECT_NEAR(w[0], 0.5, 1e-15);
  EXPECT_NEAR(w[1], 1.0, 1e-15);
  EXPECT_NEAR(w[2], 0.5, 1e-15);
  EXPECT_TRUE(w.iscol());

  const TesselVector<double> full = sig_proc::hanning(3, false);
  EXPECT_NEAR(full[0], 0.0, 1e-15);
  EXPECT_NEAR(full[1], 1.0, 1e-15);
  EXPECT_EQ(sig_proc::hanning(1, false)[0], 1.0);
  EXPECT_EQ(sig_proc::hanning(0, true).size(), 0);
}

TEST(Windows, BlackmanFollowsFormula) {
  const int n = 9;
  const TesselVector<double> w = sig_proc::blackman(n);
  ASSERT_EQ(w.size(), n);
  for (int k = 0; k < n; ++k) {
    const double a = 2.0 * M_PI * k / (n - 1);
    EXPECT_NEAR(w[k], 0.42 - 0.5 * std::cos(a) + 0.08 * std::cos(2 * a), 1e-15) << k;
  }
}

// Direct DFT, forward (sign -1) or backward (sign +1), unscaled.
std::vector<std::complex<double>> dft(const std::vector<std::complex<double>>& x, int sign) {
  const size_t n = x.size();
  std::vector<std::complex<double>> X(n);
  for (size_t k = 0; k < n; ++k) {
    for (size_t t = 0; t < n; ++t) {
      X[k] += x[t] * std::polar(1.0, sign * 2.0 * M_PI * static_cast<double>(k * t % n) / n);
    }
  }
  return X;
}

TEST(Fft, LengthIsNextPowerOfTwo) {
  const struct {
    int size;
    long n;
    int expected;
  } cases[] = {{5, 0, 8},       {1, 0, 2}, {2, 0, 2}, {3, 0, 4}, {1024, 0, 1024},
               {1025, 0, 2048}, {4, 1, 2}, {4, 3, 4}, {0, 0, 2}, {10, 4, 4}};
  for (const auto& c : cases) {
    SCOPED_TRACE(testing::Message() << "size " << c.size << ", n " << c.n);
    const TesselVector<double> x(c.size, 1.0);
    EXPECT_EQ(sig_proc::fft(x, c.n).size(), c.expected);
  }
}

TEST(Fft, MatchesDirectDft) {
  for (int size : {1, 3, 4, 7, 16, 33}) {
    SCOPED_TRACE(size);
    TesselVector<double> x(size);
    std::vector<std::complex<double>> padded;
    for (int i = 0; i < size; ++i) x[i] = std::sin(0.7 * i) + 0.1 * i * i;
    const TesselVector<cplx<double>> X = sig_proc::fft(x, 0);
    padded.resize(static_cast<size_t>(X.size()));
    for (int i = 0; i < size; ++i) padded[i] = x[i];
    const auto ref = dft(padded, -1);
    for (int k = 0; k < X.size(); ++k) {
      EXPECT_NEAR(X[k].re, ref[k].real(), 1e-9) << k;
      EXPECT_NEAR(X[k].im, ref[k].imag(), 1e-9) << k;
    }
  }
}

TEST(Fft, ConstantInputAndOrientation) {
  TesselVector<double> ones(4, 1.0, false);
  const TesselVector<cplx<double>> X = sig_proc::fft(ones, 4);
  EXPECT_EQ(X[0], cplx<double>(4, 0));
  for (int k = 1; k < 4; ++k) EXPECT_EQ(abs(X[k]), 0.0);
  EXPECT_FALSE(X.iscol());
  const TesselVector<cplx<double>> V = sig_proc::fft(ones(Range(0, 1)), 0);
  EXPECT_EQ(V[0], cplx<double>(2, 0));
}

TEST(Fft, TooLongIsAnError) {
  EXPECT_THROW(sig_proc::fft(TesselVector<double>(2, 1.0), (1L << 30) + 1), error);
}

// Reference: a[0] y[n] = sum b[k] x[n-k] - sum_{k>=1} a[k] y[n-k], zero initial state.
std::vector<double> difference_equation(const std::vector<double>& b, const std::vector<double>& a,
                                        const std::vector<double>& x) {
  std::vector<double> y(x.size());
  for (size_t n = 0; n < x.size(); ++n) {
    double s = 0.0;
    for (size_t k = 0; k < b.size() && k <= n; ++k) s += b[k] * x[n - k];
    for (size_t k = 1; k < a.size() && k <= n; ++k) s -= a[k] * y[n - k];
    y[n] = s / a[0];
  }
  return y;
}

TesselVector<double> to_vec(const std::vector<double>& v) {
  TesselVector<double> out(static_cast<long>(v.size()));
  for (size_t i = 0; i < v.size(); ++i) out[i] = v[i];
  return out;
}

TEST(Filter, MatchesDifferenceEquation) {
  std::vector<double> x(5000);
  for (size_t i = 0; i < x.size(); ++i) x[i] = std::sin(0.01 * i * i) + (i % 7 == 0 ? 1.0 : 0.0);
  const struct {
    const char* why;
    std::vector<double> b, a;
  } cases[] = {
      {"FIR longer than a block edge", std::vector<double>(101, 1.0 / 101), {1.0}},
      {"FIR with unnormalised a", {1.0, -2.0, 0.5}, {2.0}},
      {"IIR one pole", {0.2}, {1.0, -0.8}},
      {"IIR longer a than b", {1.0, 0.5}, {1.0, -0.5, 0.25, -0.1}},
      {"gain only", {3.0}, {1.0}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.why);
    const auto ref = difference_equation(c.b, c.a, x);
    const TesselVector<double> y = sig_proc::filter(to_vec(c.b), to_vec(c.a), to_vec(x));
    ASSERT_EQ(y.size(), static_cast<int>(x.size()));
    for (size_t i = 0; i < x.size(); ++i) ASSERT_NEAR(y[i], ref[i], 1e-12) << i;
  }
}

TEST(Filter, StateCarriesAcrossBlocks) {
  std::vector<double> x(300);
  for (size_t i = 0; i < x.size(); ++i) x[i] = std::cos(0.3 * i);
  for (const auto& a : {std::vector<double>{1.0}, std::vector<double>{1.0, -0.9}}) {
    SCOPED_TRACE(a.size());
    const TesselVector<double> b = {0.5, 0.25, 0.125, 0.0625};
    const TesselVector<double> whole = sig_proc::filter(b, to_vec(a), to_vec(x));
    const TesselVector<double> xv = to_vec(x);
    TesselVector<double> y(300, 0.0);
    TesselVector<double> state;
    sig_proc::filter_vec(b, to_vec(a), xv(Range(0, 1)), y, state);
    ASSERT_EQ(state.size(), 3);
    sig_proc::filter_vec(b, to_vec(a), xv(Range(2, 299)), y(Range(2, 299)), state);
    for (int i = 0; i < 300; ++i) ASSERT_NEAR(y[i], whole[i], 1e-12) << i;
  }
}

TEST(Filter, InPlaceAndOutputTooSmall) {
  TesselVector<double> x = {1.0, 2.0, 3.0, 4.0};
  TesselVector<double> state;
  sig_proc::filter_vec(TesselVector<double>{1.0, 1.0}, TesselVector<double>{1.0}, x, x, state);
  EXPECT_EQ(x[3], 7.0);
  EXPECT_EQ(x[0], 1.0);

  TesselVector<double> small(3, 0.0);
  testing::internal::CaptureStderr();
  try {
    sig_proc::filter_vec(TesselVector<double>{1.0}, TesselVector<double>{1.0}, x, small, state);
    ADD_FAILURE() << "no error";
  } catch (const error& e) {
    EXPECT_STREQ(e.what(), "tessel error: ERROR:: output vector size too small \n");
  }
  EXPECT_EQ(testing::internal::GetCapturedStderr(),
            "filter_vec:: input size 4 does not fit in output container of size 3 \n");
  EXPECT_THROW(sig_proc::filter(TesselVector<double>{1.0}, TesselVector<double>{0.0}, x), error);
}

}  // namespace
