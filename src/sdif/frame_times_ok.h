#pragma once

#include <string>

// Checks the n times t[0 .. n-1] (seconds) of the frames function is about to write to
// filename: fewer than the largest SDIF count, finite and never decreasing. Returns true when
// they are; otherwise prints the reason on standard output and returns false.
[[nodiscard]] bool frame_times_ok(const char* function, const std::string& filename,
                                  const double* t, long n);
