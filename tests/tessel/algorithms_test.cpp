// Reductions, searches and rearrangements.
#include <gtest/gtest.h>

#include <cmath>
#include <functional>
#include <limits>
#include <string>
#include <vector>

#include "tessel/tessel.h"
#include "tessel_values.h"

using namespace tessel;

namespace {

using testsupport::values_of;

void expect_error(const std::function<void()>& f, const std::string& expected) {
  try {
    f();
    ADD_FAILURE() << "no error, expected: " << expected;
  } catch (const error& e) {
    EXPECT_EQ(std::string(e.what()), expected);
  }
}

TEST(Reductions, ValuesAndPositions) {
  const TesselVector<double> v = {1.0, 3.0, 3.0, -2.0};
  EXPECT_EQ(basic_ops::sum(v), 5.0);
  EXPECT_EQ(basic_ops::sum(v(Slice(3, -3, 0))), -1.0);
  EXPECT_EQ(basic_ops::sum(v * 2.0), 10.0);
  EXPECT_EQ(basic_ops::min(v), -2.0);
  EXPECT_EQ(basic_ops::max(v), 3.0);
  EXPECT_EQ(basic_ops::max(TesselVector<int>{4, 9, 2}), 9);
  EXPECT_EQ(basic_ops::imax_elem(v), 1) << "first of equal largest";
  EXPECT_EQ(basic_ops::imax_elem(TesselVector<double>{1.0, 3.0, 3.0}), 1);
  const cplx<double> zs = basic_ops::sum(TesselVector<cplx<double>>{{1, 2}, {3, -1}});
  EXPECT_EQ(zs, cplx<double>(4, 1));
}

TEST(Reductions, EmptyVectorMessages) {
  const TesselVector<double> e;
  expect_error([&] { (void)basic_ops::min(e); },
               "tessel error: min_elem called for empty vector \n");
  expect_error([&] { (void)basic_ops::max(e); },
               "tessel error: max_elem called for empty vector \n");
  expect_error([&] { (void)basic_ops::imax_elem(e); },
               "tessel error: imax_elem called for empty vector \n");
  EXPECT_THROW((void)basic_ops::median(e), error);
}

TEST(Reductions, ImaxPerColumn) {
  const TesselMatrix<double> M = {{1, 7, 5}, {4, 7, 5}, {2, 0, 9}};
  EXPECT_EQ(values_of(basic_ops::imax(M)), (std::vector<double>{1, 0, 2}));
}

TEST(Reductions, Median) {
  struct Case {
    TesselVector<double> v;
    double expected;
  };
  const Case cases[] = {
      {{3, 1, 2}, 2.0}, {{4, 1, 3, 2}, 2.5}, {{5}, 5.0}, {{2, 2, 1, 9}, 2.0}, {{-1, 8}, 3.5}};
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::PrintToString(values_of(c.v)));
    EXPECT_EQ(basic_ops::median(c.v), c.expected);
  }
  TesselVector<double> unsorted = {9, 1, 5};
  (void)basic_ops::median(unsorted);
  EXPECT_EQ(values_of(unsorted), (std::vector<double>{9, 1, 5})) << "input left untouched";
}

TEST(Reductions, Nextpow2IsFloorLog2) {
  const struct {
    long n;
    int expected;
  } cases[] = {{0, 0},    {1, 0},     {2, 1},     {3, 1},  {4, 2},        {1000, 9},
               {1023, 9}, {1024, 10}, {1025, 10}, {-5, 2}, {1L << 40, 40}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.n);
    EXPECT_EQ(basic_ops::nextpow2(c.n), c.expected);
  }
}

TEST(Find, PredicatesAndEmptyInput) {
  const TesselVector<double> v = {0.5, -1.0, 3.0, 2.0, -4.0};
  EXPECT_EQ(values_of(base_algo::find(v, base_algo::gt(1))), (std::vector<double>{2, 3}));
  EXPECT_EQ(values_of(base_algo::find(v, base_algo::lt(0L))), (std::vector<double>{1, 4}));
  EXPECT_EQ(values_of(base_algo::find(v, base_algo::bind2nd(std::less_equal<double>(), 0.5))),
            (std::vector<double>{0, 1, 4}));
  EXPECT_EQ(values_of(base_algo::find(v(Range(2, 4)), base_algo::gt(0))),
            (std::vector<double>{0, 1}))
      << "positions relative to the view";
  EXPECT_EQ(base_algo::find(TesselVector<double>(), base_algo::gt(0)).size(), 0);
  EXPECT_EQ(base_algo::find(v, base_algo::gt(10)).size(), 0);
}

TEST(Sort, ValuesAndPermutation) {
  const TesselVector<double> x = {3.0, -1.0, 3.0, 0.0};
  TesselVector<double> sorted(1, 0.0);
  TesselVector<int> idx(7, 0);
  base_algo::sort(x, sorted, idx);
  EXPECT_EQ(values_of(sorted), (std::vector<double>{-1, 0, 3, 3}));
  EXPECT_EQ(values_of(idx), (std::vector<double>{1, 3, 0, 2}));

  TesselVector<double> inplace = {2.0, std::numeric_limits<double>::quiet_NaN(), 1.0};
  base_algo::sort(inplace, inplace, idx);
  EXPECT_EQ(inplace[0], 1.0);
  EXPECT_EQ(inplace[1], 2.0);
  EXPECT_TRUE(std::isnan(inplace[2])) << "NaN goes last";
  EXPECT_EQ(values_of(idx), (std::vector<double>{2, 0, 1}));
}

TEST(Rearrange, FlipudAndDiff) {
  TesselVector<double> row = {1.0, 4.0, 9.0, 16.0};
  row.setcol(false);
  const TesselVector<double> f = base_algo::flipud(row);
  EXPECT_EQ(values_of(f), (std::vector<double>{16, 9, 4, 1}));
  EXPECT_FALSE(f.iscol());

  const TesselVector<double> d = base_algo::diff(row, 1);
  EXPECT_EQ(values_of(d), (std::vector<double>{3, 5, 7}));
  EXPECT_FALSE(d.iscol());
  EXPECT_EQ(values_of(base_algo::diff(row, 2)), (std::vector<double>{2, 2}));
  EXPECT_TRUE(base_algo::diff(TesselVector<double>{1.0, 2.0}, 1).iscol());
  EXPECT_EQ(base_algo::diff(TesselVector<double>{1.0}, 1).size(), 0);
  EXPECT_EQ(base_algo::diff(TesselVector<double>(), 1).size(), 0);
  EXPECT_EQ(row[0], 1.0) << "input left untouched";
}

TEST(Interp1q, LinearInsideNanOutside) {
  const TesselVector<double> x = {0.0, 1.0, 3.0};
  const TesselVector<double> y = {0.0, 10.0, 30.0 - 10.0};
  const TesselVector<double> xi = {2.0, 0.0, 3.0, 0.25, -0.1, 3.5, 1.0};
  const TesselVector<double> yi = base_algo::interp1q(x, y, xi);
  ASSERT_EQ(yi.size(), 7);
  EXPECT_DOUBLE_EQ(yi[0], 15.0);
  EXPECT_EQ(yi[1], 0.0);
  EXPECT_EQ(yi[2], 20.0);
  EXPECT_DOUBLE_EQ(yi[3], 2.5);
  EXPECT_TRUE(std::isnan(yi[4]));
  EXPECT_TRUE(std::isnan(yi[5]));
  EXPECT_EQ(yi[6], 10.0);

  const TesselVector<double> xr = {3.0, 0.0, 1.0};  // unsorted table, same points
  const TesselVector<double> yr = {20.0, 0.0, 10.0};
  const TesselVector<double> yr_i = base_algo::interp1q(xr, yr, xi);
  for (int i = 0; i < yi.size(); ++i) {
    if (std::isnan(yi[i])) {
      EXPECT_TRUE(std::isnan(yr_i[i])) << i;
    } else {
      EXPECT_EQ(yr_i[i], yi[i]) << i;
    }
  }
  EXPECT_THROW(base_algo::interp1q(x, TesselVector<double>{1.0}, xi), error);
}

}  // namespace
