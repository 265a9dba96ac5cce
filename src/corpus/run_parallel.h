// Running the per-file worker over a list of files with GNU parallel, with a progress line.
#pragma once

#include <cstddef>
#include <string>
#include <vector>

namespace corpus {

struct ParallelRun {
  std::string parallel = "parallel";  // the GNU parallel program
  std::string self;                   // absolute path of glotmark-corpus (the worker)
  std::string out;                    // absolute output folder
  std::string jobs_file;              // relative paths to analyse, zero-byte separated
  std::string joblog;                 // GNU parallel's job log, appended to
  std::size_t count = 0;              // files in jobs_file
  int jobs = 0;                       // files at once (per machine); 0 = one per core
  int files_per_job = 1;              // files given to each worker process
  std::vector<std::string> sshlogins;
  bool progress = false;  // draw the progress line on standard error
  bool terminal = false;  // ... redrawn in place (else one line every few seconds)
};

struct RunCounts {
  std::size_t done = 0;    // files that ended
  std::size_t failed = 0;  // of which with a non-zero status
  bool interrupted = false;
  std::string error;  // GNU parallel could not be started
};

// Runs "glotmark-corpus --one OUT REL..." on the files of the jobs file, files_per_job at a time,
// through GNU parallel (its own process group, so that an interruption reaches it once, from
// here) and waits for it, counting the status lines of the workers for the progress line. SIGINT,
// SIGTERM or SIGHUP make GNU parallel stop the running workers; the counts then say interrupted.
// Never throws.
[[nodiscard]] RunCounts run_parallel(const ParallelRun& run);

// Runs the worker in this process for every file of rels, one after the other (where GNU
// parallel is not installed); stops at SIGINT, SIGTERM or SIGHUP.
[[nodiscard]] RunCounts run_in_turn(const std::string& out, const std::vector<std::string>& rels);

// "37/50 files, 2 failed, 0:00:12 elapsed, about 0:00:04 left"
[[nodiscard]] std::string progress_text(std::size_t done, std::size_t failed, std::size_t total,
                                        double elapsed_s);

// Absolute path of a program found on PATH, "" when none.
[[nodiscard]] std::string find_on_path(const std::string& name);

}  // namespace corpus
