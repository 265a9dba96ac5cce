// Command line of glotmark-corpus: the option table (which also prints the help), the parsed
// record and the parser.
#pragma once

#include <optional>
#include <string>
#include <vector>

namespace corpus {

// What the run does.
enum class Mode {
  kRun,      // analyse the corpus here, on this machine's cores (or --sshlogin machines)
  kSlurm,    // write (and with --submit submit) the Slurm array job
  kTask,     // one task of that array job: analyse one chunk of the stored file list
  kCollect,  // merge the results found under OUT into OUT/summary.csv
  kHelp,
  kVersion,
};

struct CorpusOptions {
  Mode mode = Mode::kRun;
  std::string corpus;  // folder, or file listing one sound path a line
  std::string out;     // output tree
  std::string root;    // --root: base of the relative paths of a list ("" = common folder)
  std::vector<std::string> glotmark_options{"-S"};  // the options after "--"
  std::vector<std::string> extensions;              // --ext, lower case, without the dot
  int jobs = 0;                                     // --jobs; 0 = one per core
  int files_per_job = 0;               // --files-per-job; 0 = chosen from the number of files
  double timeout_s = 0.0;              // --timeout per file, seconds; 0 = none
  bool resume = false;                 // --resume
  bool retry_failed = false;           // --retry-failed (implies --resume)
  bool progress = false;               // --progress: also when stderr is not a terminal
  bool quiet = false;                  // --quiet: no progress, no final line
  std::vector<std::string> sshlogins;  // --sshlogin, handed to GNU parallel
  // Slurm
  int tasks = 0;  // --tasks; 0 = min(files, 100)
  int cpus_per_task = 1;
  bool submit = false;
  std::vector<std::string> sbatch_options;  // --sbatch-option, one #SBATCH line each
  int task_id = -1;                         // --task K (default: $SLURM_ARRAY_TASK_ID)
};

// The worker that GNU parallel starts is not an option of the table: "glotmark-corpus --one
// OUT REL..." (see corpus_main).

// Parses argv. Returns the record, or nullopt after writing the reason and a pointer to --help
// on err (the caller exits with status 2). --help and --version set the mode and stop.
[[nodiscard]] std::optional<CorpusOptions> parse_corpus_options(int argc, const char* const* argv,
                                                                std::string& err);

// The --help text, made from the option table.
[[nodiscard]] std::string corpus_usage();

// Every long option of the table ("--jobs", ...), for checks of the documentation.
[[nodiscard]] std::vector<std::string> corpus_option_names();

// Sound-file extensions looked for under a corpus folder when --ext is not given.
[[nodiscard]] const std::vector<std::string>& default_sound_extensions();

}  // namespace corpus
