// Reading the marks of a 1PSO file.
#pragma once

#include <string>

#include "psola/psola_types.h"

// Reads every 1PSO frame of the file at path: the rate from its ITDS matrix, one mark per
// frame from its 1PSO matrix (Position, Fundamentalfrequency, VoicingFlag, ...). Throws
// PsolaError naming the file when it cannot be opened, is not an SDIF file, holds a malformed
// 1PSO matrix, or gives no rate.
[[nodiscard]] PsoAnalysis read_pso(const std::string& path);
