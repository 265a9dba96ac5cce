// Entry of the analysis run: start-up, paths, sound, output directory, then the chain.
#include "driver/glotmark_main.h"

#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <exception>
#include <iostream>

#include "driver/check_cmdline.h"
#include "driver/cmdline.h"
#include "driver/helper_path.h"
#include "driver/resolve_input.h"
#include "driver/run_program.h"
#include "driver/runstate.h"
#include "lumbra/lumbra.h"
#include "sound/readsf.h"

namespace {

const char kNoExtension[] =
    "\n *** Error ***\n -> file without extension\n *** Exiting program *** \n";
const char kNoSamples[] =
    "\n *** Error *** \n *** Size of data null ! \n *** Exiting from the program ";
const char kCannotCreateDir[] =
    "\n *** Error ***\n -> can't create directory \n *** Exiting program ***\n";
const char kCreateDirScript[] = "glotmark_create_dir.sh";

bool opens_for_reading(const std::string& path) {
  std::FILE* f = std::fopen(path.c_str(), "r");
  if (f == nullptr) return false;
  std::fclose(f);
  return true;
}

// The run whose history record the exit handler writes when a library function ends the
// process directly (std::exit after its own framed message) instead of returning to the chain.
RunState* g_exiting_run = nullptr;

void history_at_exit() {
  RunState* s = g_exiting_run;
  g_exiting_run = nullptr;
  if (s != nullptr && s->outdir_known && !s->history_written) write_history_of(*s);
}

FileSet file_set(const std::string& stem) {
  return FileSet{stem + ".1FQ0.sdif", stem + ".1ECS.sdif", stem + ".1ECL.sdif", stem + ".1VOI.sdif",
                 stem + ".1UVI.sdif", stem + ".1TRA.sdif", stem + ".1VUF.sdif", stem + ".1VUN.sdif",
                 stem + ".1VUT.sdif", stem + ".1MRK.sdif", stem + ".1PSO.sdif"};
}

// Everything from the command line to the end of the chain; ends by throwing RunEnd once the
// output directory is known, or returns the status of an earlier refusal.
int run(RunState& s, int argc, char** argv) {
  const std::time_t start = std::time(nullptr);
  const char* start_text = std::ctime(&start);
  s.start_time = start_text != nullptr ? start_text : "\n";

  if (cmdline_parser(argc, argv, &s.args) != 0) return 1;
  if (check_cmdline(s.args, s.opts, std::cout) != 0) return 1;
  s.verbose = s.opts.verbose;
  s.lpc_order = s.args.orderLPC_arg;
  s.request[kStepEpochs] = s.args.epocs_given != 0;
  s.request[kStepVoicing] = s.opts.voicing_requested;
  s.request[kStepTransients] = s.opts.transients_requested;
  s.request[kStepVoicedZones] = s.args.threshold_given != 0;
  s.request[kStepTransientZones] = s.args.threshold_given != 0;
  s.request[kStepMarks] = s.args.mark_positionning_given != 0;
  s.request[kStepPso] = s.args.PSO_file_given != 0;

  const char* sfdir = std::getenv("SFDIR");
  s.sfdir = sfdir != nullptr ? sfdir : "";

  if (s.args.f0_file_given) {
    const std::string& f0 = s.args.f0_file_arg;
    const auto found = resolve_input(f0, split_input(f0).value_or(InputName{}), s.sfdir,
                                     [](const std::string& p) { return SdifCheckFileFormat(p); });
    if (!found) {
      std::cout << "\n *** Error *** \n -> file : " << f0
                << " doesn't exist or is not a sdif file. \n *** Exiting from the program\n "
                << std::endl;
      return 1;
    }
    s.f0_path = found->path;
  }

  const std::string& input = s.args.input_arg;
  const auto name = split_input(input);
  if (!name) {
    std::cout << kNoExtension << std::endl;
    return 1;
  }
  const auto found = resolve_input(input, *name, s.sfdir, opens_for_reading);
  if (!found) {
    std::cout << "\n *** Error *** \n -> file : " << input
              << " doesn't exist! \n *** Exiting from the program\n " << std::endl;
    return 1;
  }
  s.sound_path = found->path;
  s.outdir = found->outdir;
  s.base_name = name->base_name;
  s.files = file_set(s.outdir + s.base_name);
  const std::string program = argv[0];
  s.program_dir = program.substr(0, program.rfind('/') + 1);  // npos + 1 == 0: no directory
  s.command_line = program;
  for (int i = 1; i < argc; ++i) s.command_line += std::string(" ") + argv[i];
  s.outdir_known = true;

  if (s.verbose) {
    std::cout << "\n -> All files will be stored in the directory : " << s.outdir << "\n"
              << std::endl;
    std::cout << "\nOpenning " << s.sound_path << std::endl;
  }
  Expected<tessel::TesselVector<double>> sound = readsf(s.sound_path, s.sr);
  if (!sound) {
    // Nothing of this run is on disk yet: the reader's message alone, no history record.
    print_failure(sound.error());
    return sound.error().status;
  }
  s.signal = std::move(sound).value();
  if (s.signal.size() == 0) error_end(s, kNoSamples);
  s.duration = (s.signal.size() - 1) / s.sr;
  if (s.verbose) {
    std::cout << " Frequency rate : " << s.sr << std::endl;
    std::cout << " Length (seconds) : " << s.duration << std::endl;
  }

  const std::string script =
      helper_path(s.program_dir, kCreateDirScript).value_or(s.program_dir + kCreateDirScript);
  if (run_program({script, s.outdir}) != 0) error_end(s, kCannotCreateDir);

  step_f0(s);
  step_epochs(s);
  step_voicing(s);
  step_transients(s);
  step_zones(s);
  step_marks(s);
  step_pso(s);
  normal_end(s);
}

}  // namespace

int glotmark_main(int argc, char** argv) {
  LumbraInit("");
  RunState s;
  g_exiting_run = &s;
  std::atexit(history_at_exit);
  int status = 1;
  try {
    status = run(s, argc, argv);
  } catch (const RunEnd& end) {
    status = end.status;
  } catch (const std::exception& e) {
    // Any library error ends the run like the program's own errors.
    std::cout.flush();
    std::cerr << e.what() << std::endl;
    try {
      error_end(s, "");
    } catch (const RunEnd& end) {
      status = end.status;
    } catch (const std::exception&) {
      status = 1;
    }
  }
  g_exiting_run = nullptr;
  LumbraEnd();
  return status;
}
