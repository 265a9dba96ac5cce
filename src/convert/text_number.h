// Numbers as text: the shortest text that reads back to the same value.
#pragma once

#include <charconv>
#include <string>

// Shortest decimal text of a double that parses back to the same double.
inline std::string shortest(double v) {
  char buf[64];
  const auto res = std::to_chars(buf, buf + sizeof buf, v);
  return std::string(buf, res.ptr);
}

// The same for a value held as a 32-bit float.
inline std::string shortest(float v) {
  char buf[64];
  const auto res = std::to_chars(buf, buf + sizeof buf, v);
  return std::string(buf, res.ptr);
}

// A value that may hold a 32-bit float exactly (the analysis files store float32): printed as
// that float when it is one, so that it reads back to the same float, else as a double.
inline std::string shortest_value(double v) {
  const float f = static_cast<float>(v);
  return static_cast<double>(f) == v ? shortest(f) : shortest(v);
}
