// What an analysis run knows before its chain starts, and what each step hands on.
//
// The chain, in order (each step function lives in its own file, named after it):
//
//   1 step_f0          f0 track (harmex, -I file or read back); prepare_f0 cleans it
//   2 step_epochs      epoch curve                 -> files.ecs  (EPCtovector / datato1EPC)
//   3 step_voicing     coefficient and cut-off     -> files.vun, files.vuf
//   4 step_transients  transient curve             -> files.ecl
//   5,6 step_zones     voiced/unvoiced zones       -> files.voi, files.uvi
//                      transient zones             -> files.tra
//   7 step_marks       marks and their kinds       -> files.mrk, files.vut
//   8 step_pso         1PSO file                   -> files.pso
//
// A step function takes the run's context (read-only) and the results of the earlier steps it
// needs, and returns its own result or the failure that stops the run; it never ends the run
// itself. What each one does:
//   a. If its flag in context.requested is down, run the reuse test on its files with
//      must_recompute() (reuse.h) and the keys of its row in ReuseKeys; the test may decide to
//      compute it anyway. `computed` in its result tells which way it went.
//   b. Computed: print the step's verbose "\nCalculating ..." lines (only when verbose),
//      compute, write the step's files with the writers of src/sdif (their failures are
//      returned as they are), print " Writing : " + file + "\n" per file in verbose mode.
//   c. Read back: print the same verbose method lines, then reading_line() per file, and read
//      the files with the readers of src/sdif, whose failures are returned as they are.
//   d. Refuse an empty result with the step's "size ... null" message.
// The driver (run_chain) walks the steps and ends the run normally right after a computed step
// when !any_request_after(context.requested, step) (after step 7 whenever step 8 is not
// requested; after step 1 also when the f0 came from -I).
#pragma once

#include <array>
#include <future>
#include <memory>
#include <string>
#include <utility>

#include "core/failure.h"
#include "driver/check_cmdline.h"
#include "driver/cmdline.h"
#include "driver/sound_samples.h"
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

// The eleven file names of stem (outdir + base name).
[[nodiscard]] FileSet file_set(const std::string& stem);

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
inline constexpr const char* kZoneVoiced = "Voiced";
inline constexpr const char* kZoneUnvoiced = "Unvoiced";
inline constexpr const char* kZoneTransient = "Transient";

// requested[step] for steps 2..8 (indices 0 and 1 unused), from the command line.
using Requests = std::array<bool, 9>;

// The flags of the checked command line.
[[nodiscard]] Requests requests_of(const gengetopt_args_info& args, const CheckedOptions& opts);

// True when a step after `step` is requested (flags 2..8).
[[nodiscard]] bool any_request_after(const Requests& requested, int step);

// Everything the steps read; fixed once the sound is loaded and the directory exists.
struct RunContext {
  gengetopt_args_info args;  // checked record, defaults filled in
  CheckedOptions opts;       // method, LPC order, step-3 requests, cut-off cap
  bool verbose = false;
  Requests requested{};

  std::string program_dir;  // directory part of argv[0] ("" or ending with "/")
  std::string sound_path;   // resolved sound file
  std::string f0_path;      // resolved -I file ("" without -I)
  FileSet files;

  std::shared_ptr<const SoundSamples> sound;  // the samples, through samples()
  long frames = 0;                            // samples in the sound
  double sr = 0.0;                            // sampling rate (Hz)
  double duration = 0.0;                      // (samples - 1) / sr (s)
  std::string fingerprint;  // sound_fingerprint() of the samples and sr, in every header

  // The samples of the sound (read on this first call when the run only scanned the sound).
  [[nodiscard]] Expected<const tessel::TesselVector<double>*> samples() const {
    return sound->get();
  }

  // What the headers of this run record, with the LPC order lpc_order (the record's own
  // before step 2, the order step 2 used after it).
  [[nodiscard]] HeaderFacts header(int lpc_order) const {
    return HeaderFacts(args, lpc_order, fingerprint);
  }
  [[nodiscard]] HeaderFacts header() const { return header(args.orderLPC_arg); }
};

// Step results (tracks: column 0 time in s, column 1 value).
struct F0Step {
  tessel::TesselMatrix<double> track;  // as read or computed, not yet cleaned (Hz)
  bool ends_run = false;               // computed or read from -I with no later step requested
};
struct F0Result {
  tessel::TesselMatrix<double> track;  // cleaned f0 (Hz)
  double median = 0.0;                 // median of the cleaned f0 (Hz)
};
// A curve of one value per sample. A computed curve holds its values. A reused one was read
// through when its step reused it (every frame checked, its length counted), and its values are
// read back only for a later step that computes from them (curve_values): a run that reuses
// everything never holds the two longest files of the analysis.
struct SampleCurve {
  tessel::TesselVector<double> values;  // computed: the values; reused: empty
  long size = 0;                        // number of values, either way
  std::string file;                     // reused: the file that holds them ("" when computed)
  const char* selection = "";           // reused: the selection that reads them back

  void hold(tessel::TesselVector<double> v) {
    values = std::move(v);
    size = values.size();
    file.clear();
  }
  // Drops the values of a curve written to file (read with sel): from then on it is read back
  // like a reused one, by a later step that computes from it.
  void release(const std::string& written, const char* sel) {
    values = tessel::TesselVector<double>();
    file = written;
    selection = sel;
  }
};
struct EpochResult {
  SampleCurve curve;
  int lpc_order = 0;  // LpcOrder the later headers record
  bool computed = false;
};
struct VoicingResult {
  tessel::TesselMatrix<double> coef;
  tessel::TesselMatrix<double> cutoff;  // Hz
  bool computed = false;
};
struct TransientResult {
  SampleCurve curve;
  bool computed = false;
};
struct ZoneResult {
  tessel::TesselMatrix<double> voiced;  // rows: start, end (s)
  tessel::TesselMatrix<double> unvoiced;
  tessel::TesselMatrix<double> transient;
  bool transient_computed = false;  // step 6 computed (the end test looks at it)
};
struct MarkResult {
  tessel::TesselMatrix<double> marks;  // rows: time (s), kind (1 voiced, 0 unvoiced, 2 trans.)
  bool computed = false;
};

// " Reading : " (" Force reading : " with -I and --force) + file + " to extract data...\n";
// the caller adds the line end. Printed only in verbose mode, by print_reading().
[[nodiscard]] std::string reading_line(const RunContext& c, const std::string& file);
void print_reading(const RunContext& c, const std::string& file);
// " Writing : " + file + "\n" and a line end, in verbose mode.
void print_writing(const RunContext& c, const std::string& file);

// The failure of a step's own message: text and a line end, status 1.
[[nodiscard]] Failure step_failure(const std::string& message);

// The step functions, in chain order.
[[nodiscard]] Expected<F0Step> step_f0(const RunContext& c);
// Refuses an empty track, cleans it (clean_f0) and takes its median.
[[nodiscard]] Expected<F0Result> prepare_f0(tessel::TesselMatrix<double> track);
[[nodiscard]] Expected<EpochResult> step_epochs(const RunContext& c, const F0Result& f0);
// The computations of steps 3 and 4 alone: nothing printed, nothing written.
struct VoicingTracks {
  tessel::TesselMatrix<double> coef;
  tessel::TesselMatrix<double> cutoff;  // Hz
};
[[nodiscard]] Expected<VoicingTracks> voicing_tracks(const RunContext& c, const F0Result& f0);
[[nodiscard]] Expected<tessel::TesselVector<double>> transient_curve(const RunContext& c,
                                                                     const F0Result& f0);
// Steps 3 and 4 take their computation from `ahead` when it is valid (started on a thread of
// its own while the earlier steps ran) and the step computes; else they compute it themselves.
// Their messages, files and failures come in the same order either way.
[[nodiscard]] Expected<VoicingResult> step_voicing(
    const RunContext& c, const F0Result& f0, const HeaderFacts& header,
    std::future<Expected<VoicingTracks>>* ahead = nullptr);
[[nodiscard]] Expected<TransientResult> step_transients(
    const RunContext& c, const F0Result& f0, const HeaderFacts& header,
    std::future<Expected<tessel::TesselVector<double>>>* ahead = nullptr);
// Steps 5 and 6; epochs gives the epoch curve's length.
[[nodiscard]] Expected<ZoneResult> step_zones(const RunContext& c, const VoicingResult& voicing,
                                              const TransientResult& transients,
                                              const EpochResult& epochs, const HeaderFacts& header);
[[nodiscard]] Expected<MarkResult> step_marks(const RunContext& c, const F0Result& f0,
                                              const EpochResult& epochs,
                                              const VoicingResult& voicing, const ZoneResult& zones,
                                              const HeaderFacts& header);
// Writes the 1PSO file from the marks and the tracks.
[[nodiscard]] Status step_pso(const RunContext& c, const F0Result& f0, const VoicingResult& voicing,
                              const MarkResult& marks, const HeaderFacts& header);
