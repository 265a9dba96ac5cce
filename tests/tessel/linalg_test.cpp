// Singular-value decomposition and inverse.
#include <gtest/gtest.h>

#include <functional>
#include <string>

#include "tessel/tessel.h"

using namespace tessel;

namespace {

// Largest |(U diag(S) VT - A)(r, c)|.
double reconstruction_error(const TesselMatrix<double>& A, const TesselMatrix<double>& U,
                            const TesselVector<double>& S, const TesselMatrix<double>& VT) {
  double worst = 0.0;
  for (int r = 0; r < A.nrows(); ++r) {
    for (int c = 0; c < A.ncols(); ++c) {
      double s = 0.0;
      for (int k = 0; k < S.size(); ++k) s += U(r, k) * S[k] * VT(k, c);
      worst = std::max(worst, std::abs(s - A(r, c)));
    }
  }
  return worst;
}

TEST(Svd, ReconstructsTallAndWideMatrices) {
  const TesselMatrix<double> tall = {{1, 2}, {3, 4}, {5, 7}};
  const TesselMatrix<double> wide = {{2, 0, 1, 4}, {-1, 3, 0, 2}};
  for (const TesselMatrix<double>* A : {&tall, &wide}) {
    SCOPED_TRACE(testing::Message() << A->nrows() << " x " << A->ncols());
    const int m = A->nrows(), n = A->ncols();
    TesselMatrix<double> U(m, m), V(n, n);
    TesselVector<double> S(std::min(m, n));
    const TesselMatrix<double> before = *A;
    ASSERT_EQ(matrix_fun::svd(*A, U, S, V), 0);
    EXPECT_LT(reconstruction_error(*A, U, S, V), 1e-12);
    for (int k = 1; k < S.size(); ++k) EXPECT_GE(S[k - 1], S[k]);
    EXPECT_EQ((*A)(m - 1, n - 1), before(m - 1, n - 1)) << "input untouched";
  }
}

TEST(Svd, DimensionMessagesInOrder) {
  const TesselMatrix<double> A(3, 2, 1.0);
  const std::string u_msg =
      "tessel error: svd:: Output matrix U dimension mismatch, has to be square with number of "
      "rows equal to A\n";
  const std::string v_msg =
      "tessel error: svd:: Output matrix V dimension mismatch, has to be square with number of "
      "cols equal to A\n";
  const std::string s_msg =
      "tessel error: svd:: Output Vector S dimension mismatch, has to have size of "
      "min(A.rows,A.cols)\n";
  const struct {
    int ur, uc, vr, vc, s;
    const std::string& expected;
  } cases[] = {
      {3, 2, 2, 2, 2, u_msg}, {2, 2, 2, 2, 2, u_msg}, {3, 3, 3, 3, 2, v_msg},
      {3, 3, 2, 1, 3, v_msg}, {3, 3, 2, 2, 3, s_msg}, {2, 3, 1, 1, 9, u_msg},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(testing::Message()
                 << "U " << c.ur << "x" << c.uc << " V " << c.vr << "x" << c.vc << " S " << c.s);
    TesselMatrix<double> U(c.ur, c.uc), V(c.vr, c.vc);
    TesselVector<double> S(c.s);
    try {
      (void)matrix_fun::svd(A, U, S, V);
      ADD_FAILURE() << "accepted";
    } catch (const error& e) {
      EXPECT_EQ(std::string(e.what()), c.expected);
    }
  }
}

double max_abs_diff(const TesselMatrix<double>& A, const TesselMatrix<double>& B) {
  double worst = 0.0;
  for (long i = 0; i < A.size(); ++i) worst = std::max(worst, std::abs(A.data()[i] - B.data()[i]));
  return worst;
}

TEST(Inv, WellConditionedWithoutWarning) {
  const TesselMatrix<double> A = {{4, 1, 0}, {1, 3, 1}, {0, 1, 2}};
  testing::internal::CaptureStderr();
  const TesselMatrix<double> Ai = matrix_fun::inv(A);
  const TesselMatrix<double> I2 = matrix_fun::inv(TesselMatrix<double>{{1, 0}, {0, 1}});
  EXPECT_EQ(testing::internal::GetCapturedStderr(), "");
  const TesselMatrix<double> eye = {{1, 0, 0}, {0, 1, 0}, {0, 0, 1}};
  EXPECT_LT(max_abs_diff(A * Ai, eye), 1e-14);
  EXPECT_LT(max_abs_diff(Ai * A, eye), 1e-14);
  EXPECT_LT(max_abs_diff(I2, TesselMatrix<double>{{1, 0}, {0, 1}}), 1e-15);
}

TEST(Inv, NearSingularWarnsAndReturnsPseudoInverse) {
  const TesselMatrix<double> A = {{1, 1}, {1, 1}};
  testing::internal::CaptureStderr();
  const TesselMatrix<double> Ai = matrix_fun::inv(A);
  EXPECT_EQ(testing::internal::GetCapturedStderr(),
            "Warning: inv():: Matrix is close to singular or badly scaled.\nResults may be "
            "inaccurate \n");
  // Moore-Penrose pseudo-inverse of [[1, 1], [1, 1]] is [[1, 1], [1, 1]] / 4.
  EXPECT_LT(max_abs_diff(Ai, TesselMatrix<double>{{0.25, 0.25}, {0.25, 0.25}}), 1e-15);
  EXPECT_THROW(matrix_fun::inv(TesselMatrix<double>(2, 3, 1.0)), error);
}

}  // namespace
