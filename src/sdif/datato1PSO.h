#pragma once

#include <string>

#include "core/failure.h"
#include "sdif/header_keys.h"
#include "tessel/tessel.h"

// Writes the 1PSO file: the analysis-file header with the 1PSO declarations, then one 1PSO
// frame per mark i at time_v[i] (seconds) holding a 1x1 float32 ITDS matrix with sr (Hz) and a
// 1x8 float32 1PSO matrix: position (samples), f0 (Hz), voicing flag, voicing coefficient,
// cut-off frequency (Hz), periods (samples), mod, transient flag. Fails (nothing written) when a
// vector's length differs from time_v's, the vectors are too long, or the times are not finite and
// in order, and with the failure of write_analysis_file when the file cannot be created or written.
[[nodiscard]] Status datato1PSO(
    const std::string& filename, double sr, const tessel::TesselVector<double>& time_v,
    const tessel::TesselVector<double>& position, const tessel::TesselVector<double>& f0,
    const tessel::TesselVector<double>& voicing_flag,
    const tessel::TesselVector<double>& voicing_coef, const tessel::TesselVector<double>& cutoff,
    const tessel::TesselVector<double>& periods, const tessel::TesselVector<double>& mod,
    const tessel::TesselVector<double>& transient_flag, const HeaderFacts& facts);
