#pragma once

#include <string>

#include "core/failure.h"
#include "tessel/tessel.h"

// Reads an f0 file like sdiftomatrix, keeping only frames at times up to t_max (seconds). A
// malformed file is not a failure: a warning is printed (" Catch Undefined " or " Catch other
// Exception " on standard output, the library's details on standard error) and the rows read
// before the fault are kept. A file that cannot be opened gives the "cannot open" failure and
// leaves out_m untouched.
[[nodiscard]] Status FQ0tomatrix(const std::string& path, tessel::TesselMatrix<double>& out_m,
                                 const std::string& selection, double t_max);
