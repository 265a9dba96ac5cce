// Running an outside program without a shell.
#pragma once

#include <string>
#include <vector>

// Runs argv (argv[0] the program: a path when it holds a "/", else looked up on PATH) with the
// process's environment and waits for it. Each element reaches the program as one argument;
// nothing is interpreted by a shell. Returns the exit status, 128 + the signal number when the
// program was killed, or -1 when it could not be started.
[[nodiscard]] int run_program(const std::vector<std::string>& argv);
