// Synthesis marks: where each grain goes in the output.
#pragma once

#include <cstdint>
#include <vector>

#include "psola/psola_types.h"

// Places the grains along the output. marks (sorted, the first and last not transient) have
// output positions out[i] (samples, increasing); pitch[i] is the f0 factor of the interval
// between marks i and i + 1. Within an interval the synthesis marks follow its periods divided
// by the factor, carried across intervals as a phase, so factor 1 and an unchanged time axis
// put them back on the analysis marks. Each takes the grain of the nearest analysis mark in
// output time, with that mark's spacings as window extents (set_extents narrows them); an
// unvoiced grain is read around the input place that maps to it, not around the mark. A run
// of transient marks becomes one grain copied whole once, between grains of its neighbours at
// their own places. An unvoiced grain used again right after itself is reversed in turn and
// taken from a slightly moved place (random within a quarter period, from seed), so repeated
// noise does not buzz.
[[nodiscard]] std::vector<Grain> place_grains(const std::vector<PsoMark>& marks,
                                              const std::vector<double>& out,
                                              const std::vector<double>& pitch, std::uint64_t seed);
