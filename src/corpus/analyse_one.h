// The per-file worker of a corpus run: runs glotmark on one sound of the output tree and
// writes its summary row.
#pragma once

#include <string>
#include <vector>

namespace corpus {

// Analyses OUT/rel (the link to the sound) with the settings of OUT's run: removes the file's
// old row, and its old results unless that row was a success; runs glotmark -i on the link
// (its own process group; standard output and error into OUT/rel.log), stopping it after the
// run's timeout; then writes OUT/rel.row. A file that timed out or was killed by a signal
// leaves no result files. When the worker itself is stopped (SIGINT, SIGTERM, SIGHUP) it
// stops glotmark, removes the results and writes no row. Returns the row's status (0 success),
// 128 + the signal that stopped the worker, or 2 when the run's settings cannot be read.
[[nodiscard]] int analyse_one(const std::string& out, const std::string& rel);

// The worker that GNU parallel starts: analyse_one on each file of rels in turn, printing each
// file's status on its own line of standard output as soon as it is known (the runner counts
// them for its progress line). Returns 0 when every file succeeded, 1 when some failed, and
// 128 + the signal when it was stopped (the files left get no row).
[[nodiscard]] int analyse_files(const std::string& out, const std::vector<std::string>& rels);

// True once the worker got SIGINT, SIGTERM or SIGHUP (for callers that run files in a loop).
[[nodiscard]] bool stop_requested();

// Removes what glotmark writes for the sound base into pso_dir (its SDIF files, their
// temporaries, the history) and then the folder when it is left empty. Never throws.
void remove_results(const std::string& pso_dir, const std::string& base);

// The first line of glotmark's output that says why it failed: the first line of its error
// stream that is not a warning, else the "-> " line after the first "Error" line of its
// standard output, else the first non-empty line; "" when there is none.
[[nodiscard]] std::string first_error_line(const std::string& out_text,
                                           const std::string& err_text);

}  // namespace corpus
