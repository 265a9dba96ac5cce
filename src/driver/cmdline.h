// Command-line record of glotmark and its parser.
#pragma once

#include "core/options.h"

// Package name and version printed by the help and the version output.
inline constexpr const char* CMDLINE_PARSER_PACKAGE = "glotmark";
inline constexpr const char* CMDLINE_PARSER_VERSION =
    GLOTMARK_VERSION;  // project(VERSION) in CMake

// Clears args_info, then fills it from argv with getopt_long. Returns 0 on success, 1 after
// printing the reason to standard error for a duplicate option, an unknown option, a missing
// argument or a missing --input. -h and -V print their text and end the process with status 0.
int cmdline_parser(int argc, char* const* argv, gengetopt_args_info* args_info);

// Prints the version line, the long description, the usage line and one line per option
// to standard output.
void cmdline_parser_print_help();

// Prints "glotmark 1.2\n" to standard output.
void cmdline_parser_print_version();
