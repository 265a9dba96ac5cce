// The figures of one sound's analysis that go into its summary row, read from the files
// glotmark wrote.
#pragma once

#include <optional>
#include <string>
#include <vector>

namespace corpus {

// Which results a glotmark command line produces.
struct GlotmarkSteps {
  bool pso = false;    // -S: the 1PSO file
  bool marks = false;  // -M or -S: the 1MRK and 1VUT files
  bool f0 = true;      // every run reads or computes the f0 file
};

// Scans glotmark's options (its short-option string "hVi:OI:f:F:Ee:o:UTv:t:Ma:b:g:S" and long
// names, unique prefixes included) for -S and -M.
[[nodiscard]] GlotmarkSteps glotmark_steps(const std::vector<std::string>& options);

struct ResultFigures {
  std::optional<long> marks;
  std::optional<double> voiced_share;  // 0..1
  std::optional<double> median_f0_hz;  // of the voiced marks with -S, else of the f0 track
};

// Reads the figures from pso_dir (".../PSObase") for the sound's base name: with -S the 1PSO
// file (marks = frames, voiced share = mean voicing flag, median of the f0 of the voiced marks),
// with -M the 1VUT file (marks and voiced share) and the f0 file, else the f0 file alone (median
// of its positive frequencies). Returns false with err set when a file that the steps must have
// written is missing or malformed.
[[nodiscard]] bool read_results(const std::string& pso_dir, const std::string& base,
                                const GlotmarkSteps& steps, ResultFigures& figures,
                                std::string& err);

// Length of the sound file in seconds (frames / sampling rate) from its header; nullopt when
// the sound library cannot open it.
[[nodiscard]] std::optional<double> sound_duration(const std::string& path);

}  // namespace corpus
