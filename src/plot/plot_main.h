// glotmark-plot: the figure of one sound's analysis.
#pragma once

// The whole program: options, the sound and its analysis files, the figure. Returns the exit
// status: 0 when the figure was written, 1 after a message on standard error otherwise.
[[nodiscard]] int plot_main(int argc, const char* const* argv);
