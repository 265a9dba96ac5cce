// Sharing, views, slices and resizing of the tessel containers.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "tessel/tessel.h"
#include "tessel_values.h"

using namespace tessel;

namespace {

using testsupport::values_of;
TesselVector<double> iota(int n, double first = 0.0) {
  TesselVector<double> v(n);
  for (int i = 0; i < n; ++i) v[i] = first + i;
  return v;
}

std::vector<double> values(const TesselVector<double>& v) {
  return {v.begin(), v.end()};
}

TEST(VectorSharing, CopyConstructionSharesAndAssignmentCopies) {
  TesselVector<double> a = iota(3);
  TesselVector<double> shared(a);
  shared(0) = 42.0;
  EXPECT_EQ(a(0), 42.0);
  EXPECT_EQ(a.use_count(), 2);

  TesselVector<double> copy;
  copy = a;
  copy(1) = -1.0;
  EXPECT_EQ(a(1), 1.0);
  EXPECT_EQ(copy.size(), 3);
  EXPECT_NE(copy.data(), a.data());
}

TEST(VectorSharing, PassingByValueShares) {
  TesselVector<double> a = iota(4);
  auto write_first = [](TesselVector<double> v) { v[0] = 7.0; };
  write_first(a);
  EXPECT_EQ(a[0], 7.0);
}

TEST(VectorSharing, LastSharerKeepsStorageAlive) {
  TesselVector<double> survivor;
  {
    TesselVector<double> original = iota(5, 10.0);
    TesselVector<double> sharer(original);
    survivor = TesselVector<double>(sharer);  // assignment: copies values
    TesselVector<double>* heap = new TesselVector<double>(original);
    delete heap;
    EXPECT_EQ(original.use_count(), 2);
  }
  EXPECT_EQ(values(survivor), (std::vector<double>{10, 11, 12, 13, 14}));

  auto* first = new TesselVector<double>(iota(3));
  TesselVector<double> second(*first);
  delete first;  // second is now the only owner: ASan flags any use after free here
  EXPECT_EQ(values(second), (std::vector<double>{0, 1, 2}));
  EXPECT_EQ(second.use_count(), 1);
}

TEST(VectorSharing, AssigningToASharerWritesTheSharedStorageWhenSizesMatch) {
  TesselVector<double> a = iota(3);
  TesselVector<double> b(a);
  b = iota(3, 5.0);
  EXPECT_EQ(values(a), (std::vector<double>{5, 6, 7}));
}

TEST(VectorSharing, ResizingASharerLeavesTheOthersValid) {
  TesselVector<double> a = iota(3);
  TesselVector<double> b(a);
  b.resize(1000);  // would reallocate under a's cached pointer if the storage stayed shared
  b.push_back(1.0);
  EXPECT_EQ(values(a), (std::vector<double>{0, 1, 2}));
  EXPECT_EQ(b.size(), 1001);
  EXPECT_EQ(b[2], 2.0);
  EXPECT_EQ(b[999], 0.0);
}

TEST(VectorSharing, MoveLeavesSourceUsable) {
  TesselVector<double> a = iota(3);
  TesselVector<double> b(std::move(a));
  EXPECT_EQ(b.size(), 3);
  EXPECT_EQ(a.size(), 0);  // NOLINT: moved-from vectors are empty and reusable
  a.push_back(2.0);
  EXPECT_EQ(a.size(), 1);
}

TEST(VectorSharing, SelfAndAliasedAssignment) {
  TesselVector<double> a = iota(10);
  TesselVector<double>& same = a;
  a = same;
  EXPECT_EQ(values(a), values(iota(10)));

  a = a(Range(2, 4));  // the view points into a: a shrinks after reading it
  EXPECT_EQ(values(a), (std::vector<double>{2, 3, 4}));

  TesselVector<double> b = iota(10);
  b = b(Slice(9, -1, 0));  // same size, reversed: must not overwrite before reading
  EXPECT_EQ(values(b), (std::vector<double>{9, 8, 7, 6, 5, 4, 3, 2, 1, 0}));

  TesselVector<double> c = iota(6);
  c(Range(1, 5)) = c(Range(0, 4));  // overlapping shift right
  EXPECT_EQ(values(c), (std::vector<double>{0, 0, 1, 2, 3, 4}));
}

TEST(VectorBasics, SizedEmptyVectorHasNoData) {
  TesselVector<double> v(0, 1.0);
  EXPECT_EQ(v.size(), 0);
  EXPECT_EQ(v.data(), nullptr);
  EXPECT_EQ(basic_ops::sum(v), 0.0);
  EXPECT_TRUE(v.iscol());
}

TEST(VectorBasics, ResizeKeepsHeadAndZeroFills) {
  TesselVector<double> v = {1.0, 2.0, 3.0};
  v.resize(5);
  EXPECT_EQ(values(v), (std::vector<double>{1, 2, 3, 0, 0}));
  v.resize(2);
  EXPECT_EQ(values(v), (std::vector<double>{1, 2}));
  v.reserve(100);
  EXPECT_EQ(values(v), (std::vector<double>{1, 2}));
  // Growing again inside the old capacity must not bring the old values back.
  v.resize(3);
  EXPECT_EQ(values(v), (std::vector<double>{1, 2, 0}));
  // The uninitialised resize keeps the head too.
  v.resize(50, uninitialized);
  v.resize(2, uninitialized);
  EXPECT_EQ(values(v), (std::vector<double>{1, 2}));
  TesselVector<double> u(4, uninitialized, false);
  EXPECT_EQ(u.size(), 4);
  EXPECT_FALSE(u.iscol());
}

TEST(VectorBasics, TwoDimensionalResize) {
  TesselVector<double> v = iota(4);
  v.resize(1, 6);
  EXPECT_FALSE(v.iscol());
  EXPECT_EQ(v.size(), 6);
  v.resize(3, 1);
  EXPECT_TRUE(v.iscol());
  EXPECT_EQ(values(v), (std::vector<double>{0, 1, 2}));
  try {
    v.resize(2, 3);
    FAIL() << "2 x 3 accepted";
  } catch (const error& e) {
    const std::string msg = e.what();
    const std::string head = "tessel error: in file tessel_dense_vector ";
    const std::string tail = "\n2d resize of vector requested.";
    ASSERT_EQ(msg.rfind(head, 0), 0u) << msg;
    ASSERT_GT(msg.size(), head.size() + tail.size());
    EXPECT_EQ(msg.substr(msg.size() - tail.size()), tail);
    const std::string line = msg.substr(head.size(), msg.size() - head.size() - tail.size());
    EXPECT_EQ(line.find_first_not_of("0123456789"), std::string::npos) << line;
  }
  EXPECT_EQ(v.size(), 3);
}

TEST(VectorBasics, ErroutPrefixes) {
  struct Case {
    void (*raise)();
    const char* expected;
  };
  const Case cases[] = {
      {[] { TesselVector<double>::errout("a ", "b"); }, "tessel error: TesselVector:: a b"},
      {[] { VectorRange<double>::errout("a ", "b"); }, "tessel error: VectorRange:: a b"},
      {[] { VectorSlice<double>::errout("a ", "b"); }, "tessel error: VectorSlice:: a b"},
      {[] { VectorIndex<double>::errout("a ", "b"); }, "tessel error: VectorIndex:: a b"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.expected);
    try {
      c.raise();
      FAIL();
    } catch (const error& e) {
      EXPECT_STREQ(e.what(), c.expected);
    }
  }
  error e("n = ");
  e.addIntAsString(-12);
  EXPECT_STREQ(e.what(), "n = -12");
}

TEST(Views, RangesAndSlicesSelect) {
  const TesselVector<double> v = iota(11);
  struct Case {
    const char* why;
    std::vector<double> got;
    std::vector<double> expected;
  };
  const Case cases[] = {
      {"Range(2, 2) is one element", values_of(v(Range(2, 2))), {2}},
      {"Range(5, 4) is empty", values_of(v(Range(5, 4))), {}},
      {"RangeToEnd(8)", values_of(v(RangeToEnd(8))), {8, 9, 10}},
      {"RangeToEnd past the end is empty", values_of(v(RangeToEnd(11))), {}},
      {"Slice 0:3:10", values_of(v(Slice(0, 3, 10))), {0, 3, 6, 9}},
      {"Slice 10:-3:0", values_of(v(Slice(10, -3, 0))), {10, 7, 4, 1}},
      {"Slice with step away from end", values_of(v(Slice(5, 2, 4))), {}},
      {"negative step away from end", values_of(v(Slice(4, -1, 5))), {}},
      {"Slice start == end", values_of(v(Slice(3, -2, 3))), {3}},
      {"nested range of a slice", values_of(v(Slice(10, -2, 0))(Range(1, 2))), {8, 6}},
      {"nested slice of a range", values_of(v(Range(1, 9))(Slice(0, 4, 8))), {1, 5, 9}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.why);
    EXPECT_EQ(c.got, c.expected);
  }
  EXPECT_EQ(Slice(0, 3, 10).end, 9);
  EXPECT_EQ(Slice(10, -3, 0).end, 1);
  EXPECT_EQ(Slice(0, 0, 5).size(), 0);
}

TEST(Views, EmptyViewOfEmptyVector) {
  TesselVector<double> e;
  auto r = e(Range(3, 2));
  EXPECT_EQ(r.size(), 0);
  EXPECT_EQ(basic_ops::sum(e(Slice(4, 1, 3))), 0.0);
  EXPECT_EQ(e(Slice(0, -1, 2)).size(), 0);
}

TEST(Views, WritesReachTheVector) {
  TesselVector<double> v = iota(10);
  v(Range(0, 2)) = TesselVector<double>{7.0, 8.0, 9.0};
  v(Slice(9, -2, 5)) = -1.0;  // positions 9, 7, 5
  TesselVector<int> idx = {3, 4};
  v(idx) = TesselVector<double>{30.0, 40.0};
  v(Range(0, 1)) += 1.0;
  EXPECT_EQ(values(v), (std::vector<double>{8, 9, 9, 30, 40, -1, 6, -1, 8, -1}));

  TesselVector<double> gathered = v(idx);
  gathered[0] = 0.0;  // a copy, not a view
  EXPECT_EQ(v[3], 30.0);
}

TEST(Views, ViewAssignmentOfWrongLengthThrows) {
  TesselVector<double> v = iota(5);
  EXPECT_THROW(v(Range(0, 2)) = iota(2), error);
  EXPECT_EQ(values(v), values(iota(5)));
}

TEST(Views, ConstructionFromViewCopies) {
  TesselVector<double> v = iota(5);
  TesselVector<double> w = v(Range(1, 3));
  w[0] = 100.0;
  EXPECT_EQ(v[1], 1.0);
  EXPECT_EQ(values(w), (std::vector<double>{100, 2, 3}));
}

TEST(Views, KeepOrientation) {
  TesselVector<double> row(6, 1.0, false);
  EXPECT_FALSE(row(Range(0, 2)).iscol());
  EXPECT_FALSE(TesselVector<double>(row(Slice(0, 2, 5))).iscol());
}

TEST(Matrix, ColumnMajorAddressing) {
  TesselMatrix<double> M(3, 2, 0.0);
  for (int i = 0; i < 6; ++i) M.data()[i] = i;
  EXPECT_EQ(M(2, 1), 5.0);  // c * 3 + r
  EXPECT_EQ(M(1L, 0L), 1.0);
  EXPECT_EQ(M.rendC(), 1);
  EXPECT_EQ(M.cendC(), 2);
  EXPECT_EQ(values_of(M(1)), (std::vector<double>{3, 4, 5}));
  EXPECT_EQ(values_of(M(Range(1, 2), 0)), (std::vector<double>{1, 2}));
  EXPECT_EQ(values_of(M(2, Range(0, 1))), (std::vector<double>{2, 5}));
  EXPECT_FALSE(M(2, Range(0, 1)).iscol());
  EXPECT_EQ(values_of(M(Slice(2, -2, 0), 1)), (std::vector<double>{5, 3}));

  M(0, Range(0, 1)) = -1.0;
  M(1) = TesselVector<double>{7.0, 8.0, 9.0};
  EXPECT_EQ(M(0, 0), -1.0);
  EXPECT_EQ(M(0, 1), 7.0);
  EXPECT_EQ(M(2, 1), 9.0);
}

TEST(Matrix, ListConstructionIsByRows) {
  const TesselMatrix<double> M = {{1, 2, 3}, {4, 5, 6}};
  EXPECT_EQ(M.nrows(), 2);
  EXPECT_EQ(M.ncols(), 3);
  EXPECT_EQ(M(1, 0), 4.0);
  EXPECT_EQ(M.data()[1], 4.0);
}

TEST(Matrix, ResizeKeepsRowColumnPositions) {
  struct Case {
    int rows, cols;
  };
  const Case cases[] = {{5, 4}, {2, 2}, {5, 2}, {2, 6}, {3, 3}, {0, 3}, {1, 1}};
  for (const Case& c : cases) {
    SCOPED_TRACE(std::to_string(c.rows) + " x " + std::to_string(c.cols));
    TesselMatrix<double> M(3, 3);
    for (int r = 0; r < 3; ++r)
      for (int k = 0; k < 3; ++k) M(r, k) = 10 * r + k;
    M.resize(c.rows, c.cols);
    ASSERT_EQ(M.nrows(), c.rows);
    ASSERT_EQ(M.ncols(), c.cols);
    for (int r = 0; r < c.rows; ++r) {
      for (int k = 0; k < c.cols; ++k) {
        const double expected = (r < 3 && k < 3) ? 10 * r + k : 0.0;
        EXPECT_EQ(M(r, k), expected) << "at (" << r << ", " << k << ")";
      }
    }
  }
}

TEST(Matrix, SharingAndAssignment) {
  TesselMatrix<double> A(2, 2, 1.0);
  TesselMatrix<double> shared(A);
  shared(0, 0) = 5.0;
  EXPECT_EQ(A(0, 0), 5.0);

  TesselMatrix<double> B;
  B = A;
  B(1, 1) = -3.0;
  EXPECT_EQ(A(1, 1), 1.0);
  EXPECT_EQ(B.nrows(), 2);

  shared.resize(4, 4);  // A keeps its own 2 x 2 storage
  EXPECT_EQ(A.nrows(), 2);
  EXPECT_EQ(A(0, 0), 5.0);
  EXPECT_EQ(shared(0, 0), 5.0);
  B = B;
  EXPECT_EQ(B(1, 1), -3.0);
}

TEST(VectorOfVectors, HoldsSharedRows) {
  TesselVector<TesselVector<double>> rows(3);
  rows[1] = iota(4);
  rows.push_back(iota(2, 5.0));
  EXPECT_EQ(rows.size(), 4);
  EXPECT_EQ(rows[1].size(), 4);
  EXPECT_EQ(rows[3][1], 6.0);
  EXPECT_EQ(rows[0].size(), 0);
}

}  // namespace
