#pragma once

#include <string>

#include "core/failure.h"
#include "tessel/tessel.h"

// Reads a zone file written by segmentto1MRK: out_m becomes an n x 2 matrix of zone start and
// end times (seconds), pairing each frame holding a begin matrix with the next frame holding an
// end matrix of the same zone number. A file without any zone gives 0 rows. A file that cannot
// be opened or is malformed (read_analysis_file), an unpaired begin or end, or mismatched zone
// numbers give a failure and leave out_m untouched.
[[nodiscard]] Status MRKsegtomatrix(const std::string& path, tessel::TesselMatrix<double>& out_m,
                                    const std::string& frame, const std::string& begin,
                                    const std::string& end);
