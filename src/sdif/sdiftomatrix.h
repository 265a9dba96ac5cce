#pragma once

#include <string>

#include "tessel/tessel.h"

// Reads a track file: out_m becomes an n x 2 matrix, one row per row of every matrix kept by
// selection (e.g. ":1VUV/1VUN"), column 0 the frame time (seconds), column 1 the element of the
// matrix's last column, in file order. Returns 0 when read, 1 when the file cannot be opened
// (out_m untouched). A malformed file ends the process with status 1 after a message.
[[nodiscard]] int sdiftomatrix(const std::string& path, tessel::TesselMatrix<double>& out_m,
                               const std::string& selection);
