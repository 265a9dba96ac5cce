#pragma once

#include <string>
#include <vector>

#include "core/failure.h"
#include "sdif/header_keys.h"

// Environment variable through which the f0 program learns its parent's pid: it ends when that
// process does (a killed run leaves no f0 program running).
inline constexpr const char* kF0ParentEnv = "GLOTMARK_PARENT_PID";

// A new, empty file output_path + ".tmp-XXXXXX" of this run alone (mkstemp), for the f0
// program's result; "" when it cannot be made (the caller's f0tosdif then fails to open it).
[[nodiscard]] std::string f0_result_file(const std::string& output_path);

// Runs the f0 program argv (argv[0] the program, searched in PATH when it holds no '/'; no
// shell is involved; kF0ParentEnv set to this process) and waits for it; the program writes its
// result to result_path. Then writes output_path: the analysis-file header (without
// Force_fcmax) followed by a copy of every 1FQ0 frame of the result holding 1FQ0 matrices
// (signature, stream, time and matrices unchanged), and removes result_path on every path.
// Failures: the program cannot be run or does not exit with status 0 ("bad execution"), the
// result cannot be opened or output_path cannot be created, the result is malformed, or it holds
// no 1FQ0 frame ("size of f0 data null", refused before output_path is touched).
[[nodiscard]] Status f0tosdif(const std::vector<std::string>& argv, const std::string& result_path,
                              const std::string& output_path, const HeaderFacts& facts);
