#pragma once

#include <string>

#include "lumbra/lumbra.h"
#include "sdif/header_keys.h"
#include "tessel/tessel.h"

// Writes an epoch or transient curve: the analysis-file header with the 1ECS/1ECL/1EPC
// declarations, then one 1EPC frame at time 0 holding an n x 1 float32 matrix_sig matrix (1ECS
// or 1ECL) with data_v in order (one value per sample). Returns 0 when written, 1 when the file
// cannot be created or written, -1 (nothing written) when the curve has more rows than one SDIF
// frame can hold (536870902 float32 values).
[[nodiscard]] int datato1EPC(const tessel::TesselVector<double>& data_v, SdifSignature matrix_sig,
                             const std::string& filename, const HeaderFacts& facts);
