// Ends the process after an error message of the mark positioning.
#pragma once

namespace marks_detail {

// Prints text on standard output, followed by a line end when line_end is true, and exits
// with status 1.
[[noreturn]] void markfail(const char* text, bool line_end = true);

}  // namespace marks_detail
