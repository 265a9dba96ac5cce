// The Slurm array job of a corpus run: its two batch scripts and their submission.
#pragma once

#include <string>
#include <vector>

namespace corpus {

struct SlurmJob {
  std::string self;  // absolute path of glotmark-corpus
  std::string out;   // absolute output folder
  int tasks = 1;     // array tasks
  int cpus_per_task = 1;
  bool resume = false, retry_failed = false;
  std::vector<std::string> sbatch_options;  // extra "#SBATCH" options, as given
};

// Writes OUT/.glotmark-corpus/slurm/array.sbatch (task K runs "glotmark-corpus --task K") and
// collect.sbatch (runs "glotmark-corpus --collect OUT"); returns their paths, or false with err
// set when a script cannot be written.
[[nodiscard]] bool write_slurm_scripts(const SlurmJob& job, std::string& array_script,
                                       std::string& collect_script, std::string& err);

// Submits the array script with sbatch, then the collect script to start once every task has
// ended (--dependency=afterany). Fills the two job ids; false with err set when sbatch fails.
[[nodiscard]] bool submit_slurm(const std::string& array_script, const std::string& collect_script,
                                std::string& array_id, std::string& collect_id, std::string& err);

// The files of task k of tasks out of count files: [first, last).
void task_chunk(std::size_t count, int tasks, int k, std::size_t& first, std::size_t& last);

// Text quoted for the POSIX shell: in single quotes, an inner quote written '\''.
[[nodiscard]] std::string shell_quoted(const std::string& text);

}  // namespace corpus
