// The time map of a resynthesis: where each input instant lands in the output.
#pragma once

#include <cstddef>
#include <vector>

#include "psola/psola_types.h"

struct TimeMap {
  std::vector<PsoMark> marks;  // the analysis marks with the added edge marks (edge_marks)
  std::vector<double> rates;   // duration factor of each interval between marks (interval_rates)
  std::vector<double> out;     // output position of each mark, samples
  std::size_t n_out = 0;       // output length, samples: where input sample n lands
};

// The map for a sound of n samples at sr Hz with these marks (checked by check_marks) and
// settings: linear between marks, input sample 0 at output sample 0.
[[nodiscard]] TimeMap time_map(const std::vector<PsoMark>& marks, std::size_t n, double sr,
                               const PsolaSettings& settings);

// The input position (samples) that lands at output position out_pos (samples).
[[nodiscard]] double map_back(const TimeMap& map, double out_pos);
