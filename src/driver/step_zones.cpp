// Steps 5 and 6: voiced/unvoiced zones and transient zones.
#include <iostream>
#include <string>

#include "driver/reuse.h"
#include "driver/runstate.h"
#include "driver/transientzones.h"
#include "driver/voicedzones.h"
#include "sdif/MRKsegtomatrix.h"
#include "sdif/sdif_signatures.h"
#include "sdif/segmentto1MRK.h"

namespace {

void write_zones(RunState& s, const tessel::TesselMatrix<double>& zones, const std::string& file,
                 const char* kind) {
  if (segmentto1MRK(zones, file, k1BEG, k1END, kind, s.header()) != 0) error_end(s, "");
  print_writing(s, file);
}

void read_zones(RunState& s, const std::string& file, tessel::TesselMatrix<double>& zones) {
  print_reading(s, file);
  if (Status read = MRKsegtomatrix(file, zones, "1MRK", "1BEG", "1END"); !read)
    error_end(s, read.error());
}

}  // namespace

void step_zones(RunState& s) {
  // Step 5: both files must be valid; the 1UVI header is read only when 1VOI matched.
  if (!s.request[kStepVoicedZones]) {
    s.request[kStepVoicedZones] =
        must_recompute(s.header(), {s.files.voi, s.files.uvi},
                       {{s.files.voi, kReuseVoiced}, {s.files.uvi, kReuseUnvoiced}});
  }
  if (s.request[kStepVoicedZones]) {
    if (s.verbose) {
      std::cout << "\nCalculating voiced/unvoiced zones with the threshold : "
                << s.args.voice_threshold_arg << std::endl;
    }
    voicedzones(s.voicing_coef, s.sr, s.args.voice_threshold_arg, s.signal.size(), s.epochs.size(),
                s.voiced_zones, s.unvoiced_zones);
    write_zones(s, s.voiced_zones, s.files.voi, kVoiced);
    write_zones(s, s.unvoiced_zones, s.files.uvi, kUnvoiced);
  } else {
    read_zones(s, s.files.voi, s.voiced_zones);
    read_zones(s, s.files.uvi, s.unvoiced_zones);
  }

  // Step 6.
  if (!s.request[kStepTransientZones]) {
    s.request[kStepTransientZones] =
        must_recompute(s.header(), {s.files.tra}, {{s.files.tra, kReuseTransientZones}});
  }
  if (s.request[kStepTransientZones]) {
    if (s.verbose) {
      std::cout << "\nCalculating transitoires zones with the threshold : "
                << s.args.trans_threshold_arg << std::endl;
    }
    s.transient_zones =
        transientzones(s.transients, s.sr, s.args.trans_threshold_arg, s.signal.size());
    write_zones(s, s.transient_zones, s.files.tra, kTransient);
    if (!s.request[kStepMarks] && !s.request[kStepPso]) normal_end(s);
  } else {
    read_zones(s, s.files.tra, s.transient_zones);
  }
}
