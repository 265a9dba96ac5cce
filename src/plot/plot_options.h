// Command line of glotmark-plot.
#pragma once

#include <optional>
#include <ostream>
#include <string>
#include <vector>

#include "plot/draw_figure.h"

struct PlotOptions {
  std::string input;                         // the sound, as given
  std::string output;                        // the figure
  std::optional<double> from, to;            // seconds
  std::optional<std::vector<Panel>> panels;  // as asked for; nothing: the default set
  std::optional<std::string> title;          // nothing: the default title
  FigureStyle style;
  bool help = false;
  bool version = false;
};

// Parses argv. Returns nothing after printing the fault (and a pointer to --help) on err.
[[nodiscard]] std::optional<PlotOptions> parse_plot_options(int argc, const char* const* argv,
                                                            std::ostream& err);

// The --help text.
[[nodiscard]] const char* plot_usage();
