// Window extents of placed grains.
#pragma once

#include <vector>

#include "psola/psola_types.h"

// Narrows each grain's window towards its output neighbours: the rise to at most 1.5 times the
// distance from the end of the grain before, the fall to at most 1.5 times the distance to the
// next grain (never under one sample). Raising the pitch thus keeps about one period and a half
// per side (the overlap is normalised away); lowering it keeps the analysis periods, with a gap
// between grains that the normalisation leaves alone.
void set_extents(std::vector<Grain>& grains);
