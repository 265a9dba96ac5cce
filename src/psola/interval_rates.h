// The time map: how much longer each stretch between two marks becomes.
#pragma once

#include <vector>

#include "psola/psola_types.h"

// Duration factor of each interval between marks i and i + 1 (marks.size() - 1 values): the
// settings' factor and curve at the interval's middle. The intervals from the mark before a
// run of transient marks to the mark after it keep their length (factor 1), and what the
// stretch would have given them is taken up by the non-transient intervals within 50 ms (or
// three times the run's span) on either side, so the total duration still follows the factor.
// marks are sorted, at least two; sr in Hz.
[[nodiscard]] std::vector<double> interval_rates(const std::vector<PsoMark>& marks, double sr,
                                                 const PsolaSettings& settings);
