// The figure of one analysis: aligned panels drawn with Cairo into a PNG, SVG or PDF file.
#pragma once

#include <string>
#include <vector>

#include "plot/plot_data.h"

enum class Panel { wave, f0, voicing, cutoff, epochs, transients };

struct FigureStyle {
  double width_mm = 85.0;  // one column of a two-column paper
  double height_mm = 0.0;  // 0: from the number of panels
  double dpi = 300.0;      // pixels per inch of a PNG, and of the column bins of every format
  double font_pt = 7.0;    // text size, points
  std::string title;       // empty: none
};

// Width of the plot area in pixel columns at the style's resolution: the number of bins each
// series needs.
[[nodiscard]] int plot_columns(const FigureStyle& style);

// Height of the figure, millimetres: the style's, or one from the panels when it gives none.
[[nodiscard]] double figure_height_mm(const FigureStyle& style, const std::vector<Panel>& panels);

// Draws the panels (in order, the first one on top) into path, whose extension .png, .svg or
// .pdf chooses the format. The file appears only complete: it is drawn under a temporary name
// beside it and renamed. Throws PlotError when the file cannot be written.
void draw_figure(const PlotData& data, const std::vector<Panel>& panels, const FigureStyle& style,
                 const std::string& path);
