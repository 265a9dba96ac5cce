// Storage of the tessel containers: a malloc-based allocator and a reference-counted owner.
#pragma once

#include <cstddef>
#include <cstdlib>
#include <new>
#include <type_traits>
#include <utility>

namespace tessel::Container {

// Tag of the constructions and resizes that leave the new elements of a trivial type
// uninitialised, for storage that is about to be overwritten: a large buffer is then neither
// zero-filled nor touched before its first real write.
struct uninitialized_t {
  explicit uninitialized_t() = default;
};
inline constexpr uninitialized_t uninitialized{};

// Allocates with malloc and frees with free; a failed allocation throws std::bad_alloc.
// malloc returns memory aligned for every fundamental type, which is all the containers need.
// An element constructed without arguments is default-initialised (left uninitialised for a
// trivial type): the containers pass T() explicitly wherever they promise zeros.
template <class T>
struct aligned_allocator {
  using value_type = T;

  aligned_allocator() noexcept = default;
  template <class U>
  aligned_allocator(const aligned_allocator<U>&) noexcept {}

  T* allocate(std::size_t n) {
    if (n == 0) n = 1;  // malloc(0) may return null, which is not a failure
    if (n > static_cast<std::size_t>(-1) / sizeof(T)) throw std::bad_alloc();
    void* p = std::malloc(n * sizeof(T));
    if (p == nullptr) throw std::bad_alloc();
    return static_cast<T*>(p);
  }
  void deallocate(T* p, std::size_t) noexcept { std::free(p); }

  template <class U, class... Args>
  void construct(U* p, Args&&... args) {
    ::new (static_cast<void*>(p)) U(std::forward<Args>(args)...);
  }
  template <class U>
  void construct(U* p) noexcept(std::is_nothrow_default_constructible_v<U>) {
    ::new (static_cast<void*>(p)) U;
  }

  template <class U>
  bool operator==(const aligned_allocator<U>&) const noexcept {
    return true;
  }
};

// Shared owner of one heap object: the count is a separate heap int starting at 1, incremented
// by every copy and decremented by every destruction; the last owner deletes the object.
// Not thread-safe (the program is single-threaded). The owner flag is true for every object
// the containers create; a non-owning refcnt_ptr never deletes.
template <class T>
class refcnt_ptr {
 public:
  refcnt_ptr() noexcept = default;
  explicit refcnt_ptr(T* p, bool owner = true) : ptr_(p), owner_(owner) {
    if (ptr_ != nullptr) {
      try {
        count_ = new int(1);
      } catch (...) {
        if (owner_) delete ptr_;
        throw;
      }
    }
  }
  refcnt_ptr(const refcnt_ptr& o) noexcept : ptr_(o.ptr_), count_(o.count_), owner_(o.owner_) {
    if (count_ != nullptr) ++*count_;
  }
  refcnt_ptr(refcnt_ptr&& o) noexcept
      : ptr_(std::exchange(o.ptr_, nullptr)),
        count_(std::exchange(o.count_, nullptr)),
        owner_(o.owner_) {}
  refcnt_ptr& operator=(refcnt_ptr o) noexcept {
    swap(o);
    return *this;
  }
  ~refcnt_ptr() { release(); }

  void swap(refcnt_ptr& o) noexcept {
    std::swap(ptr_, o.ptr_);
    std::swap(count_, o.count_);
    std::swap(owner_, o.owner_);
  }

  T* get() const noexcept { return ptr_; }
  T& operator*() const noexcept { return *ptr_; }
  T* operator->() const noexcept { return ptr_; }
  explicit operator bool() const noexcept { return ptr_ != nullptr; }
  // Number of owners sharing the object (0 when empty).
  int use_count() const noexcept { return count_ != nullptr ? *count_ : 0; }
  bool owner() const noexcept { return owner_; }

 private:
  void release() noexcept {
    if (count_ != nullptr && --*count_ == 0) destroy();
    ptr_ = nullptr;
    count_ = nullptr;
  }
  // Kept out of line: inlined into every release, the compiler cannot tell that a count still
  // held by another owner was not the one just freed, and warns of a use after free.
  [[gnu::noinline]] void destroy() noexcept {
    if (owner_) delete ptr_;
    delete count_;
  }

  T* ptr_ = nullptr;
  int* count_ = nullptr;
  bool owner_ = true;
};

}  // namespace tessel::Container
