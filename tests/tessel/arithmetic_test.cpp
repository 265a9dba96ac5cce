// Element-wise arithmetic and functions on vectors, views and matrices.
#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <vector>

#include "tessel/tessel.h"
#include "tessel_values.h"

using namespace tessel;

namespace {

using testsupport::values_of;

TEST(Arithmetic, VectorsViewsAndScalars) {
  const TesselVector<double> a = {1.0, 2.0, 3.0, 4.0};
  const TesselVector<double> b = {10.0, 20.0, 30.0};
  struct Case {
    const char* why;
    std::vector<double> got;
    std::vector<double> expected;
  };
  const Case cases[] = {
      {"vector + view", values_of(b + a(Range(1, 3))), {12, 23, 34}},
      {"view - vector", values_of(a(Range(0, 2)) - b), {-9, -18, -27}},
      {"int scalar * vector", values_of(2 * b), {20, 40, 60}},
      {"vector / long scalar", values_of(b / 4L), {2.5, 5, 7.5}},
      {"double scalar - slice", values_of(1.0 - a(Slice(3, -2, 0))), {-3, -1}},
      {"chained", values_of((a + 1) * (a - 1)), {0, 3, 8, 15}},
      {"unary minus", values_of(-b), {-10, -20, -30}},
      {"index view * vector",
       values_of(a(TesselVector<int>{3, 0}) * TesselVector<double>{2, 2}),
       {8, 2}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.why);
    EXPECT_EQ(c.got, c.expected);
  }
}

TEST(Arithmetic, IntegerVectors) {
  const TesselVector<int> idx = {1, 4, 7};
  const TesselVector<int> plus = idx + 1;  // stays an index vector
  EXPECT_EQ(values_of(plus), (std::vector<double>{2, 5, 8}));
  const TesselVector<double> half = idx / 2;  // division is done in double
  EXPECT_EQ(values_of(half), (std::vector<double>{0.5, 2, 3.5}));
  EXPECT_EQ(values_of(idx * 0.5), (std::vector<double>{0.5, 2, 3.5}));
}

TEST(Arithmetic, ResultOrientationAndFlags) {
  TesselVector<double> col(3, 1.0, true);
  TesselVector<double> row(3, 2.0, false, true);
  EXPECT_FALSE((col + row).iscol()) << "taken from the right-hand vector";
  EXPECT_TRUE((row + col).iscol());
  EXPECT_TRUE((row + col(Range(0, 2))).iscol());
  EXPECT_FALSE((row * 2.0).iscol());
  EXPECT_FALSE((2.0 * row).iscol());
  EXPECT_TRUE((2.0 * row).ischar()) << "character flag carried through";
  EXPECT_EQ((col + row).size(), 3);
}

TEST(Arithmetic, LeftOperandShorterThanRightThrows) {
  const TesselVector<double> a(2, 1.0), b(3, 1.0);
  EXPECT_THROW(a + b, error);
  EXPECT_EQ((b + a).size(), 2) << "a longer left operand is read up to the right's length";
}

TEST(Arithmetic, AssignmentOfResultsAndInPlaceOperations) {
  TesselVector<double> x = {1.0, 2.0, 3.0};
  TesselVector<double> sharer(x);
  x = x * 2.0;  // same size: written into the shared storage
  EXPECT_EQ(values_of(sharer), (std::vector<double>{2, 4, 6}));
  x += TesselVector<double>{1.0, 1.0, 1.0};
  x(Range(1, 2)) *= x(Range(0, 1));  // overlapping operands
  EXPECT_EQ(values_of(x), (std::vector<double>{3, 15, 35}));
  x /= 5;
  EXPECT_EQ(values_of(x), (std::vector<double>{0.6, 3, 7}));
}

TEST(Functions, RealElementWise) {
  const TesselVector<double> x = {0.0, 0.5, -2.5, 2.5, 1.0};
  EXPECT_EQ(values_of(round(x)), (std::vector<double>{0, 1, -3, 3, 1}));
  const TesselVector<double> s = sinc(x);
  EXPECT_EQ(s[0], 1.0);
  EXPECT_NEAR(s[1], 2.0 / M_PI, 1e-15);
  EXPECT_NEAR(s[4], 0.0, 1e-15);
  EXPECT_EQ(values_of(sqrt(TesselVector<double>{4.0, 9.0})), (std::vector<double>{2, 3}));
  EXPECT_NEAR(cos(x)[4], std::cos(1.0), 1e-15);
  EXPECT_NEAR(sin(x)[2], std::sin(-2.5), 1e-15);
  EXPECT_EQ(values_of(abs(x)), (std::vector<double>{0, 0.5, 2.5, 2.5, 1}));
  EXPECT_EQ(values_of(pow(x, 2)), (std::vector<double>{0, 0.25, 6.25, 6.25, 1}));
  EXPECT_EQ(values_of(pow(x(Range(1, 3)), -1)), (std::vector<double>{2, -0.4, 0.4}));
  EXPECT_EQ(values_of(pow(x, 0)), (std::vector<double>{1, 1, 1, 1, 1}));
}

TEST(Functions, ComplexElementWise) {
  const TesselVector<cplx<double>> z = {cplx<double>(3, 4), cplx<double>(0, -2),
                                        cplx<double>(-1, 0)};
  EXPECT_EQ(values_of(abs(z)), (std::vector<double>{5, 2, 1}));
  EXPECT_EQ(values_of(real(z)), (std::vector<double>{3, 0, -1}));
  EXPECT_EQ(values_of(imag(z)), (std::vector<double>{4, -2, 0}));
  const TesselVector<cplx<double>> l = log(z);
  EXPECT_NEAR(l[0].re, std::log(5.0), 1e-15);
  EXPECT_NEAR(l[0].im, std::atan2(4.0, 3.0), 1e-15);
  EXPECT_EQ(l[1].im, -M_PI / 2);
  EXPECT_NEAR(l[2].im, M_PI, 1e-15);

  const TesselVector<cplx<double>> scaled = z * 2.0;
  EXPECT_EQ(scaled[0], cplx<double>(6, 8));
  const TesselVector<cplx<double>> mixed = TesselVector<double>{1.0, 1.0, 1.0} + z;
  EXPECT_EQ(mixed[1], cplx<double>(1, -2));
}

TEST(Functions, ComplexScalars) {
  const double big = 1e200;
  EXPECT_DOUBLE_EQ(abs(cplx<double>(3 * big, 4 * big)), 5 * big) << "no overflow of re^2 + im^2";
  EXPECT_DOUBLE_EQ(abs(cplx<double>(3e-200, 4e-200)), 5e-200) << "no underflow";
  struct Case {
    cplx<double> z, root;
  };
  const Case cases[] = {
      {{4, 0}, {2, 0}}, {{-4, 0}, {0, 2}}, {{0, 2}, {1, 1}}, {{0, -2}, {1, -1}}, {{3, 4}, {2, 1}}};
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::Message() << c.z.re << " + " << c.z.im << "j");
    const cplx<double> r = tessel_cplx_class::sqrt(c.z);
    EXPECT_NEAR(r.re, c.root.re, 1e-15);
    EXPECT_NEAR(r.im, c.root.im, 1e-15);
  }
  EXPECT_EQ(real(2.5), 2.5);
  EXPECT_EQ(imag(2.5), 0.0);
  const cplx<double> q = cplx<double>(1, 2) / cplx<double>(3, -4);
  EXPECT_NEAR(q.re, -0.2, 1e-15);
  EXPECT_NEAR(q.im, 0.4, 1e-15);
}

TEST(Matrix, ElementWiseAndProducts) {
  const TesselMatrix<double> A = {{1, 2}, {3, 4}};
  const TesselMatrix<double> B = {{0, 1}, {1, 0}};
  const TesselMatrix<double> S = A + B * 2.0;
  EXPECT_EQ(S(0, 1), 4.0);
  EXPECT_EQ(S(1, 0), 5.0);
  const TesselMatrix<double> P = A * B;  // matrix product
  EXPECT_EQ(P(0, 0), 2.0);
  EXPECT_EQ(P(0, 1), 1.0);
  EXPECT_EQ(P(1, 0), 4.0);
  const TesselVector<double> v = A * TesselVector<double>{1.0, -1.0};
  EXPECT_EQ(values_of(v), (std::vector<double>{-1, -1}));
  const TesselMatrix<double> T = matrix_fun::transpose(TesselMatrix<double>{{1, 2, 3}});
  EXPECT_EQ(T.nrows(), 3);
  EXPECT_EQ(T(2, 0), 3.0);
  EXPECT_THROW(matrix_fun::mult(A, T), error);
  EXPECT_THROW(A + T, error);
}

}  // namespace
