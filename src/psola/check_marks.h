// Does an analysis belong to a sound?
#pragma once

#include <cstddef>

#include "psola/psola_types.h"

// Throws PsolaError with the reason when the analysis cannot be the one of a sound of n
// samples at sr Hz: no mark, another sampling rate, a mark position that is not finite, lies
// outside the sound (beyond one sample) or does not increase, a non-finite f0 or Mod, or
// marks that leave more than 0.1 s (or four of their spacings) unmarked at an end.
void check_marks(const PsoAnalysis& analysis, std::size_t n, double sr);
