#pragma once

#include <string>

#include "core/failure.h"
#include "lumbra/lumbra.h"
#include "sdif/header_keys.h"
#include "tessel/tessel.h"

// Writes a track: the analysis-file header (with the 1VUT/1VUV declarations when matrix_sig is
// 1VUT), then one frame_sig frame per element i at time time_v[i] (seconds), holding a 1x1
// float32 matrix_sig matrix with data_v[i]. Fails (nothing written) when the vectors differ in
// length, are too long, or the times are not finite and non-decreasing, and with the failure of
// write_analysis_file when the file cannot be created or written.
[[nodiscard]] Status datatosdif(const tessel::TesselVector<double>& time_v,
                                const tessel::TesselVector<double>& data_v, SdifSignature frame_sig,
                                SdifSignature matrix_sig, const std::string& filename,
                                const HeaderFacts& facts);
