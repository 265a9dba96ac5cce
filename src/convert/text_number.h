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
