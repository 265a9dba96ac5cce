#pragma once

#include <string>

#include "core/failure.h"
#include "driver/runstate.h"

// The curve of a step that reuses file: read through with every check of its reader, its
// length counted, its values left in the file (SampleCurve). A file that does not read gives
// the reader's failure.
[[nodiscard]] Expected<SampleCurve> reused_curve(const std::string& file, const char* selection);
