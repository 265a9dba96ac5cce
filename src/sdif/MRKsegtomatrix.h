#pragma once

#include <string>

#include "tessel/tessel.h"

// Reads a zone file written by segmentto1MRK: out_m becomes an n x 2 matrix of zone start and
// end times (seconds), pairing each frame holding a begin matrix with the next frame holding an
// end matrix of the same zone number. A file without any zone gives 0 rows. Returns 0 when
// read, 1 when the file cannot be opened (out_m untouched). A malformed file, an unpaired begin
// or end, or mismatched zone numbers end the process with status 1 after a message.
[[nodiscard]] int MRKsegtomatrix(const std::string& path, tessel::TesselMatrix<double>& out_m,
                                 const std::string& frame, const std::string& begin,
                                 const std::string& end);
