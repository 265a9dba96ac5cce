// The analysis of one sound as a library call: what glotmark does for one command line, without
// ending the process. Other programs (resynthesis, the Python module) call it in-process.
//
//   Expected<AnalysisRequest> request = analysis_request(argc, argv, std::cout);
//   if (!request) return request.error().status;   // the refusal is printed already
//   const AnalysisOutcome outcome = run_analysis(*request);
//   return finish_analysis(*request, outcome);     // what glotmark prints and writes last
//
// The SDIF library must be initialised (LumbraInit) around the call. The run prints its
// verbose progress on standard output as it goes (nothing without --verbose), and the
// outside programs it starts (the f0 program, the directory script) write to the same
// streams; its failure is returned, never printed.
#pragma once

#include <iosfwd>
#include <memory>
#include <optional>
#include <string>

#include "core/failure.h"
#include "driver/check_cmdline.h"
#include "driver/cmdline.h"
#include "driver/lock_folder.h"
#include "driver/runstate.h"

// One analysis to run: a checked command line and the texts of its history record.
struct AnalysisRequest {
  gengetopt_args_info args;  // checked record, defaults filled in (check_cmdline)
  CheckedOptions opts;       // what the check resolved
  std::string program;       // the program's path as invoked: the f0 program and the directory
                             // script are looked for beside it ("" or a bare name: PATH)
  std::string command_line;  // for the history record: program and arguments joined by " "
  std::string start_time;    // ctime text of the start, with its line end
  std::string sfdir;         // SFDIR, or "" (where a relative input is also looked for)
};

// Parses and checks argv as glotmark does (cmdline_parser, then check_cmdline printing its
// banner, warnings and refusals on out); takes the start time and SFDIR from the process.
// -h and -V print their text and end the process (status 0). A refusal is a failure with no
// text left to print, status 1.
[[nodiscard]] Expected<AnalysisRequest> analysis_request(int argc, char** argv, std::ostream& out);

// What the steps obtained, in chain order; the steps the run did not reach stay empty.
struct AnalysisResults {
  FileSet files;
  double sr = 0.0;         // sampling rate (Hz), 0 before the sound is read
  std::size_t frames = 0;  // samples of the sound
  double duration = 0.0;   // (frames - 1) / sr (s)
  F0Result f0;
  EpochResult epochs;
  VoicingResult voicing;
  TransientResult transients;
  ZoneResult zones;
  MarkResult marks;
  int last_step = 0;  // the last step done (0: none)
};

struct AnalysisOutcome {
  std::optional<Failure> failure;  // none: the run completed
  std::string outdir;              // output directory ("" before it was decided)
  bool history_due = false;        // the run reached its output directory: record it there
  AnalysisResults results;
  // The output folder's lock, from its creation until the outcome is gone: the history is
  // written under it too (finish_analysis).
  std::shared_ptr<const FolderLock> lock;
};

// Runs the analysis of request: resolves the input and the -I file, loads the sound, creates
// the output directory, walks the chain up to the last requested step. Never ends the process;
// every fault comes back in the outcome (running out of memory becomes a framed failure naming
// the step and the sound's length; another exception a failure with its text on standard
// error). Another process's run on the same output folder is waited for.
[[nodiscard]] AnalysisOutcome run_analysis(const AnalysisRequest& request);

// Ends a run as glotmark does: prints the failure, then, when the history is due, the verbose
// "\n Writing history file.\n " line and the history record (end time now). Returns the exit
// status: 0 after a completed run, the failure's status otherwise.
[[nodiscard]] int finish_analysis(const AnalysisRequest& request, const AnalysisOutcome& outcome);

// The four together, as glotmark's main does them for one command line (printing on standard
// output): parse and check, run, finish. Returns the exit status; never ends the process except
// for -h and -V.
[[nodiscard]] int run_command_line(int argc, char** argv);

// Walks the chain on a prepared context (sound loaded, directory made), filling results.
[[nodiscard]] Status run_chain(const RunContext& c, AnalysisResults& results);
