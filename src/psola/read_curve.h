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
