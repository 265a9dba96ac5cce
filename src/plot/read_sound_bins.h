// Reading the shown range of a sound file straight into column bins.
#pragma once

#include <string>

#include "plot/column_bins.h"

struct SoundInfo {
  double sr = 0.0;   // Hz
  long samples = 0;  // frames of the file
};

// Sampling rate and length of the sound at path (channels mixed down to one). Throws PlotError
// when the file cannot be opened or decoded, or holds no sample.
[[nodiscard]] SoundInfo sound_info(const std::string& path);

// Min/max bins of the samples of path whose times lie in [bins.t0(), bins.t1()], read block by
// block (the whole file is never held). Throws PlotError on a read fault.
void read_sound_bins(const std::string& path, ColumnBins& bins);
