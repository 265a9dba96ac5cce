// The glotmark-psola program.
#pragma once

// Parses the command line, brings the analysis up to date, resynthesises and writes OUT.
// Returns the exit status: 0 written, 1 after any error (message on standard error).
[[nodiscard]] int psola_main(int argc, char** argv);
