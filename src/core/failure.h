// The failure a library function hands back to its caller instead of ending the process.
#pragma once

#include <iosfwd>
#include <string>
#include <utility>
#include <variant>

// What a program prints and with which status it stops when a library function fails. The
// library never prints a failure itself: the program that stops on it calls print_failure().
struct Failure {
  Failure() = default;
  explicit Failure(std::string out_text, std::string err_text = "", int exit_status = 1)
      : text(std::move(out_text)), diagnostics(std::move(err_text)), status(exit_status) {}

  std::string text;         // standard output, printed as is: the framed message with its line ends
  std::string diagnostics;  // standard error, after text ("" for none): the file library's details
  int status = 1;           // exit status of a program that stops on this failure
};

// Prints text on out and diagnostics on err, then flushes both.
void print_failure(const Failure& failure, std::ostream& out, std::ostream& err);
// The same on standard output and standard error.
void print_failure(const Failure& failure);

// A value of type T, or the failure that prevented it. Test it before taking the value:
// value() on a failure (or error() on a value) is a programming error (std::bad_variant_access).
template <class T>
class [[nodiscard]] Expected {
 public:
  Expected(T value) : v_(std::in_place_index<0>, std::move(value)) {}
  Expected(Failure failure) : v_(std::in_place_index<1>, std::move(failure)) {}

  [[nodiscard]] bool ok() const { return v_.index() == 0; }
  explicit operator bool() const { return ok(); }

  [[nodiscard]] T& value() & { return std::get<0>(v_); }
  [[nodiscard]] const T& value() const& { return std::get<0>(v_); }
  [[nodiscard]] T&& value() && { return std::get<0>(std::move(v_)); }
  T& operator*() & { return value(); }
  const T& operator*() const& { return value(); }
  T* operator->() { return &value(); }
  const T* operator->() const { return &value(); }

  [[nodiscard]] const Failure& error() const& { return std::get<1>(v_); }
  [[nodiscard]] Failure&& error() && { return std::get<1>(std::move(v_)); }

 private:
  std::variant<T, Failure> v_;
};

// Success without a value, or a failure.
template <>
class [[nodiscard]] Expected<void> {
 public:
  Expected() = default;
  Expected(Failure failure) : failure_(std::move(failure)), ok_(false) {}

  [[nodiscard]] bool ok() const { return ok_; }
  explicit operator bool() const { return ok_; }
  [[nodiscard]] const Failure& error() const& { return failure_; }
  [[nodiscard]] Failure&& error() && { return std::move(failure_); }

 private:
  Failure failure_;
  bool ok_ = true;
};

using Status = Expected<void>;
