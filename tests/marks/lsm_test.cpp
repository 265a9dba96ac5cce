// Least-squares placement of periodic marks against a direct solution of the same problem.
#include <gtest/gtest.h>

#include <cmath>
#include <random>
#include <vector>

#include "marks/lsm.h"
#include "marks/messages.h"
#include "tessel_values.h"

namespace {

using tessel::TesselVector;

using testsupport::vec;

// Minimiser of the weighted residuals written row by row (spacing rows of weight 1, interior
// peak rows of weight beta, end peak rows of weight gamma), through the normal equations of
// the dense design matrix and Gaussian elimination with partial pivoting.
std::vector<double> direct_least_squares(const std::vector<double>& P, const std::vector<double>& M,
                                         double beta, double gamma) {
  const std::size_t L = P.size(), n = L + 1;
  std::vector<std::vector<double>> rows;  // each: n coefficients then the target
  const auto add = [&](std::vector<double> a, double target, double weight) {
    const double s = std::sqrt(weight);
    for (double& x : a) x *= s;
    a.push_back(target * s);
    rows.push_back(a);
  };
  for (std::size_t k = 1; k <= L; ++k) {
    std::vector<double> a(n, 0.0);
    a[k] = 1.0;
    a[k - 1] = -1.0;
    add(a, P[k - 1], 1.0);
  }
  for (std::size_t k = 0; k <= L; ++k) {
    std::vector<double> a(n, 0.0);
    a[k] = 1.0;
    add(a, M[k], (k == 0 || k == L) ? gamma : beta);
  }
  std::vector<std::vector<double>> N(n, std::vector<double>(n + 1, 0.0));
  for (const auto& r : rows) {
    for (std::size_t i = 0; i < n; ++i) {
      for (std::size_t j = 0; j <= n; ++j) N[i][j] += r[i] * r[j];
    }
  }
  for (std::size_t c = 0; c < n; ++c) {
    std::size_t piv = c;
    for (std::size_t r = c + 1; r < n; ++r) {
      if (std::fabs(N[r][c]) > std::fabs(N[piv][c])) piv = r;
    }
    std::swap(N[c], N[piv]);
    for (std::size_t r = 0; r < n; ++r) {
      if (r == c) continue;
      const double f = N[r][c] / N[c][c];
      for (std::size_t j = c; j <= n; ++j) N[r][j] -= f * N[c][j];
    }
  }
  std::vector<double> x(n);
  for (std::size_t i = 0; i < n; ++i) x[i] = N[i][n] / N[i][i];
  return x;
}

TEST(Lsm, SolvesTheWeightedLeastSquaresProblem) {
  std::mt19937 rng(3);
  std::uniform_real_distribution<double> period(0.004, 0.012), jitter(-0.002, 0.002);
  struct Weights {
    double beta, gamma;
  };
  const Weights weights[] = {{0.05, 5.0}, {1.0, 100.0}, {10.0, 0.5}, {0.001, 0.001}};
  for (const int L : {1, 2, 3, 7, 40}) {
    for (const Weights w : weights) {
      SCOPED_TRACE("L " + std::to_string(L) + " beta " + std::to_string(w.beta));
      std::vector<double> P(L), M(L + 1);
      double t = 0.3;
      for (int k = 0; k <= L; ++k) {
        M[k] = t + jitter(rng);
        if (k < L) {
          P[k] = period(rng);
          t += P[k];
        }
      }
      const TesselVector<double> x = lsm(vec(P), vec(M), L, w.beta, w.gamma).value();
      const std::vector<double> expected = direct_least_squares(P, M, w.beta, w.gamma);
      ASSERT_EQ(x.size(), L + 1);
      for (int k = 0; k <= L; ++k) EXPECT_NEAR(x[k], expected[k], 1e-11) << "k " << k;
    }
  }
}

TEST(Lsm, SizeMismatchFailsWithItsMessage) {
  // These two messages are printed without a line end of their own.
  const auto periods = lsm(vec({0.01}), vec({0.0, 0.01, 0.02}), 2, 0.05, 5.0);
  ASSERT_FALSE(periods.ok());
  EXPECT_EQ(periods.error().text, marks_msg::kLsmPeriods);
  const auto peaks = lsm(vec({0.01, 0.01}), vec({0.0, 0.01}), 2, 0.05, 5.0);
  ASSERT_FALSE(peaks.ok());
  EXPECT_EQ(peaks.error().text, marks_msg::kLsmPeaks);
}

}  // namespace
