// Dense column-major matrices of the tessel library.
//
// Element (r, c) of an nrows x ncols matrix is data()[c * nrows + r]: a column is contiguous, a
// row is strided by nrows. Sharing follows the vectors: copy construction shares the storage,
// assignment copies values after reshaping the target, and a reshape of shared storage first
// gives the matrix its own copy. Indices are 0-based; no bounds are checked.
#pragma once

#include <algorithm>
#include <concepts>
#include <initializer_list>
#include <string>
#include <vector>

#include "tessel/tessel_dense_vector.h"

namespace tessel::Container {

template <class T, class Tag = tessel_tag>
class TesselMatrix {
 public:
  using value_type = T;
  using storage_type = std::vector<T, aligned_allocator<T>>;

  // 0 x 0.
  TesselMatrix() : storage_(new storage_type()) {}
  // rows x cols elements equal to value.
  TesselMatrix(long rows, long cols, const T& value = T())
      : storage_(new storage_type(shape_size(rows, cols), value)),
        rows_(rows > 0 ? static_cast<int>(rows) : 0),
        cols_(cols > 0 ? static_cast<int>(cols) : 0) {
    refresh();
  }
  // rows x cols elements left uninitialised (for a trivial T), to be overwritten.
  TesselMatrix(long rows, long cols, uninitialized_t)
      : storage_(new storage_type(shape_size(rows, cols))),
        rows_(rows > 0 ? static_cast<int>(rows) : 0),
        cols_(cols > 0 ? static_cast<int>(cols) : 0) {
    refresh();
  }
  // The listed rows ({{a, b}, {c, d}} is [a b; c d]); rows shorter than the first are padded
  // with T().
  TesselMatrix(std::initializer_list<std::initializer_list<T>> rows)
      : storage_(new storage_type()) {
    const long nr = static_cast<long>(rows.size());
    const long nc = nr > 0 ? static_cast<long>(rows.begin()->size()) : 0;
    resize(nr, nc);
    int r = 0;
    for (const auto& row : rows) {
      int c = 0;
      for (const T& x : row) {
        if (c < cols_) (*this)(r, c) = x;
        ++c;
      }
      ++r;
    }
  }
  // Shares the storage of o.
  TesselMatrix(const TesselMatrix& o) = default;
  TesselMatrix(TesselMatrix&& o) noexcept
      : storage_(std::move(o.storage_)),
        data_(std::exchange(o.data_, nullptr)),
        rows_(std::exchange(o.rows_, 0)),
        cols_(std::exchange(o.cols_, 0)),
        ischar_(o.ischar_) {}

  // Copies the values of o after reshaping this matrix to o's shape.
  TesselMatrix& operator=(const TesselMatrix& o) {
    if (this != &o) assign(o);
    return *this;
  }
  TesselMatrix& operator=(TesselMatrix&& o) {
    if (this != &o) assign(o);
    return *this;
  }
  // Sets every element to x.
  template <Scalar S>
  TesselMatrix& operator=(const S& x) {
    std::fill(data_, data_ + size(), static_cast<T>(x));
    return *this;
  }

  template <std::integral I, std::integral J>
  T& operator()(I r, J c) {
    return data_[static_cast<long>(c) * rows_ + static_cast<long>(r)];
  }
  template <std::integral I, std::integral J>
  const T& operator()(I r, J c) const {
    return data_[static_cast<long>(c) * rows_ + static_cast<long>(r)];
  }

  int nrows() const { return rows_; }
  int ncols() const { return cols_; }
  // Last valid column index (ncols - 1) and last valid row index (nrows - 1).
  int rendC() const { return cols_ - 1; }
  int cendC() const { return rows_ - 1; }
  // Leading dimension of the column-major storage (the number of rows).
  int ld() const { return rows_; }
  // Number of elements, rows x cols.
  long size() const { return static_cast<long>(rows_) * cols_; }
  bool empty() const { return size() == 0; }
  T* data() { return data_; }
  const T* data() const { return data_; }
  T* elbegin() { return data_; }
  const T* elbegin() const { return data_; }
  T* elend() { return data_ + size(); }
  const T* elend() const { return data_ + size(); }
  bool ischar() const { return ischar_; }
  int use_count() const { return storage_.use_count(); }

  // Reshapes to rows x cols; every element inside both the old and new shapes keeps its
  // (row, column) position, the others are zero (T()).
  void resize(long rows, long cols) {
    if (rows < 0) rows = 0;
    if (cols < 0) cols = 0;
    if (rows == rows_ && cols == cols_ && storage_) return;
    auto fresh = refcnt_ptr<storage_type>(new storage_type(shape_size(rows, cols), T()));
    const int keep_r = std::min<int>(rows_, static_cast<int>(rows));
    const int keep_c = std::min<int>(cols_, static_cast<int>(cols));
    for (int c = 0; c < keep_c; ++c) {
      const T* src = data_ + static_cast<long>(c) * rows_;
      std::copy(src, src + keep_r, fresh->data() + static_cast<long>(c) * rows);
    }
    storage_ = std::move(fresh);
    rows_ = static_cast<int>(rows);
    cols_ = static_cast<int>(cols);
    refresh();
  }

  // Column c (nrows elements, a column view).
  template <std::integral I>
  VectorRange<T, Tag> operator()(I c) {
    return VectorRange<T, Tag>(col_ptr(c), rows_, true);
  }
  template <std::integral I>
  VectorRange<const T, Tag> operator()(I c) const {
    return VectorRange<const T, Tag>(col_ptr(c), rows_, true);
  }
  // Rows r.start .. r.end of column c.
  template <std::integral I>
  VectorRange<T, Tag> operator()(tessel_indices::Range r, I c) {
    return VectorRange<T, Tag>(r.size() > 0 ? col_ptr(c) + r.start : nullptr, r.size(), true);
  }
  template <std::integral I>
  VectorRange<const T, Tag> operator()(tessel_indices::Range r, I c) const {
    return VectorRange<const T, Tag>(r.size() > 0 ? col_ptr(c) + r.start : nullptr, r.size(), true);
  }
  template <std::integral I>
  VectorRange<T, Tag> operator()(tessel_indices::RangeToEnd r, I c) {
    return (*this)(tessel_indices::Range(r.start, rows_ - 1), c);
  }
  template <std::integral I>
  VectorRange<const T, Tag> operator()(tessel_indices::RangeToEnd r, I c) const {
    return (*this)(tessel_indices::Range(r.start, rows_ - 1), c);
  }
  // Rows s.start, s.start + s.step, ... of column c.
  template <std::integral I>
  VectorSlice<T, Tag> operator()(tessel_indices::Slice s, I c) {
    return VectorSlice<T, Tag>(s.size() > 0 ? col_ptr(c) + s.start : nullptr, s.size(), s.step,
                               true);
  }
  template <std::integral I>
  VectorSlice<const T, Tag> operator()(tessel_indices::Slice s, I c) const {
    return VectorSlice<const T, Tag>(s.size() > 0 ? col_ptr(c) + s.start : nullptr, s.size(),
                                     s.step, true);
  }
  // Columns cr.start .. cr.end of row r (a row view, stride nrows).
  template <std::integral I>
  VectorSlice<T, Tag> operator()(I r, tessel_indices::Range cr) {
    return VectorSlice<T, Tag>(cr.size() > 0 ? col_ptr(cr.start) + r : nullptr, cr.size(), rows_,
                               false);
  }
  template <std::integral I>
  VectorSlice<const T, Tag> operator()(I r, tessel_indices::Range cr) const {
    return VectorSlice<const T, Tag>(cr.size() > 0 ? col_ptr(cr.start) + r : nullptr, cr.size(),
                                     rows_, false);
  }
  template <std::integral I>
  VectorSlice<T, Tag> operator()(I r, tessel_indices::RangeToEnd cr) {
    return (*this)(r, tessel_indices::Range(cr.start, cols_ - 1));
  }
  template <std::integral I>
  VectorSlice<const T, Tag> operator()(I r, tessel_indices::RangeToEnd cr) const {
    return (*this)(r, tessel_indices::Range(cr.start, cols_ - 1));
  }
  template <std::integral I>
  VectorSlice<T, Tag> operator()(I r, tessel_indices::Slice cs) {
    return VectorSlice<T, Tag>(cs.size() > 0 ? col_ptr(cs.start) + r : nullptr, cs.size(),
                               cs.step * rows_, false);
  }
  template <std::integral I>
  VectorSlice<const T, Tag> operator()(I r, tessel_indices::Slice cs) const {
    return VectorSlice<const T, Tag>(cs.size() > 0 ? col_ptr(cs.start) + r : nullptr, cs.size(),
                                     cs.step * rows_, false);
  }

  [[noreturn]] static void errout(const std::string& a, const std::string& b) {
    errout_with_prefix("TesselMatrix:: ", a, b);
  }

 private:
  static std::size_t shape_size(long rows, long cols) {
    return rows > 0 && cols > 0 ? static_cast<std::size_t>(rows) * static_cast<std::size_t>(cols)
                                : 0;
  }
  T* col_ptr(long c) const { return data_ + c * rows_; }
  void refresh() { data_ = storage_->empty() ? nullptr : storage_->data(); }
  void assign(const TesselMatrix& o) {
    if (o.data_ == data_ && o.rows_ == rows_ && o.cols_ == cols_) return;  // same storage
    if (o.rows_ != rows_ || o.cols_ != cols_ || !storage_) {
      // New storage of o's shape: ours is either shared (the sharers keep theirs) or about to be
      // reallocated anyway.
      auto fresh = refcnt_ptr<storage_type>(new storage_type(o.data_, o.data_ + o.size()));
      storage_ = std::move(fresh);
      rows_ = o.rows_;
      cols_ = o.cols_;
      refresh();
    } else if (detail::overlaps(detail::addr(data_), detail::addr(data_ + size()),
                                detail::addr(o.data_), detail::addr(o.data_ + o.size()))) {
      const std::vector<T> tmp(o.data_, o.data_ + o.size());
      std::copy(tmp.begin(), tmp.end(), data_);
    } else {
      std::copy(o.data_, o.data_ + o.size(), data_);
    }
    ischar_ = o.ischar_;
  }

  refcnt_ptr<storage_type> storage_;
  T* data_ = nullptr;
  int rows_ = 0;
  int cols_ = 0;
  bool ischar_ = false;
};

}  // namespace tessel::Container

namespace tessel {
using Container::TesselMatrix;
}  // namespace tessel
