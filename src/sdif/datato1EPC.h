#pragma once

#include <string>

#include "core/failure.h"
#include "lumbra/lumbra.h"
#include "sdif/header_keys.h"
#include "tessel/tessel.h"

// Writes an epoch or transient curve: the analysis-file header with the 1ECS/1ECL/1EPC
// declarations, then one 1EPC frame at time 0 holding an n x 1 float32 matrix_sig matrix (1ECS
// or 1ECL) with data_v in order (one value per sample). Fails (nothing written) when the curve
// has more rows than one SDIF frame can hold (536870902 float32 values), and with the failure of
// write_analysis_file when the file cannot be created or written.
[[nodiscard]] Status datato1EPC(const tessel::TesselVector<double>& data_v,
                                SdifSignature matrix_sig, const std::string& filename,
                                const HeaderFacts& facts);
