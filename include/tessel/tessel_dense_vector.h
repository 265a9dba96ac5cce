// Dense vectors of the tessel library and the views cut out of them.
//
// TesselVector<T> holds its elements in reference-counted storage:
//  - copy construction (also passing and returning by value) shares the storage: a write
//    through one sharer is seen by all, and the last sharer frees it;
//  - assignment (from a vector, a view or an element-wise result) copies values into the
//    target's storage after resizing the target; it never makes the target share the source;
//  - a resize, reserve or push_back on storage that is shared first gives the vector its own
//    copy, so the other sharers keep valid elements.
// Views (VectorRange, VectorSlice, VectorIndex) point into a vector's elements without owning
// them: a view is valid while its vector lives and is not resized. Assigning to a non-const view
// writes the viewed elements. Indices are 0-based; no bounds are checked on element access.
#pragma once

#include <algorithm>
#include <concepts>
#include <cstdint>
#include <initializer_list>
#include <string>
#include <type_traits>
#include <vector>

#include "tessel/tessel_error.h"
#include "tessel/tessel_indices.h"
#include "tessel/tessel_memory.h"
#include "tessel/tessel_traits.h"

namespace tessel::Container {

template <class T, class Tag = tessel_tag>
class TesselVector;
template <class T, class Tag = tessel_tag>
class VectorRange;
template <class T, class Tag = tessel_tag>
class VectorSlice;
template <class T, class Tag = tessel_tag>
class VectorIndex;

// Read-only views.
template <class T>
using ConstVectorRange = VectorRange<const T>;
template <class T>
using ConstVectorSlice = VectorSlice<const T>;
template <class T>
using ConstVectorIndex = VectorIndex<const T>;

namespace detail {

// Writes src into the n elements of dst (operator[] access), through a temporary copy when the
// source reads addresses that the target writes.
template <class Dst, class Src>
void write_elements(Dst& dst, const Src& src) {
  using D = typename Dst::value_type;
  const int n = dst.size();
  if (overlaps(dst.span_lo(), dst.span_hi(), src.span_lo(), src.span_hi())) {
    std::vector<D> tmp(static_cast<std::size_t>(n));
    for (int i = 0; i < n; ++i) tmp[i] = static_cast<D>(src[i]);
    for (int i = 0; i < n; ++i) dst[i] = tmp[i];
    return;
  }
  for (int i = 0; i < n; ++i) dst[i] = static_cast<D>(src[i]);
}

// Element-wise in-place operations shared by vectors and views: v op= scalar, v op= vector-like.
template <class Derived>
class InPlaceOps {
 public:
  template <class S>
  requires Scalar<S> || VectorLike<S> Derived& operator+=(const S& s) {
    return apply(s, [](auto& a, const auto& b) { a = a + b; });
  }
  template <class S>
  requires Scalar<S> || VectorLike<S> Derived& operator-=(const S& s) {
    return apply(s, [](auto& a, const auto& b) { a = a - b; });
  }
  template <class S>
  requires Scalar<S> || VectorLike<S> Derived& operator*=(const S& s) {
    return apply(s, [](auto& a, const auto& b) { a = a * b; });
  }
  template <class S>
  requires Scalar<S> || VectorLike<S> Derived& operator/=(const S& s) {
    return apply(s, [](auto& a, const auto& b) { a = a / b; });
  }

 private:
  template <class S, class Op>
  Derived& apply(const S& s, Op op) {
    Derived& self = static_cast<Derived&>(*this);
    using D = typename Derived::value_type;
    const int n = self.size();
    if constexpr (VectorLike<S>) {
      if (s.size() < n) Derived::errout("element-wise operation: ", "operand shorter than target");
      if (overlaps(self.span_lo(), self.span_hi(), s.span_lo(), s.span_hi())) {
        std::vector<value_type_of<S>> tmp(static_cast<std::size_t>(n));
        for (int i = 0; i < n; ++i) tmp[i] = s[i];
        for (int i = 0; i < n; ++i) op(self[i], tmp[i]);
      } else {
        for (int i = 0; i < n; ++i) op(self[i], s[i]);
      }
    } else {
      const D b = static_cast<D>(s);
      for (int i = 0; i < n; ++i) op(self[i], b);
    }
    return self;
  }
};

// Throws the error of an assignment between views of different lengths.
template <class View>
void check_same_size(int target, int source) {
  if (target != source) {
    View::errout("assignment of " + std::to_string(source) + " elements to ",
                 std::to_string(target) + " elements");
  }
}

}  // namespace detail

// ---------------------------------------------------------------------------------------------
// Contiguous view: size elements from ptr.
template <class T, class Tag>
class VectorRange : public detail::InPlaceOps<VectorRange<T, Tag>> {
 public:
  using value_type = std::remove_const_t<T>;
  static constexpr bool tessel_vector_like = true;

  VectorRange(T* ptr, int size, bool iscol = true, bool ischar = false)
      : ptr_(size > 0 ? ptr : nullptr),
        size_(size > 0 ? size : 0),
        iscol_(iscol),
        ischar_(ischar) {}
  VectorRange(const VectorRange&) = default;
  // A mutable view converts to a read-only one.
  template <class U>
  requires std::is_same_v<const U, T> &&
      (!std::is_same_v<U, T>)VectorRange(const VectorRange<U, Tag>& o)  // NOLINT
      : VectorRange(o.data(), o.size(), o.iscol(), o.ischar()) {}

  // Writes the elements of src (same length) into the viewed elements.
  VectorRange& operator=(const VectorRange& src) { return assign(src); }
  template <VectorLike S>
  VectorRange& operator=(const S& src) {
    return assign(src);
  }
  template <Scalar S>
  VectorRange& operator=(const S& x) {
    std::fill(ptr_, ptr_ + size_, static_cast<value_type>(x));
    return *this;
  }

  T& operator[](long i) const { return ptr_[i]; }
  T& operator()(long i) const { return ptr_[i]; }
  int size() const { return size_; }
  T* data() const { return ptr_; }
  T* elbegin() const { return ptr_; }
  T* elend() const { return ptr_ + size_; }
  T* begin() const { return ptr_; }
  T* end() const { return ptr_ + size_; }
  bool iscol() const { return iscol_; }
  bool ischar() const { return ischar_; }
  void setcol(bool c) { iscol_ = c; }
  void setchar(bool c) { ischar_ = c; }

  // Sub-views, positions relative to this view.
  VectorRange operator()(tessel_indices::Range r) const {
    return VectorRange(ptr_ + (r.size() > 0 ? r.start : 0), r.size(), iscol_, ischar_);
  }
  VectorRange operator()(tessel_indices::RangeToEnd r) const {
    return (*this)(tessel_indices::Range(r.start, size_ - 1));
  }
  VectorSlice<T, Tag> operator()(tessel_indices::Slice s) const {
    return VectorSlice<T, Tag>(s.size() > 0 ? ptr_ + s.start : nullptr, s.size(), s.step, iscol_,
                               ischar_);
  }

  std::uintptr_t span_lo() const { return detail::addr(ptr_); }
  std::uintptr_t span_hi() const { return detail::addr(ptr_ + size_); }

  [[noreturn]] static void errout(const std::string& a, const std::string& b) {
    errout_with_prefix("VectorRange:: ", a, b);
  }

 private:
  template <class S>
  VectorRange& assign(const S& src) {
    static_assert(!std::is_const_v<T>, "a read-only view cannot be assigned to");
    detail::check_same_size<VectorRange>(size_, src.size());
    detail::write_elements(*this, src);
    return *this;
  }

  T* ptr_;
  int size_;
  bool iscol_;
  bool ischar_;
};

// ---------------------------------------------------------------------------------------------
// Strided view: size elements ptr[0], ptr[stride], ...; the stride may be negative.
template <class T, class Tag>
class VectorSlice : public detail::InPlaceOps<VectorSlice<T, Tag>> {
 public:
  using value_type = std::remove_const_t<T>;
  static constexpr bool tessel_vector_like = true;

  VectorSlice(T* ptr, int size, int stride, bool iscol = true, bool ischar = false)
      : ptr_(size > 0 ? ptr : nullptr),
        size_(size > 0 ? size : 0),
        stride_(stride),
        iscol_(iscol),
        ischar_(ischar) {}
  VectorSlice(const VectorSlice&) = default;
  template <class U>
  requires std::is_same_v<const U, T> &&
      (!std::is_same_v<U, T>)VectorSlice(const VectorSlice<U, Tag>& o)  // NOLINT
      : VectorSlice(o.data(), o.size(), o.stride(), o.iscol(), o.ischar()) {}

  VectorSlice& operator=(const VectorSlice& src) { return assign(src); }
  template <VectorLike S>
  VectorSlice& operator=(const S& src) {
    return assign(src);
  }
  template <Scalar S>
  VectorSlice& operator=(const S& x) {
    const value_type v = static_cast<value_type>(x);
    for (int i = 0; i < size_; ++i) (*this)[i] = v;
    return *this;
  }

  T& operator[](long i) const { return ptr_[i * stride_]; }
  T& operator()(long i) const { return ptr_[i * stride_]; }
  int size() const { return size_; }
  int stride() const { return stride_; }
  // Address of the first viewed element (not the lowest address when the stride is negative).
  T* data() const { return ptr_; }
  bool iscol() const { return iscol_; }
  bool ischar() const { return ischar_; }
  void setcol(bool c) { iscol_ = c; }
  void setchar(bool c) { ischar_ = c; }

  VectorSlice operator()(tessel_indices::Range r) const {
    return VectorSlice(r.size() > 0 ? &(*this)[r.start] : nullptr, r.size(), stride_, iscol_,
                       ischar_);
  }
  VectorSlice operator()(tessel_indices::RangeToEnd r) const {
    return (*this)(tessel_indices::Range(r.start, size_ - 1));
  }
  VectorSlice operator()(tessel_indices::Slice s) const {
    return VectorSlice(s.size() > 0 ? &(*this)[s.start] : nullptr, s.size(), stride_ * s.step,
                       iscol_, ischar_);
  }

  std::uintptr_t span_lo() const {
    if (size_ == 0) return detail::addr(ptr_);
    return stride_ >= 0 ? detail::addr(ptr_) : detail::addr(&(*this)[size_ - 1]);
  }
  std::uintptr_t span_hi() const {
    if (size_ == 0) return detail::addr(ptr_);
    return stride_ >= 0 ? detail::addr(&(*this)[size_ - 1] + 1) : detail::addr(ptr_ + 1);
  }

  [[noreturn]] static void errout(const std::string& a, const std::string& b) {
    errout_with_prefix("VectorSlice:: ", a, b);
  }

 private:
  template <class S>
  VectorSlice& assign(const S& src) {
    static_assert(!std::is_const_v<T>, "a read-only view cannot be assigned to");
    detail::check_same_size<VectorSlice>(size_, src.size());
    detail::write_elements(*this, src);
    return *this;
  }

  T* ptr_;
  int size_;
  int stride_;
  bool iscol_;
  bool ischar_;
};

// ---------------------------------------------------------------------------------------------
// Indirect view: element i is base[idx[i]]. Holds a shared copy of the index vector.
template <class T, class Tag>
class VectorIndex : public detail::InPlaceOps<VectorIndex<T, Tag>> {
 public:
  using value_type = std::remove_const_t<T>;
  static constexpr bool tessel_vector_like = true;

  // base_size is the number of elements of the indexed vector (used for overlap checks only).
  VectorIndex(T* base, int base_size, const TesselVector<int, Tag>& idx, bool iscol = true,
              bool ischar = false);
  VectorIndex(const VectorIndex&) = default;
  template <class U>
  requires std::is_same_v<const U, T> &&
      (!std::is_same_v<U, T>)VectorIndex(const VectorIndex<U, Tag>& o)  // NOLINT
      : VectorIndex(o.base(), o.base_size(), o.indices(), o.iscol(), o.ischar()) {}

  VectorIndex& operator=(const VectorIndex& src) { return assign(src); }
  template <VectorLike S>
  VectorIndex& operator=(const S& src) {
    return assign(src);
  }
  template <Scalar S>
  VectorIndex& operator=(const S& x) {
    const value_type v = static_cast<value_type>(x);
    for (int i = 0; i < size_; ++i) (*this)[i] = v;
    return *this;
  }

  T& operator[](long i) const;
  T& operator()(long i) const { return (*this)[i]; }
  int size() const { return size_; }
  T* base() const { return base_; }
  int base_size() const { return base_size_; }
  const TesselVector<int, Tag>& indices() const { return idx_; }
  bool iscol() const { return iscol_; }
  bool ischar() const { return ischar_; }
  void setcol(bool c) { iscol_ = c; }
  void setchar(bool c) { ischar_ = c; }

  std::uintptr_t span_lo() const { return detail::addr(base_); }
  std::uintptr_t span_hi() const { return detail::addr(base_ + base_size_); }

  [[noreturn]] static void errout(const std::string& a, const std::string& b) {
    errout_with_prefix("VectorIndex:: ", a, b);
  }

 private:
  template <class S>
  VectorIndex& assign(const S& src) {
    static_assert(!std::is_const_v<T>, "a read-only view cannot be assigned to");
    detail::check_same_size<VectorIndex>(size_, src.size());
    detail::write_elements(*this, src);
    return *this;
  }

  T* base_;
  TesselVector<int, Tag> idx_;
  int size_;
  bool iscol_;
  bool ischar_;
  int base_size_;
};

// ---------------------------------------------------------------------------------------------
template <class T, class Tag>
class TesselVector : public detail::InPlaceOps<TesselVector<T, Tag>> {
 public:
  using value_type = T;
  using storage_type = std::vector<T, aligned_allocator<T>>;
  static constexpr bool tessel_vector_like = true;

  // Empty column vector with its own (empty) storage.
  TesselVector() : storage_(new storage_type()) {}
  // n elements equal to value.
  explicit TesselVector(long n, const T& value = T(), bool iscol = true, bool ischar = false)
      : storage_(new storage_type(static_cast<std::size_t>(n > 0 ? n : 0), value)),
        iscol_(iscol),
        ischar_(ischar) {
    refresh();
  }
  // n elements left uninitialised (for a trivial T), to be overwritten by the caller.
  TesselVector(long n, uninitialized_t, bool iscol = true)
      : storage_(new storage_type(static_cast<std::size_t>(n > 0 ? n : 0))), iscol_(iscol) {
    refresh();
  }
  // The listed elements, as a column vector.
  TesselVector(std::initializer_list<T> values) : storage_(new storage_type(values)) { refresh(); }
  // Shares the storage of o.
  TesselVector(const TesselVector& o) = default;
  // Takes the storage of o, which is left empty.
  TesselVector(TesselVector&& o) noexcept
      : storage_(std::move(o.storage_)),
        data_(std::exchange(o.data_, nullptr)),
        size_(std::exchange(o.size_, 0)),
        iscol_(o.iscol_),
        ischar_(o.ischar_) {}
  // Copies the values of a view, a vector of another element type or an element-wise result
  // into new storage (implicit when the element types agree).
  template <VectorLike S>
  requires(!std::is_same_v<std::remove_cvref_t<S>, TesselVector>) explicit(
      !std::is_same_v<value_type_of<S>, T>) TesselVector(const S& src)
      : storage_(new storage_type(static_cast<std::size_t>(src.size()))),
        iscol_(src.iscol()),
        ischar_(src.ischar()) {
    refresh();
    for (int i = 0; i < size_; ++i) data_[i] = static_cast<T>(src[i]);
  }

  // Copies the values of o into this vector's storage, after resizing it to o's length.
  TesselVector& operator=(const TesselVector& o) {
    if (this != &o) assign(o);
    return *this;
  }
  TesselVector& operator=(TesselVector&& o) {
    // Taking o's storage is equivalent to copying when neither storage is shared and ours would
    // be reallocated anyway; otherwise copy, so that the target never shares the source.
    if (this != &o && o.storage_.use_count() == 1 && o.size_ != size_ &&
        storage_.use_count() <= 1) {
      storage_ = std::move(o.storage_);
      data_ = std::exchange(o.data_, nullptr);
      size_ = std::exchange(o.size_, 0);
      iscol_ = o.iscol_;
      ischar_ = o.ischar_;
      return *this;
    }
    if (this != &o) assign(o);
    return *this;
  }
  template <VectorLike S>
  requires(!std::is_same_v<std::remove_cvref_t<S>, TesselVector>) TesselVector& operator=(
      const S& src) {
    assign(src);
    return *this;
  }
  // Sets every element to x.
  template <Scalar S>
  TesselVector& operator=(const S& x) {
    std::fill(data_, data_ + size_, static_cast<T>(x));
    return *this;
  }

  T& operator[](long i) { return data_[i]; }
  const T& operator[](long i) const { return data_[i]; }
  T& operator()(long i) { return data_[i]; }
  const T& operator()(long i) const { return data_[i]; }
  int size() const { return size_; }
  bool empty() const { return size_ == 0; }
  T* data() { return data_; }
  const T* data() const { return data_; }
  T* elbegin() { return data_; }
  const T* elbegin() const { return data_; }
  T* elend() { return data_ + size_; }
  const T* elend() const { return data_ + size_; }
  T* begin() { return data_; }
  const T* begin() const { return data_; }
  T* end() { return data_ + size_; }
  const T* end() const { return data_ + size_; }

  // Orientation: true for a column (n x 1), false for a row (1 x n).
  bool iscol() const { return iscol_; }
  void setcol(bool c) { iscol_ = c; }
  bool ischar() const { return ischar_; }
  void setchar(bool c) { ischar_ = c; }
  // A copy of the values in new storage (copy construction would share).
  TesselVector copy() const {
    TesselVector out(size_, T(), iscol_, ischar_);
    std::copy(data_, data_ + size_, out.data_);
    return out;
  }
  // Number of vectors sharing this storage (1 when not shared).
  int use_count() const { return storage_.use_count(); }

  // Keeps the first min(size, n) elements and appends T() (zero) when growing.
  void resize(long n) {
    if (n < 0) n = 0;
    if (n == size_ && storage_) return;
    own();
    storage_->resize(static_cast<std::size_t>(n), T());
    refresh();
  }
  // The same, the appended elements left uninitialised (for a trivial T).
  void resize(long n, uninitialized_t) {
    if (n < 0) n = 0;
    if (n == size_ && storage_) return;
    own();
    storage_->resize(static_cast<std::size_t>(n));
    refresh();
  }
  // Vector shape rows x cols: one of them must be 1; orientation becomes cols == 1.
  void resize(long rows, long cols) {
    if (rows != 1 && cols != 1) throw_2d_resize(__LINE__);
    resize(rows * cols);
    iscol_ = (cols == 1);
  }
  // Reserves capacity for n elements; size and contents unchanged.
  void reserve(long n) {
    own();
    storage_->reserve(static_cast<std::size_t>(n > 0 ? n : 0));
    refresh();
  }
  void push_back(const T& x) {
    const T copy = x;  // x may be one of our own elements
    own();
    storage_->push_back(copy);
    refresh();
  }

  // Views (valid while this vector lives and is not resized); they keep this orientation.
  VectorRange<T, Tag> operator()(tessel_indices::Range r) {
    return VectorRange<T, Tag>(r.size() > 0 ? data_ + r.start : nullptr, r.size(), iscol_, ischar_);
  }
  VectorRange<const T, Tag> operator()(tessel_indices::Range r) const {
    return VectorRange<const T, Tag>(r.size() > 0 ? data_ + r.start : nullptr, r.size(), iscol_,
                                     ischar_);
  }
  VectorRange<T, Tag> operator()(tessel_indices::RangeToEnd r) {
    return (*this)(tessel_indices::Range(r.start, size_ - 1));
  }
  VectorRange<const T, Tag> operator()(tessel_indices::RangeToEnd r) const {
    return (*this)(tessel_indices::Range(r.start, size_ - 1));
  }
  VectorSlice<T, Tag> operator()(tessel_indices::Slice s) {
    return VectorSlice<T, Tag>(s.size() > 0 ? data_ + s.start : nullptr, s.size(), s.step, iscol_,
                               ischar_);
  }
  VectorSlice<const T, Tag> operator()(tessel_indices::Slice s) const {
    return VectorSlice<const T, Tag>(s.size() > 0 ? data_ + s.start : nullptr, s.size(), s.step,
                                     iscol_, ischar_);
  }
  VectorIndex<T, Tag> operator()(const TesselVector<int, Tag>& idx) {
    return VectorIndex<T, Tag>(data_, size_, idx, iscol_, ischar_);
  }
  VectorIndex<const T, Tag> operator()(const TesselVector<int, Tag>& idx) const {
    return VectorIndex<const T, Tag>(data_, size_, idx, iscol_, ischar_);
  }

  std::uintptr_t span_lo() const { return detail::addr(data_); }
  std::uintptr_t span_hi() const { return detail::addr(data_ + size_); }

  [[noreturn]] static void errout(const std::string& a, const std::string& b) {
    errout_with_prefix("TesselVector:: ", a, b);
  }

 private:
  // Gives this vector storage of its own before a change of size or capacity, so that the
  // cached element pointers of other sharers stay valid.
  void own() {
    if (!storage_) {
      storage_ = refcnt_ptr<storage_type>(new storage_type());
    } else if (storage_.use_count() > 1) {
      storage_ = refcnt_ptr<storage_type>(new storage_type(data_, data_ + size_));
    }
  }
  void refresh() {
    size_ = static_cast<int>(storage_->size());
    data_ = size_ > 0 ? storage_->data() : nullptr;
  }
  template <class S>
  void assign(const S& src) {
    const bool col = src.iscol();
    const bool chr = src.ischar();
    const int n = src.size();
    if (n != size_) {
      // Resizing may move our elements: read the source before that if it points into them.
      if (detail::overlaps(span_lo(), span_hi(), src.span_lo(), src.span_hi()) ||
          (storage_ && storage_.use_count() > 1)) {
        TesselVector tmp(n, uninitialized);
        for (int i = 0; i < n; ++i) tmp.data_[i] = static_cast<T>(src[i]);
        own_or_steal(std::move(tmp));
      } else {
        resize(n, uninitialized);
        for (int i = 0; i < n; ++i) data_[i] = static_cast<T>(src[i]);
      }
    } else if constexpr (std::is_same_v<S, TesselVector>) {
      if (data_ != src.data_) detail::write_elements(*this, src);  // else same storage
    } else {
      detail::write_elements(*this, src);
    }
    iscol_ = col;
    ischar_ = chr;
  }
  // Replaces our storage by tmp's (ours is shared or must be reallocated anyway).
  void own_or_steal(TesselVector&& tmp) {
    storage_ = std::move(tmp.storage_);
    refresh();
  }

  refcnt_ptr<storage_type> storage_;
  T* data_ = nullptr;
  int size_ = 0;
  bool iscol_ = true;
  bool ischar_ = false;
};

template <class T, class Tag>
VectorIndex<T, Tag>::VectorIndex(T* base, int base_size, const TesselVector<int, Tag>& idx,
                                 bool iscol, bool ischar)
    : base_(base),
      idx_(idx),
      size_(idx.size()),
      iscol_(iscol),
      ischar_(ischar),
      base_size_(base_size) {}

template <class T, class Tag>
T& VectorIndex<T, Tag>::operator[](long i) const {
  return base_[idx_[i]];
}

}  // namespace tessel::Container

namespace tessel {
using Container::ConstVectorIndex;
using Container::ConstVectorRange;
using Container::ConstVectorSlice;
using Container::TesselVector;
using Container::uninitialized;
using Container::uninitialized_t;
using Container::VectorIndex;
using Container::VectorRange;
using Container::VectorSlice;
}  // namespace tessel
