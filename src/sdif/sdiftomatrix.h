#pragma once

#include <string>

#include "core/failure.h"
#include "tessel/tessel.h"

// Reads a track file: out_m becomes an n x 2 matrix, one row per row of every matrix kept by
// selection (e.g. ":1VUV/1VUN"), column 0 the frame time (seconds), column 1 the element of the
// matrix's last column, in file order. A file that cannot be opened or is malformed gives its
// failure (read_analysis_file) and leaves out_m untouched.
[[nodiscard]] Status sdiftomatrix(const std::string& path, tessel::TesselMatrix<double>& out_m,
                                  const std::string& selection);
