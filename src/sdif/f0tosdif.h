#pragma once

#include <string>
#include <vector>

#include "core/failure.h"
#include "sdif/header_keys.h"

// Runs the f0 program argv (argv[0] the program, searched in PATH when it holds no '/'; no
// shell is involved) and waits for it; the program must write its result to output_path +
// ".tmp". Then writes output_path: the analysis-file header (without Force_fcmax) followed by
// a copy of every 1FQ0 frame of the result holding 1FQ0 matrices (signature, stream, time and
// matrices unchanged), and removes the temporary file. Failures: the program cannot be run or
// does not exit with status 0 ("bad execution"), the result cannot be opened or output_path
// cannot be created, the result is malformed (the temporary file is then left in place).
[[nodiscard]] Status f0tosdif(const std::vector<std::string>& argv, const std::string& output_path,
                              const HeaderFacts& facts);
