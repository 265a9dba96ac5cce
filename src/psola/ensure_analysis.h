// Making sure the analysis of a sound is there and current.
#pragma once

#include <string>
#include <vector>

// Runs glotmark's analysis chain in this process on sound with -S and glotmark_args (the
// options given after "--"), into the folder glotmark uses (analysis_dir): glotmark's reuse
// rule keeps what an earlier run made from the same sound and parameters and recomputes the
// rest. Returns the 1PSO file's path. glotmark's own messages go to standard output; throws
// PsolaError when the analysis fails.
[[nodiscard]] std::string ensure_analysis(const std::string& sound,
                                          const std::vector<std::string>& glotmark_args);
