// One analysis run: paths, sound and directory, then the chain.
#include "driver/run_analysis.h"

#include <sys/stat.h>

#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <exception>
#include <iostream>
#include <new>

#include "driver/helper_path.h"
#include "driver/remove_stale_temporaries.h"
#include "driver/resolve_input.h"
#include "driver/run_program.h"
#include "driver/write_history.h"
#include "lumbra/lumbra.h"
#include "sound/readsf.h"
#include "sound/scansf.h"
#include "sound/sound_fingerprint.h"
#include "tessel/tessel_parallel.h"

namespace {

const char kNoExtension[] =
    "\n *** Error ***\n -> file without extension\n *** Exiting program *** \n";
const char kNoSamples[] =
    "\n *** Error *** \n *** Size of data null ! \n *** Exiting from the program ";
const char kCannotCreateDir[] =
    "\n *** Error ***\n -> can't create directory \n *** Exiting program ***\n";
const char kCreateDirScript[] = "glotmark_create_dir.sh";
const char kHistoryLine[] = "\n Writing history file.\n ";

std::string now_text() {
  const std::time_t now = std::time(nullptr);
  const char* text = std::ctime(&now);
  return text != nullptr ? text : "\n";
}

// A regular file (or a link to one) that opens for reading. Anything else (a FIFO would block
// the open forever, a device or a folder is no sound) is refused before it is opened.
bool opens_for_reading(const std::string& path) {
  struct stat st {};
  if (::stat(path.c_str(), &st) != 0 || !S_ISREG(st.st_mode)) return false;
  std::FILE* f = std::fopen(path.c_str(), "r");
  if (f == nullptr) return false;
  std::fclose(f);
  return true;
}

// The -I file, found by the input tries among SDIF files.
Expected<std::string> resolve_f0_file(const AnalysisRequest& q) {
  const std::string& f0 = q.args.f0_file_arg;
  const auto found =
      resolve_input(f0, split_input(f0).value_or(InputName{}), q.sfdir, [](const std::string& p) {
        struct stat st {};
        return ::stat(p.c_str(), &st) == 0 && S_ISREG(st.st_mode) && SdifCheckFileFormat(p);
      });
  if (!found) {
    return step_failure("\n *** Error *** \n -> file : " + f0 +
                        " doesn't exist or is not a sdif file. \n *** Exiting from the program\n ");
  }
  return found->path;
}

// Where the sound is and where its files go; fills c.sound_path and c.files, returns outdir.
Expected<std::string> resolve_sound(const AnalysisRequest& q, RunContext& c) {
  const std::string& input = q.args.input_arg;
  const auto name = split_input(input);
  if (!name) return step_failure(kNoExtension);
  const auto found = resolve_input(input, *name, q.sfdir, opens_for_reading);
  if (!found) {
    return step_failure("\n *** Error *** \n -> file : " + input +
                        " doesn't exist! \n *** Exiting from the program\n ");
  }
  c.sound_path = found->path;
  c.files = file_set(found->outdir + name->base_name);
  return found->outdir;
}

// The context of q up to the sound file's paths.
RunContext context_of(const AnalysisRequest& q) {
  RunContext c;
  c.args = q.args;
  c.opts = q.opts;
  c.verbose = q.opts.verbose;
  c.requested = requests_of(q.args, q.opts);
  c.program_dir = q.program.substr(0, q.program.rfind('/') + 1);  // npos + 1 == 0: no directory
  return c;
}

// True unless the files of every step that computes from the samples (epochs, voicing,
// transients) are there to be reused and none of these steps is asked for: a run that will
// most likely reuse them all only scans the sound.
bool samples_needed(const RunContext& c) {
  for (const int step : {kStepEpochs, kStepVoicing, kStepTransients})
    if (c.requested[step]) return true;
  // An f0 track given with -I (without --force) recomputes every later step.
  if (c.args.f0_file_given != 0 && c.args.force_given == 0) return true;
  for (const std::string* file : {&c.files.ecs, &c.files.vun, &c.files.vuf, &c.files.ecl}) {
    struct stat st {};
    if (::stat(file->c_str(), &st) != 0) return true;
  }
  return false;
}

// Loads the sound into c (or scans it: samples_needed); a sound that cannot be read fails
// before anything is on disk.
Status load_sound(RunContext& c, AnalysisOutcome& outcome) {
  if (c.verbose) std::cout << "\nOpenning " << c.sound_path << std::endl;
  if (samples_needed(c)) {
    auto sound = readsf(c.sound_path, c.sr);
    if (!sound) return std::move(sound).error();
    c.frames = sound->size();
    c.fingerprint =
        sound_fingerprint({sound->data(), static_cast<std::size_t>(sound->size())}, c.sr);
    c.sound = std::make_shared<const SoundSamples>(std::move(sound).value());
  } else {
    auto scan = scansf(c.sound_path, c.sr);
    if (!scan) return std::move(scan).error();
    c.frames = scan->frames;
    c.fingerprint = scan->fingerprint;
    c.sound = std::make_shared<const SoundSamples>(c.sound_path, c.fingerprint, c.sr);
  }
  outcome.history_due = true;
  if (c.frames == 0) return step_failure(kNoSamples);
  c.duration = (c.frames - 1) / c.sr;
  if (c.verbose) {
    std::cout << " Frequency rate : " << c.sr << std::endl;
    std::cout << " Length (seconds) : " << c.duration << std::endl;
  }
  return Status{};
}

const char* step_name(int step) {
  static const char* const kNames[] = {"reading the sound", "the f0 step",        "the epoch step",
                                       "the voicing step",  "the transient step", "the zone step",
                                       "the zone step",     "the mark step",      "the 1PSO step"};
  return step >= 0 && step < 9 ? kNames[step] : "the analysis";
}

// The step after the last one done ran out of memory.
Failure out_of_memory(const AnalysisResults& r) {
  std::string text = "\n *** Error *** \n -> out of memory in ";
  text += step_name(r.sr > 0.0 ? r.last_step + 1 : 0);
  if (r.sr > 0.0) {
    char length[160];
    std::snprintf(length, sizeof length, " (a sound of %.1f s, %zu samples at %.0f Hz)", r.duration,
                  r.frames, r.sr);
    text += length;
  }
  return Failure(text + " \n *** Exiting from the program ***\n\n");
}

// Everything of run_analysis that may fail.
Status run_steps(const AnalysisRequest& q, AnalysisOutcome& outcome) {
  RunContext c = context_of(q);
  if (q.args.f0_file_given) {
    auto f0 = resolve_f0_file(q);
    if (!f0) return std::move(f0).error();
    c.f0_path = std::move(f0).value();
  }
  auto outdir = resolve_sound(q, c);
  if (!outdir) return std::move(outdir).error();
  outcome.outdir = std::move(outdir).value();
  outcome.results.files = c.files;
  if (c.verbose) {
    std::cout << "\n -> All files will be stored in the directory : " << outcome.outdir << "\n"
              << std::endl;
  }
  if (Status loaded = load_sound(c, outcome); !loaded) return loaded;
  outcome.results.sr = c.sr;
  outcome.results.frames = static_cast<std::size_t>(c.frames);
  outcome.results.duration = c.duration;
  const std::string script =
      helper_path(c.program_dir, kCreateDirScript).value_or(c.program_dir + kCreateDirScript);
  if (run_program({script, outcome.outdir}) != 0) return step_failure(kCannotCreateDir);
  outcome.lock = lock_folder(outcome.outdir);
  remove_stale_temporaries(outcome.outdir);
  return run_chain(c, outcome.results);
}

}  // namespace

Expected<AnalysisRequest> analysis_request(int argc, char** argv, std::ostream& out) {
  AnalysisRequest q;
  q.start_time = now_text();
  if (cmdline_parser(argc, argv, &q.args) != 0) return Failure("");
  if (check_cmdline(q.args, q.opts, out) != 0) return Failure("");
  if (const char* threads = std::getenv("GLOTMARK_THREADS");
      !tessel::parallel::threads_text_valid(threads)) {
    std::cerr << "glotmark: warning: GLOTMARK_THREADS=" << threads
              << " is not a positive integer: every core is used" << std::endl;
  }
  const char* sfdir = std::getenv("SFDIR");
  q.sfdir = sfdir != nullptr ? sfdir : "";
  q.program = argc > 0 ? argv[0] : "glotmark";
  q.command_line = q.program;
  for (int i = 1; i < argc; ++i) q.command_line += std::string(" ") + argv[i];
  return q;
}

AnalysisOutcome run_analysis(const AnalysisRequest& request) {
  AnalysisOutcome outcome;
  try {
    if (Status done = run_steps(request, outcome); !done) outcome.failure = std::move(done).error();
  } catch (const std::bad_alloc&) {
    outcome.failure = out_of_memory(outcome.results);
  } catch (const std::exception& e) {
    // Any library error ends the run like the program's own errors.
    outcome.failure = Failure("", std::string(e.what()) + "\n");
  }
  return outcome;
}

int finish_analysis(const AnalysisRequest& request, const AnalysisOutcome& outcome) {
  if (outcome.failure) print_failure(*outcome.failure);
  if (outcome.history_due) {
    const std::string end = now_text();
    if (request.opts.verbose) std::cout << kHistoryLine << std::endl;
    (void)write_history(outcome.outdir, request.command_line, request.start_time, end);
  }
  return outcome.failure ? outcome.failure->status : 0;
}

int run_command_line(int argc, char** argv) {
  const Expected<AnalysisRequest> request = analysis_request(argc, argv, std::cout);
  if (!request) return request.error().status;
  return finish_analysis(*request, run_analysis(*request));
}
