// Step 1: the f0 track, from the f0 program, from the user's file or read back.
#include <iostream>
#include <string>

#include "driver/clean_f0.h"
#include "driver/f0_command.h"
#include "driver/helper_path.h"
#include "driver/reuse.h"
#include "driver/runstate.h"
#include "sdif/FQ0tomatrix.h"
#include "sdif/f0tosdif.h"
#include "sdif/sdif_messages.h"
#include "sdif/sdiftomatrix.h"

namespace {

const char kF0Program[] = "harmex";

// The f0 program beside this program (as invoked, then as installed) when there is one, else
// by PATH.
std::string f0_program(const RunContext& c) {
  return helper_path(c.program_dir, kF0Program).value_or(kF0Program);
}

void print_f0_method(const RunContext& c, const F0Command& command) {
  if (!c.verbose) return;
  std::cout << "\n\nCalculating f0 " << std::endl;
  if (c.args.f0_file_given) {
    std::cout << " -> using external file..." << std::endl;
  } else {
    std::cout << command.text << std::endl;
    std::cout << " -> f0min : " << c.args.fmin_arg << std::endl;
    std::cout << " -> f0max : " << c.args.fmax_arg << std::endl;
  }
}

// An imported track none of whose frames lies within the sound would pass for an empty
// analysis in a later step: refuse it here, naming the file.
Status f0_within_sound(const RunContext& c, const tessel::TesselMatrix<double>& track) {
  for (int r = 0; r < track.nrows(); ++r)
    if (track(r, 0) >= 0.0 && track(r, 0) <= c.duration) return Status{};
  return step_failure(std::string(sdif_messages::kF0DataNull) + " -> file : " + c.f0_path +
                      " has no f0 frame within the sound (0 to " + std::to_string(c.duration) +
                      " s)\n");
}

}  // namespace

Expected<F0Step> step_f0(const RunContext& c) {
  const bool external = c.args.f0_file_given != 0;
  const bool compute = !external && (c.args.f0_given || f0_must_recompute(c.files.f0, c.header()));
  // Two runs on one sound never share the f0 program's result file.
  const std::string result_file = compute ? f0_result_file(c.files.f0) : c.files.f0 + ".tmp";
  const F0Command command =
      f0_command(c.sound_path, c.args.fmin_arg, c.args.fmax_arg, c.sr, result_file, f0_program(c));
  print_f0_method(c, command);

  F0Step out;
  const bool last = !any_request_after(c.requested, kStepF0);
  if (external) {
    if (c.verbose) std::cout << " Reading : " << c.f0_path << " to extract data...\n" << std::endl;
    if (Status read = FQ0tomatrix(c.f0_path, out.track, kSelF0, c.duration); !read)
      return std::move(read).error();
    if (Status inside = f0_within_sound(c, out.track); !inside) return std::move(inside).error();
    out.ends_run = last;
  } else if (compute) {
    if (Status made = f0tosdif(command.argv, result_file, c.files.f0, c.header()); !made)
      return std::move(made).error();
    print_writing(c, c.files.f0);
    if (Status read = sdiftomatrix(c.files.f0, out.track, kSelF0); !read)
      return std::move(read).error();
    out.ends_run = last;
  } else {
    if (c.verbose) std::cout << " Reading : " << c.files.f0 << " to extract data...\n" << std::endl;
    if (Status read = sdiftomatrix(c.files.f0, out.track, kSelF0); !read)
      return std::move(read).error();
  }
  return out;
}

Expected<F0Result> prepare_f0(tessel::TesselMatrix<double> track) {
  if (track.nrows() == 0) return step_failure(sdif_messages::kF0DataNull);
  F0Result out;
  out.median = clean_f0(track);
  out.track = std::move(track);
  return out;
}
