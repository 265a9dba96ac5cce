#pragma once

#include <string>

#include "tessel/tessel.h"

// Reads an epoch or transient curve: out_v becomes column 0 of the matrix kept by selection
// (":1EPC/1ECS" or ":1EPC/1ECL"), one value per row (per sample); several selected matrices are
// concatenated in file order. Returns 0 when read, 1 when the file cannot be opened (out_v
// untouched). A malformed file ends the process with status 1 after a message.
[[nodiscard]] int EPCtovector(const std::string& path, tessel::TesselVector<double>& out_v,
                              const std::string& selection);
