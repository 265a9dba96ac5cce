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
#include "sdif/sdiftomatrix.h"

namespace {

const char kF0Program[] = "harmex";
const char kEmptyF0[] =
    "\n *** Error *** \n -> size of f0 data null ! \n *** Exiting from the program ***\n";

// The f0 program beside this program (as invoked, then as installed) when there is one, else
// by PATH.
std::string f0_program(const RunState& s) {
  return helper_path(s.program_dir, kF0Program).value_or(kF0Program);
}

}  // namespace

void step_f0(RunState& s) {
  const F0Command command =
      f0_command(s.sound_path, s.args.fmin_arg, s.args.fmax_arg, s.sr, s.files.f0, f0_program(s));
  const bool external = s.args.f0_file_given != 0;
  if (s.verbose) {
    std::cout << "\n\nCalculating f0 " << std::endl;
    if (external) {
      std::cout << " -> using external file..." << std::endl;
    } else {
      std::cout << command.text << std::endl;
      std::cout << " -> f0min : " << s.args.fmin_arg << std::endl;
      std::cout << " -> f0max : " << s.args.fmax_arg << std::endl;
    }
  }

  if (external) {
    if (s.verbose) std::cout << " Reading : " << s.f0_path << " to extract data...\n" << std::endl;
    if (Status read = FQ0tomatrix(s.f0_path, s.f0_track, kSelF0, s.duration); !read)
      error_end(s, read.error());
    if (!any_request_after(s, kStepF0)) normal_end(s);
  } else if (s.args.f0_given || f0_must_recompute(s.files.f0, s.header())) {
    if (Status made = f0tosdif(command.argv, s.files.f0, s.header()); !made)
      error_end(s, made.error());
    print_writing(s, s.files.f0);
    if (Status read = sdiftomatrix(s.files.f0, s.f0_track, kSelF0); !read)
      error_end(s, read.error());
    if (!any_request_after(s, kStepF0)) normal_end(s);
  } else {
    if (s.verbose) std::cout << " Reading : " << s.files.f0 << " to extract data...\n" << std::endl;
    if (Status read = sdiftomatrix(s.files.f0, s.f0_track, kSelF0); !read)
      error_end(s, read.error());
  }

  if (s.f0_track.nrows() == 0) error_end(s, kEmptyF0);
  s.f0_median = clean_f0(s.f0_track);
}
