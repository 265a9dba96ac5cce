#pragma once

#include <string>

#include "core/failure.h"
#include "lumbra/lumbra.h"
#include "sdif/header_keys.h"
#include "tessel/tessel.h"

// Writes a zone table (one row per zone, start and end time in seconds): the analysis-file
// header with a third table {SegmentType: segment_type}, then for zone i (from 0) a 1MRK frame
// at its start holding a 1x1 float32 begin_sig matrix with value i, and a 1MRK frame at its end
// holding a 1x1 end_sig matrix with value i. Fails (nothing written) when the table is too large,
// has fewer than two columns, or its times are not finite and in order (start <= end <= next
// start), and with the failure of write_analysis_file when the file cannot be created or written.
[[nodiscard]] Status segmentto1MRK(const tessel::TesselMatrix<double>& segment_m,
                                   const std::string& filename, SdifSignature begin_sig,
                                   SdifSignature end_sig, const std::string& segment_type,
                                   const HeaderFacts& facts);
