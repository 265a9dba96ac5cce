#pragma once

#include <cmath>

// True when the n times t[0 .. n-1] (seconds) are finite and never decrease: the order SDIF
// requires of the frames of a file.
inline bool finite_nondecreasing(const double* t, long n) {
  for (long i = 0; i < n; ++i) {
    if (!std::isfinite(t[i]) || (i > 0 && t[i] < t[i - 1])) return false;
  }
  return true;
}
