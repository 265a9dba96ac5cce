// Curve files: one break point per line.
#pragma once

#include <string>

#include "psola/psola_types.h"

// Reads a text file of lines "time value" (time in seconds of the input, any blank or tab
// between; blank lines and lines starting with '#' are skipped). Throws PsolaError
// "PATH:LINE: reason" when a line does not parse, a number is not finite, a time is negative
// or not after the one before, or a value lies outside [lo, hi]; "PATH: ..." when the file
// cannot be read or holds no break point.
[[nodiscard]] Curve read_curve(const std::string& path, double lo, double hi);

// The break points given as numbers (time in seconds of the input, value), checked by the same
// rules: every number finite, times non-negative and strictly increasing, values in [lo, hi], at
// least one point. Throws PsolaError "WHAT: point N: reason" (N from 1) or "WHAT: no break
// point".
[[nodiscard]] Curve checked_curve(const Curve& points, const std::string& what, double lo,
                                  double hi);
