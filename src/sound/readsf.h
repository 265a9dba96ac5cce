// Sound-file input: the whole file as one mono signal.
#pragma once

#include <string>

#include "tessel/tessel.h"

// Reads the sound file at path (any format libaudiofile decodes) as one column vector of
// doubles, one element per frame in file order, channels mixed down by the library and integer
// samples scaled to +-1.0. Writes the sampling rate (Hz) into rate. A file with no frames gives
// an empty vector. On an open, format, close or non-finite-sample fault prints its message to
// standard output and ends the process with status 1.
tessel::TesselVector<double> readsf(const std::string& path, double& rate);
