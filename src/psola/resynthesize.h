// The whole resynthesis of a sound from its marks.
#pragma once

#include <cstddef>
#include <vector>

#include "psola/overlap_add.h"
#include "psola/psola_types.h"

// Resynthesises x (the sound the analysis was made from, sr Hz, full scale 1) with the pitch
// and duration changes of the settings and hands the output to sink in order (see
// overlap_add); returns the number of output samples, about the input's length times the
// duration factor. Factor 1 everywhere gives back x. Throws PsolaError when the analysis does
// not fit x (check_marks) or a factor lies outside [0.25, 4].
std::size_t resynthesize(const std::vector<float>& x, double sr, const PsoAnalysis& analysis,
                         const PsolaSettings& settings, const SampleSink& sink,
                         const Progress& progress);
