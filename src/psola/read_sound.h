// Reading the sound to resynthesise.
#pragma once

#include <string>
#include <vector>

struct Sound {
  std::vector<float> x;   // mono (channels mixed), full scale 1
  double sr = 0.0;        // Hz
  int sample_format = 0;  // libaudiofile's AF_SAMPFMT_* of the file
  int sample_width = 0;   // bits per sample in the file
};

// Reads the whole file through libaudiofile. Throws PsolaError naming the file when it cannot
// be opened or decoded, gives no valid rate or holds a sample that is not finite.
[[nodiscard]] Sound read_sound(const std::string& path);
