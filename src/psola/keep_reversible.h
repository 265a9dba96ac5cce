// Which repeated unvoiced grains may be read backwards.
#pragma once

#include <vector>

#include "psola/psola_types.h"

// Reads forwards again every reversed grain whose two halves in x (n samples) differ by more
// than 6 dB in energy: read backwards, a fading sound would rise, a rising one would fade, and
// the edge would be heard as a new onset.
void keep_reversible(std::vector<Grain>& grains, const float* x, std::size_t n);
