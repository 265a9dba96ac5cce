// The glotmark-convert program: analysis files to the formats of Praat, of the EST trackers and
// to CSV; f0 tracks of other programs to the 1FQ0 file the analysis imports with -I.
#pragma once

// Runs glotmark-convert with its command line; returns the exit status (0 converted, 1 on a bad
// command line or a file that cannot be read, converted or written; nothing is written then).
[[nodiscard]] int convert_main(int argc, char** argv);
