// The pitch map: the f0 factor of each interval between marks.
#pragma once

#include <vector>

#include "psola/psola_types.h"

// F0 factor of each interval between marks i and i + 1 (marks.size() - 1 values), taken at the
// interval's middle (sr in Hz converts positions to seconds). Intervals between two voiced,
// non-transient marks get the settings' factor times the pitch curve times, with a target f0
// curve that is positive there, target / f0, else with an intonation A, (1 + A Mod) / (1 + Mod)
// (f0 and Mod of the marks, interpolated); the result is held within [0.25, 4]. Every other
// interval gets 1: unvoiced sound and transients are never pitch-shifted.
[[nodiscard]] std::vector<double> interval_pitch(const std::vector<PsoMark>& marks, double sr,
                                                 const PsolaSettings& settings);
