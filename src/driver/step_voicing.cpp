// Step 3: voicing coefficient and cut-off frequency tracks.
#include <algorithm>
#include <iostream>
#include <string>

#include "driver/reuse.h"
#include "driver/runstate.h"
#include "sdif/datatosdif.h"
#include "sdif/sdif_signatures.h"
#include "sdif/sdiftomatrix.h"
#include "voicing/analysevoise.h"

namespace {

const char kEmptyCoef[] =
    "\n *** Error *** \n -> size of voice coeficient data matrix null ! \n *** Exiting from the "
    "program ***\n";
const char kEmptyCutoff[] =
    "\n *** Error *** \n -> size of voice frequency data matrix null ! \n *** Exiting from the "
    "program ***\n";

// An empty track is refused before anything is written, so that no later run can reuse it.
void refuse_empty(RunState& s) {
  if (s.voicing_coef.nrows() == 0) error_end(s, kEmptyCoef);
  if (s.voicing_cutoff.nrows() == 0) error_end(s, kEmptyCutoff);
}

// Writes a (time, value) track as 1VUV frames holding one matrix_sig matrix each.
void write_track(RunState& s, const tessel::TesselMatrix<double>& track, SdifSignature matrix_sig,
                 const std::string& file) {
  const tessel::TesselVector<double> times = track(0);
  const tessel::TesselVector<double> values = track(1);
  if (datatosdif(times, values, k1VUV, matrix_sig, file, s.header()) != 0) error_end(s, "");
  print_writing(s, file);
}

void read_track(RunState& s, const std::string& file, tessel::TesselMatrix<double>& track,
                const char* selection) {
  print_reading(s, file);
  if (Status read = sdiftomatrix(file, track, selection); !read) error_end(s, read.error());
}

}  // namespace

void step_voicing(RunState& s) {
  if (!s.request[kStepVoicing]) {
    s.request[kStepVoicing] =
        must_recompute(s.header(), {s.files.vun, s.files.vuf},
                       {{s.files.vun, kReuseVoicing}, {s.files.vuf, kReuseVoicing}});
  }
  if (s.verbose) {
    std::cout << "\nCalculating voiced/unvoiced." << std::endl;
    if (s.args.forcefc_given)
      std::cout << " -> force cut off frequency to (Sampling Rate / 2)" << std::endl;
  }

  if (!s.request[kStepVoicing]) {
    read_track(s, s.files.vun, s.voicing_coef, kSelVun);
    read_track(s, s.files.vuf, s.voicing_cutoff, kSelVuf);
    refuse_empty(s);
    return;
  }

  // Half the sampling rate with --forcefc (no cap), else the cap within half the rate.
  const double half_sr = s.sr * 0.5;
  double fcmax = s.opts.cutoff_cap_hz ? std::min(*s.opts.cutoff_cap_hz, half_sr) : half_sr;
  analysevoise(s.signal, s.sr, s.f0_track, s.voicing_coef, s.voicing_cutoff, fcmax);
  refuse_empty(s);
  write_track(s, s.voicing_coef, k1VUN, s.files.vun);
  write_track(s, s.voicing_cutoff, k1VUF, s.files.vuf);
  if (!any_request_after(s, kStepVoicing)) normal_end(s);
}
