// Window extents of placed grains.
#pragma once

#include <vector>

#include "psola/psola_types.h"

// Narrows each grain's window to its output neighbours: the rise to at most the distance from
// the end of the grain before, the fall to at most the distance to the next grain (never under
// one sample). Raising the pitch thus keeps one period per grain; lowering it keeps the
// analysis periods, with a gap the normalisation leaves alone.
void set_extents(std::vector<Grain>& grains);
