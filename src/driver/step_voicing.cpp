// Step 3: voicing coefficient and cut-off frequency tracks.
#include <iostream>

#include "driver/reuse.h"
#include "driver/runstate.h"

void step_voicing(RunState& s) {
  if (!s.request[kStepVoicing]) {
    s.request[kStepVoicing] =
        must_recompute(s, {s.files.vun, s.files.vuf},
                       {{s.files.vun, kReuseVoicing}, {s.files.vuf, kReuseVoicing}});
  }
  const bool compute = s.request[kStepVoicing];
  if (s.verbose) {
    std::cout << "\nCalculating voiced/unvoiced." << std::endl;
    if (s.args.forcefc_given)
      std::cout << " -> force cut off frequency to (Sampling Rate / 2)" << std::endl;
  }

  if (compute) {
    // Cap: sr / 2 with --forcefc, else min(*s.opts.cutoff_cap_hz, sr / 2).
    // analysevoise(s.signal, s.sr, s.f0_track, s.voicing_coef, s.voicing_cutoff, cap);
    // datatosdif(times, values, "1VUV", "1VUN", s.files.vun, s.args), then "1VUV"/"1VUF" into
    // s.files.vuf (non-zero: error_end(s, "")); print_writing after each;
    // then: if (!any_request_after(s, kStepVoicing)) normal_end(s);
    not_available(s, "the voicing analysis");
  } else {
    print_reading(s, s.files.vun);
    print_reading(s, s.files.vuf);
    // sdiftomatrix(s.files.vun, s.voicing_coef, kSelVun), then s.files.vuf into
    // s.voicing_cutoff with kSelVuf; non-zero: error_end(s, cannot_open(file)).
    not_available(s, "reading the voicing files back");
  }
  if (s.voicing_coef.nrows() == 0)
    error_end(s,
              "\n *** Error *** \n -> size of voice coeficient data matrix null ! \n *** "
              "Exiting from the program ***\n");
  if (s.voicing_cutoff.nrows() == 0)
    error_end(s,
              "\n *** Error *** \n -> size of voice frequency data matrix null ! \n *** Exiting "
              "from the program ***\n");
}
