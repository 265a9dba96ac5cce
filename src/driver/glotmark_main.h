// The whole program: one command line, one analysis run.
#pragma once

// Parses and checks the command line, then runs the analysis chain on the sound file.
// Returns the process exit status: 0 after a complete run, 1 after any refusal or error.
[[nodiscard]] int glotmark_main(int argc, char** argv);
