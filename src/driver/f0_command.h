// Command line of the outside f0 analysis program.
#pragma once

#include <string>
#include <vector>

struct F0Command {
  std::string text;               // shown in verbose mode, the program named "harmex"
  std::vector<std::string> argv;  // what is run: program, then one element per argument
};

// Builds the f0 command for the sound at sound_path (sampling rate sr, Hz) searched between
// fmin and fmax (Hz), writing its result to result_file (the run's own temporary file beside
// the step file). program is argv[0] (the path
// of the f0 program, or its bare name for a PATH lookup). Window -M is the larger of 0.02 sr
// (0.02 in single precision) and 4 sr / fmin; --f0ana the smaller of 2.5 fmax and sr.
[[nodiscard]] F0Command f0_command(const std::string& sound_path, double fmin, double fmax,
                                   double sr, const std::string& result_file,
                                   const std::string& program);
