#pragma once

#include <string>

#include "core/failure.h"
#include "tessel/tessel.h"

// Reads an epoch or transient curve: out_v becomes column 0 of the matrix kept by selection
// (":1EPC/1ECS" or ":1EPC/1ECL"), one value per row (per sample); several selected matrices are
// concatenated in file order. A file that cannot be opened or is malformed gives its failure
// (read_analysis_file) and leaves out_v untouched.
[[nodiscard]] Status EPCtovector(const std::string& path, tessel::TesselVector<double>& out_v,
                                 const std::string& selection);
