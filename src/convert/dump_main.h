// The glotmark-dump program: SDIF files as text, or as CSV/TSV tables.
#pragma once

// Runs glotmark-dump with its command line; returns the exit status (0, or 1 when an option is
// wrong or a file could not be read entirely; the other files are still printed).
[[nodiscard]] int dump_main(int argc, char** argv);
