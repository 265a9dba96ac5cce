// Step 7: pitch marks and their kinds.
#include <iostream>

#include "driver/reuse.h"
#include "driver/runstate.h"

void step_marks(RunState& s) {
  if (!s.request[kStepMarks]) {
    s.request[kStepMarks] =
        must_recompute(s, {s.files.mrk, s.files.vut}, {{s.files.mrk, kReuseMarks}});
  }
  if (s.request[kStepMarks]) {
    if (s.verbose) {
      std::cout << "\nMark positionning of the analyse." << std::endl;
      std::cout << " -> alpha : " << s.args.alpha_arg << std::endl;
      std::cout << " -> beta : " << s.args.beta_arg << std::endl;
      std::cout << " -> gamma : " << s.args.gamma_arg << std::endl;
    }
    // markpositioning(...) into s.marks (time, kind); empty: error_end with "\n *** Error *** \n
    // -> size of markimag data null ! \n *** Exiting from the program ***\n";
    // datatosdif(times, 4.0 each, "1MRK", "1PEM", s.files.mrk, s.args) and
    // datatosdif(times, kinds, "1VUV", "1VUT", s.files.vut, s.args); print_writing after each.
    not_available(s, "the mark positioning");
  } else {
    if (s.verbose) {
      const std::string line = reading_line(s, s.files.mrk);
      std::cout << line.substr(0, line.size() - 1) << std::endl;  // this one has no "\n"
      print_reading(s, s.files.vut);
    }
    // sdiftomatrix(s.files.vut, s.marks, kSelVut); non-zero: error_end(s, cannot_open(file)).
    not_available(s, "reading the mark files back");
  }
  if (!s.request[kStepPso]) normal_end(s);
}
