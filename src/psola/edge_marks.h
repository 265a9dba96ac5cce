// Marks beyond the ends of the sound.
#pragma once

#include <cstddef>
#include <vector>

#include "psola/psola_types.h"

// The marks with unvoiced marks added before the first and after the last, one period of the
// end mark apart (sr / its f0, or 10 ms, when there is a single mark), until one lies at or
// before sample 0 and one at or after sample n. With them every sample of the sound sits
// between two marks, so the ends are resynthesised like the rest.
[[nodiscard]] std::vector<PsoMark> edge_marks(const std::vector<PsoMark>& marks, std::size_t n,
                                              double sr);
