#pragma once

#include <string>

#include "tessel/tessel.h"

// Reads an f0 file like sdiftomatrix, keeping only frames at times up to t_max (seconds). A
// malformed file is not fatal: a message is printed and the rows read before the fault are
// kept. Returns 0 when read, 1 when the file cannot be opened (out_m untouched).
[[nodiscard]] int FQ0tomatrix(const std::string& path, tessel::TesselMatrix<double>& out_m,
                              const std::string& selection, double t_max);
