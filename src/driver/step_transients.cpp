// Step 4: the transient curve.
#include <iostream>

#include "driver/reuse.h"
#include "driver/runstate.h"

void step_transients(RunState& s) {
  if (!s.request[kStepTransients]) {
    s.request[kStepTransients] =
        must_recompute(s, {s.files.ecl}, {{s.files.ecl, kReuseTransients}});
  }
  const bool compute = s.request[kStepTransients];
  if (s.verbose) std::cout << "\nCalculating transitoires." << std::endl;

  if (compute) {
    // analyserealloc in transient mode (mode argument 1) into s.transients;
    // datato1EPC(s.transients, "1ECL", s.files.ecl, s.args) (non-zero: error_end(s, ""));
    // print_writing(s, s.files.ecl);
    // then: if (!any_request_after(s, kStepTransients)) normal_end(s);
    not_available(s, "the transient analysis");
  } else {
    print_reading(s, s.files.ecl);
    // EPCtovector(s.files.ecl, s.transients, kSelEcl); non-zero: error_end(s, cannot_open(..)).
    not_available(s, "reading the transient file back");
  }
  if (s.transients.size() == 0)
    error_end(s,
              "\n *** Error *** \n -> size of transistoire data vector null ! \n *** Exiting "
              "from the program ***\n");
}
