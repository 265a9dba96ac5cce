// Sound-file input: the whole file as one mono signal.
#pragma once

#include <string>

#include "core/failure.h"
#include "tessel/tessel.h"

// Reads the sound file at path (any format libaudiofile decodes) as one column vector of
// doubles, one element per frame in file order, channels mixed down by the library and integer
// samples scaled to +-1.0. Writes the sampling rate (Hz) into rate. A file with no frames gives
// an empty vector; a file shorter than its header says is read as far as it goes. An open, format,
// rate, length, close or non-finite-sample fault gives its framed failure ("\n *** Error : readsf
// ***\n -> ..."); the file is closed on every path.
[[nodiscard]] Expected<tessel::TesselVector<double>> readsf(const std::string& path, double& rate);
