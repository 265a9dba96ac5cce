// Reading the analysis files of one sound for a figure.
#pragma once

#include <string>
#include <vector>

#include "plot/plot_data.h"

// One result of the analysis a figure can show, with the file that holds it and the glotmark
// option that makes it.
enum class Item { f0, voicing, cutoff, epochs, transients, zones, marks };

struct ItemFile {
  Item item;
  std::string name;    // "f0", "voicing", ... as --panels names it ("zones", "marks" overlays)
  std::string what;    // "f0 track", "voicing coefficient", ... for messages
  std::string path;    // its file (for zones the voiced-zone file; the others sit beside it)
  std::string option;  // glotmark option that computes it
};

// The items of the analysis whose files are stem + ".1XXX.sdif" (stem = output directory +
// base name), in panel order.
[[nodiscard]] std::vector<ItemFile> analysis_files(const std::string& stem);

// Reads item from its file into data (whose range and sampling rate are set), bins of
// `columns` columns. Throws PlotError naming the file when it cannot be opened or is malformed.
void read_item(const ItemFile& item, int columns, PlotData& data);

// True when the file at path exists (whether it reads is for read_item to say).
[[nodiscard]] bool analysis_file_exists(const std::string& path);
