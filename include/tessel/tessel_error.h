// Errors and warnings of the tessel numeric library.
//
// The library reports every error by throwing tessel::error (or std::bad_alloc on a failed
// allocation) and every non-fatal warning through VEPRINTF on standard error. It never catches
// its own errors.
#pragma once

#include <cstdio>
#include <exception>
#include <string>
#include <utility>

namespace tessel {

// Tag type carried as the last template argument of every container and index type.
struct tessel_tag {};

// The single exception type of the library: one message, returned by what().
class error : public std::exception {
 public:
  error() = default;
  explicit error(std::string msg) : msg_(std::move(msg)) {}

  const char* what() const noexcept override { return msg_.c_str(); }
  const std::string& message() const noexcept { return msg_; }

  // Appends the decimal form of n ("-" first when negative) to the message.
  void addIntAsString(long n) { msg_ += std::to_string(n); }
  void append(const std::string& text) { msg_ += text; }

 private:
  std::string msg_;
};

// Throws tessel::error with the message "tessel error: " + text.
[[noreturn]] inline void TesselError(const std::string& text) {
  throw error("tessel error: " + text);
}

// Throws tessel::error with "tessel error: " + prefix + a + b. Every container and view class
// calls this through its own errout(a, b) with its class prefix ("TesselVector:: ", ...).
[[noreturn]] inline void errout_with_prefix(const char* prefix, const std::string& a,
                                            const std::string& b) {
  TesselError(std::string(prefix) + a + b);
}

// Throws the error of a vector asked to take a shape with more than one row and column; the
// message names the source file and the line of the throw.
[[noreturn]] inline void throw_2d_resize(int line) {
  error e("tessel error: in file tessel_dense_vector ");
  e.addIntAsString(line);
  e.append("\n2d resize of vector requested.");
  throw e;
}

}  // namespace tessel

// Writes a printf-style warning to standard error; the computation goes on.
#define VEPRINTF(...) std::fprintf(stderr, __VA_ARGS__)
