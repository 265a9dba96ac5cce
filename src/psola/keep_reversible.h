// Which repeated unvoiced grains may be read backwards.
#pragma once

#include <vector>

#include "psola/psola_types.h"

// Reads forwards and from its own mark again every varied grain (reversed or moved) whose
// two sides in x (n samples) differ by more than 6 dB in energy: read backwards or from a
// moved place, a fading sound would rise again and the edge would be heard as a new onset.
void keep_reversible(std::vector<Grain>& grains, const float* x, std::size_t n);
