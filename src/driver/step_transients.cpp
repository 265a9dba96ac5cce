// Step 4: the transient curve.
#include <iostream>

#include "driver/reuse.h"
#include "driver/runstate.h"
#include "epochs/analyserealloc.h"
#include "epochs/messages.h"
#include "sdif/EPCtovector.h"
#include "sdif/datato1EPC.h"
#include "sdif/sdif_signatures.h"

namespace {

const char kEmptyCurve[] =
    "\n *** Error *** \n -> size of transistoire data vector null ! \n *** Exiting from the "
    "program ***\n";
constexpr long kTransientMode = 1;  // long-window reallocation

}  // namespace

void step_transients(RunState& s) {
  if (!s.request[kStepTransients]) {
    s.request[kStepTransients] =
        must_recompute(s.header(), {s.files.ecl}, {{s.files.ecl, kReuseTransients}});
  }
  const bool compute = s.request[kStepTransients];
  if (s.verbose) std::cout << "\nCalculating transitoires." << std::endl;

  if (compute) {
    if (!(s.sr > 2.0 * kReallocHighPassHz)) error_end(s, epochs_msg::kReallocRateTooLow);
    tessel::TesselVector<double> concentration;
    double scale = 0.0, ref_concentration = 0.0;
    analyserealloc(s.signal, s.sr, s.f0_track, kTransientMode, s.transients, concentration, scale,
                   ref_concentration, false);
    // An empty curve is refused before it is written, so that no later run reuses it.
    if (s.transients.size() == 0) error_end(s, kEmptyCurve);
    if (datato1EPC(s.transients, k1ECL, s.files.ecl, s.header()) != 0) error_end(s, "");
    print_writing(s, s.files.ecl);
    if (!any_request_after(s, kStepTransients)) normal_end(s);
  } else {
    print_reading(s, s.files.ecl);
    if (Status read = EPCtovector(s.files.ecl, s.transients, kSelEcl); !read)
      error_end(s, read.error());
  }
  if (s.transients.size() == 0) error_end(s, kEmptyCurve);
}
