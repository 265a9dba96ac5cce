#pragma once

#include <string>

#include "core/failure.h"

// Checks the n times t[0 .. n-1] (seconds) of the frames function is about to write to
// filename: fewer than the largest SDIF count, finite and never decreasing. Returns the failure
// naming the reason (too big, times not in order) when they are not.
[[nodiscard]] Status frame_times_ok(const char* function, const std::string& filename,
                                    const double* t, long n);
