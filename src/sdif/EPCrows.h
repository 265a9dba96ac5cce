#pragma once

#include <string>

#include "core/failure.h"

// The length EPCtovector would give the curve of path, found by reading the file through with
// the same checks (every frame and matrix header, sizes, padding) but leaving the elements in
// the file: rows becomes the rows of the selected matrices that have columns. A file that cannot
// be opened or is malformed gives EPCtovector's failure and leaves rows untouched.
[[nodiscard]] Status EPCrows(const std::string& path, long& rows, const std::string& selection);
