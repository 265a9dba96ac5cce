// Complex FFT and windows of ondule.
#include <gtest/gtest.h>

#include <cmath>
#include <complex>
#include <stdexcept>
#include <string>
#include <vector>

#include "ondule/ondule.h"

namespace {

// Interleaved (re, im) test signal of n complex points.
std::vector<double> signal(int n) {
  std::vector<double> x(2 * static_cast<size_t>(n));
  for (int t = 0; t < n; ++t) {
    x[2 * t] = std::sin(0.37 * t) + 0.05 * t;
    x[2 * t + 1] = std::cos(1.3 * t * t) - 0.2;
  }
  return x;
}

// Direct unscaled DFT with kernel e^(sign 2 pi j k t / n), sign = -direction.
std::vector<double> dft(const std::vector<double>& x, int direction) {
  const int n = static_cast<int>(x.size() / 2);
  std::vector<double> X(x.size(), 0.0);
  for (int k = 0; k < n; ++k) {
    std::complex<double> s = 0.0;
    for (int t = 0; t < n; ++t) {
      const double angle = -direction * 2.0 * M_PI * static_cast<double>((1L * k * t) % n) / n;
      s += std::complex<double>(x[2 * t], x[2 * t + 1]) * std::polar(1.0, angle);
    }
    X[2 * k] = s.real();
    X[2 * k + 1] = s.imag();
  }
  return X;
}

TEST(ComplexFft, MatchesDirectDftBothDirectionsAndPlacements) {
  for (int n : {1, 2, 4, 8, 64, 512}) {
    for (int direction : {1, -1}) {
      SCOPED_TRACE(testing::Message() << "n " << n << ", direction " << direction);
      const std::vector<double> x = signal(n);
      const std::vector<double> ref = dft(x, direction);
      const double tol = 1e-10 * n;

      std::vector<double> inplace = x;
      ondule::complexfft(inplace.data(), inplace.data(), n, direction);
      std::vector<double> out(x.size(), -7.0);
      std::vector<double> in = x;
      ondule::complexfft(in.data(), out.data(), n, direction);
      EXPECT_EQ(in, x) << "out-of-place input is kept";
      for (size_t i = 0; i < x.size(); ++i) {
        ASSERT_NEAR(inplace[i], ref[i], tol) << "in place, value " << i;
        ASSERT_NEAR(out[i], ref[i], tol) << "out of place, value " << i;
      }
    }
  }
}

TEST(ComplexFft, ReusedPlansWorkOnAnyArray) {
  // Same length again on arrays of other addresses and alignment (an odd double offset).
  const int n = 16;
  const std::vector<double> x = signal(n);
  const std::vector<double> ref = dft(x, 1);
  for (int round = 0; round < 3; ++round) {
    std::vector<double> buf(2 * n + 1, 0.0);
    std::copy(x.begin(), x.end(), buf.begin() + 1);
    ondule::complexfft(buf.data() + 1, buf.data() + 1, n, 1);
    for (int i = 0; i < 2 * n; ++i) ASSERT_NEAR(buf[i + 1], ref[i], 1e-10) << round << ":" << i;
  }
}

TEST(ComplexFft, ForwardThenBackwardScalesByN) {
  const int n = 32;
  const std::vector<double> x = signal(n);
  std::vector<double> y = x;
  ondule::complexfft(y.data(), y.data(), n, 1);
  ondule::complexfft(y.data(), y.data(), n, -1);
  for (size_t i = 0; i < x.size(); ++i) EXPECT_NEAR(y[i], n * x[i], 1e-10);
}

TEST(ComplexFft, RejectsBadArguments) {
  std::vector<double> buf(64, 0.0);
  const struct {
    const char* why;
    double* in;
    int n, direction;
  } cases[] = {
      {"length 3", buf.data(), 3, 1},    {"length 0", buf.data(), 0, 1},
      {"length -4", buf.data(), -4, 1},  {"length 24", buf.data(), 24, 1},
      {"direction 0", buf.data(), 8, 0}, {"direction 2", buf.data(), 8, 2},
      {"null array", nullptr, 8, 1},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.why);
    EXPECT_THROW(ondule::complexfft(c.in, c.in, c.n, c.direction), std::invalid_argument);
  }
  try {
    ondule::complexfft(buf.data(), buf.data(), 12, 1);
  } catch (const std::invalid_argument& e) {
    EXPECT_NE(std::string(e.what()).find("12"), std::string::npos) << e.what();
  }
}

TEST(Window, MatchesSymmetricFormulas) {
  const struct {
    ond_WindowType type;
    double a0, a1, a2;
  } shapes[] = {{ond_Hanning, 0.5, 0.5, 0.0},
                {ond_Hamming, 0.54, 0.46, 0.0},
                {ond_Blackman, 0.42, 0.5, 0.08}};
  EXPECT_EQ(static_cast<int>(ond_Hanning), 2);
  EXPECT_EQ(static_cast<int>(ond_Hamming), 3);
  EXPECT_EQ(static_cast<int>(ond_Blackman), 6);
  for (const auto& s : shapes) {
    for (int n : {2, 3, 8, 101}) {
      SCOPED_TRACE(testing::Message() << "type " << s.type << ", n " << n);
      std::vector<double> w(n + 1, -1.0);
      ondule::window(s.type, n, w.data(), 0.0, nullptr, nullptr, nullptr, nullptr);
      for (int k = 0; k < n; ++k) {
        const double a = 2.0 * M_PI * k / (n - 1);
        EXPECT_NEAR(w[k], s.a0 - s.a1 * std::cos(a) + s.a2 * std::cos(2 * a), 1e-15) << k;
        EXPECT_EQ(w[k], w[n - 1 - k]) << "symmetric at " << k;
      }
      EXPECT_EQ(w[n], -1.0) << "nothing written past n";
    }
    double one = 0.0;
    ondule::window(s.type, 1, &one, 0.0, nullptr, nullptr, nullptr, nullptr);
    EXPECT_EQ(one, 1.0);
  }
}

TEST(Window, RejectsBadArguments) {
  double w[4];
  EXPECT_THROW(ondule::window(ond_Hanning, 0, w, 0.0, nullptr, nullptr, nullptr, nullptr),
               std::invalid_argument);
  EXPECT_THROW(ondule::window(ond_Hanning, -3, w, 0.0, nullptr, nullptr, nullptr, nullptr),
               std::invalid_argument);
  EXPECT_THROW(ondule::window(ond_Hanning, 4, nullptr, 0.0, nullptr, nullptr, nullptr, nullptr),
               std::invalid_argument);
  EXPECT_THROW(
      ondule::window(static_cast<ond_WindowType>(4), 4, w, 0.0, nullptr, nullptr, nullptr, nullptr),
      std::invalid_argument);
}

}  // namespace
