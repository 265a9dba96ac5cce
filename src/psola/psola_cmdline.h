// Command line of glotmark-psola.
#pragma once

#include <string>
#include <vector>

#include "psola/psola_types.h"

struct PsolaCommand {
  PsolaSettings settings;
  std::string in, out;                     // sound to read, sound to write
  std::string analysis;                    // --analysis folder; empty: PSO<base>/ beside in
  std::vector<std::string> glotmark_args;  // everything after "--"
  bool quiet = false;                      // no progress line
  bool help = false;
  bool version = false;
};

// Parses argv: options (--name=value or --name value), then IN and OUT, then after "--" the
// options handed to the analysis. Curve files are read here. Throws PsolaError with the
// message to print for an unknown option, a missing or malformed value, a factor out of range,
// a curve file that does not parse, or a wrong number of file arguments (unless --help or
// --version was given).
[[nodiscard]] PsolaCommand parse_psola_cmdline(int argc, char** argv);

// The --help text: usage line, every option with its unit, range and default.
[[nodiscard]] std::string psola_usage();
