// The failures of the mark positioning.
#pragma once

#include "core/failure.h"

namespace marks_detail {

// The failure that prints text on standard output, followed by a line end when line_end is
// true; status 1.
[[nodiscard]] Failure markfail(const char* text, bool line_end = true);

}  // namespace marks_detail
