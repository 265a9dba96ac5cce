// State of one analysis run, shared by the driver and its step functions.
//
// The chain, in order (each step function lives in its own file, named after it):
//
//   1 step_f0          f0 track (harmex, -I file or read back), cleaned, and its median
//   2 step_epochs      epoch curve                 -> files.ecs  (EPCtovector / datato1EPC)
//   3 step_voicing     coefficient and cut-off     -> files.vun, files.vuf
//   4 step_transients  transient curve             -> files.ecl
//   5,6 step_zones     voiced/unvoiced zones       -> files.voi, files.uvi
//                      transient zones             -> files.tra
//   7 step_marks       marks and their kinds       -> files.mrk, files.vut
//   8 step_pso         1PSO file                   -> files.pso
//
// What each step function does when the driver calls it (every earlier step is settled):
//   a. If its request flag (request[step]) is down, run the reuse test on its files with
//      must_recompute() (reuse.h) and the keys of its row in ReuseKeys; the test may raise the
//      flag. A raised flag is never lowered.
//   b. Flag up: print the step's verbose "\nCalculating ..." lines (only when s.verbose), compute
//      from the inputs in this state, store the result in this state, write the step's files
//      with the writers of src/sdif (a non-zero writer result: error_end(s, "")), print
//      " Writing : " + file + "\n" per file in verbose mode, then the end test: when
//      !any_request_after(s, step), normal_end(s).
//   c. Flag down: print the same verbose method lines, then reading_line(s, file) per file,
//      and read the files back into this state with the readers of src/sdif (non-zero result:
//      error_end(s, cannot_open(file))). No end test after a read-back (except step 7, which
//      ends the run when step 8 is not requested).
//   d. Refuse an empty result with the step's "size ... null" message through error_end.
//
// Inputs and outputs in the state, by step:
//   2 epochs:      in signal, sr, f0_track, f0_median, method, lpc_order; out epochs. After a
//                  Frobenius computation store the order actually used in args.orderLPC_arg
//                  (later reuse tests compare it).
//   3 voicing:     in signal, sr, f0_track, cutoff_cap_hz (half sr with --forcefc, else the
//                  smaller of cutoff_cap_hz and sr / 2); out voicing_coef, voicing_cutoff.
//   4 transients:  in signal, sr, f0_track; out transients.
//   5,6 zones:     in voicing_coef, transients, epochs, sr, duration, thresholds in args;
//                  out voiced_zones, unvoiced_zones (step 5), transient_zones (step 6).
//   7 marks:       in epochs, sr, f0_track, zones, f0_median, args.alpha_arg/beta_arg/gamma_arg,
//                  voicing_coef, args.voice_threshold_arg; out marks (n x 2: time, kind).
//   8 pso:         in marks, sr, f0_track, f0_median, voicing_coef, voicing_cutoff; assemble
//                  with pso_columns() (pso_columns.h) and write with datato1PSO (its result is
//                  not tested), verbose "\n Writing 1PSO sdiff file.\n", then normal_end(s).
//
// Ending the run: error_end() and normal_end() write the history record and leave by throwing
// RunEnd, which glotmark_main catches; so a step function must never swallow exceptions with
// catch (...). Any other exception (tessel::error, std::bad_alloc) that escapes a step ends the
// run as an error too.
#pragma once

#include <array>
#include <optional>
#include <string>

#include "core/failure.h"
#include "driver/check_cmdline.h"
#include "driver/cmdline.h"
#include "sdif/header_keys.h"
#include "tessel/tessel.h"

// Step numbers of the chain.
enum Step : int {
  kStepF0 = 1,
  kStepEpochs = 2,
  kStepVoicing = 3,
  kStepTransients = 4,
  kStepVoicedZones = 5,
  kStepTransientZones = 6,
  kStepMarks = 7,
  kStepPso = 8,
};

// Paths of the analysis files: outdir + base name + suffix.
struct FileSet {
  std::string f0;   // ".1FQ0.sdif"
  std::string ecs;  // ".1ECS.sdif" epoch curve
  std::string ecl;  // ".1ECL.sdif" transient curve
  std::string voi;  // ".1VOI.sdif" voiced zones
  std::string uvi;  // ".1UVI.sdif" unvoiced zones
  std::string tra;  // ".1TRA.sdif" transient zones
  std::string vuf;  // ".1VUF.sdif" voicing cut-off track
  std::string vun;  // ".1VUN.sdif" voicing coefficient track
  std::string vut;  // ".1VUT.sdif" mark kinds
  std::string mrk;  // ".1MRK.sdif" marks
  std::string pso;  // ".1PSO.sdif"
};

// Selections of the readers (frame/matrix) and the zone kinds of the segment files.
inline constexpr const char* kSelF0 = ":1FQ0/1FQ0";
inline constexpr const char* kSelEcs = ":1EPC/1ECS";
inline constexpr const char* kSelEcl = ":1EPC/1ECL";
inline constexpr const char* kSelVun = ":1VUV/1VUN";
inline constexpr const char* kSelVuf = ":1VUV/1VUF";
inline constexpr const char* kSelVut = ":1VUV/1VUT";
inline constexpr const char* kSelBeg = ":1MRK/1BEG";
inline constexpr const char* kSelEnd = ":1MRK/1END";
inline constexpr const char* kSelSegments = ":1MRK/1BEG,1MRK/1END";
inline constexpr const char* kVoiced = "Voiced";
inline constexpr const char* kUnvoiced = "Unvoiced";
inline constexpr const char* kTransient = "Transient";

struct RunState {
  gengetopt_args_info args;  // checked record, defaults filled in; handed to every writer
  CheckedOptions opts;       // method, LPC order, step-3 requests, cut-off cap
  bool verbose = false;

  // request[step] for steps 2..8 (indices 0 and 1 unused): raised means computed now.
  std::array<bool, 9> request{};

  // Texts of the run.
  std::string program_dir;   // directory part of argv[0] ("" or ending with "/")
  std::string command_line;  // argv joined with single blanks
  std::string start_time;    // ctime text of the start, with its line end
  std::string sfdir;         // SFDIR, or ""
  std::string base_name;     // input's file name without its extension
  std::string outdir;        // output directory, ending with "/"
  std::string sound_path;    // resolved sound file
  std::string f0_path;       // resolved -I file ("" without -I)
  FileSet files;
  bool outdir_known = false;     // from then on every end writes the history record
  bool history_written = false;  // the record of this run is in place

  // Signal.
  tessel::TesselVector<double> signal;
  double sr = 0.0;        // sampling rate (Hz)
  double duration = 0.0;  // (samples - 1) / sr (s)

  // Step results (tracks: column 0 time in s, column 1 value).
  tessel::TesselMatrix<double> f0_track;  // cleaned f0 (Hz)
  double f0_median = 0.0;                 // median of the cleaned f0 (Hz)
  tessel::TesselVector<double> epochs;    // epoch curve, one value per sample
  tessel::TesselMatrix<double> voicing_coef;
  tessel::TesselMatrix<double> voicing_cutoff;  // Hz
  tessel::TesselVector<double> transients;      // transient curve
  tessel::TesselMatrix<double> voiced_zones;    // rows: start, end (s)
  tessel::TesselMatrix<double> unvoiced_zones;
  tessel::TesselMatrix<double> transient_zones;
  tessel::TesselMatrix<double> marks;  // rows: time (s), kind (1 voiced, 0 unvoiced, 2 trans.)

  // LpcOrder of the headers: the record's order, then the order step 2 used when it computed.
  int lpc_order = 0;

  // What every header written by this run records.
  [[nodiscard]] HeaderFacts header() const { return HeaderFacts(args, lpc_order); }
};

// Thrown by the two ends once the history record is written; carries the exit status.
struct RunEnd {
  int status;
};

// Error end: prints message and a line end to standard output (nothing when message is empty),
// writes the history record when the output directory is known, throws RunEnd{1}.
[[noreturn]] void error_end(RunState& s, const std::string& message);
// Error end on a library failure: prints it as is (print_failure), writes the history record
// when the output directory is known, throws RunEnd{failure.status}.
[[noreturn]] void error_end(RunState& s, const Failure& failure);

// Normal end: writes the history record and throws RunEnd{0}.
[[noreturn]] void normal_end(RunState& s);

// Writes the history record of the run now (verbose line first) and notes that it is written.
// The analysis functions and the file readers end the process themselves on a fatal error; the
// program writes the record from an exit handler for those ends (see glotmark_main).
void write_history_of(RunState& s);

// True when a step after `step` is requested (flags 2..8).
[[nodiscard]] bool any_request_after(const RunState& s, int step);

// " Reading : " (" Force reading : " with -I and --force) + file + " to extract data...\n";
// the caller adds the line end. Printed only in verbose mode, by print_reading().
[[nodiscard]] std::string reading_line(const RunState& s, const std::string& file);
void print_reading(const RunState& s, const std::string& file);
// " Writing : " + file + "\n" and a line end, in verbose mode.
void print_writing(const RunState& s, const std::string& file);

// The step functions, in chain order.
void step_f0(RunState& s);
void step_epochs(RunState& s);
void step_voicing(RunState& s);
void step_transients(RunState& s);
void step_zones(RunState& s);  // steps 5 and 6
void step_marks(RunState& s);
void step_pso(RunState& s);
