// Steps 5 and 6: voiced/unvoiced zones and transient zones.
#include <iostream>

#include "driver/reuse.h"
#include "driver/runstate.h"

void step_zones(RunState& s) {
  // Step 5: both files must be valid; the 1UVI header is read only when 1VOI matched.
  if (!s.request[kStepVoicedZones]) {
    s.request[kStepVoicedZones] =
        must_recompute(s, {s.files.voi, s.files.uvi},
                       {{s.files.voi, kReuseVoiced}, {s.files.uvi, kReuseUnvoiced}});
  }
  if (s.request[kStepVoicedZones]) {
    // Zones from s.voicing_coef by threshold (fthreshold, tooclose) into s.voiced_zones and
    // s.unvoiced_zones; segmentto1MRK(..., s.files.voi, "1BEG", "1END", kVoiced, s.args) then
    // the same into s.files.uvi with kUnvoiced (non-zero: error_end(s, "")); print_writing.
    not_available(s, "the voiced/unvoiced zone segmentation");
  } else {
    print_reading(s, s.files.voi);
    print_reading(s, s.files.uvi);
    // MRKsegtomatrix(s.files.voi, s.voiced_zones, "1MRK", "1BEG", "1END"), then s.files.uvi
    // into s.unvoiced_zones; non-zero: error_end(s, cannot_open(file)).
    not_available(s, "reading the voiced/unvoiced zone files back");
  }

  // Step 6.
  if (!s.request[kStepTransientZones]) {
    s.request[kStepTransientZones] =
        must_recompute(s, {s.files.tra}, {{s.files.tra, kReuseTransientZones}});
  }
  if (s.request[kStepTransientZones]) {
    // Zones from s.transients by threshold into s.transient_zones; segmentto1MRK(...,
    // s.files.tra, "1BEG", "1END", kTransient, s.args); print_writing(s, s.files.tra);
    // then: if (!s.request[kStepMarks] && !s.request[kStepPso]) normal_end(s);
    not_available(s, "the transient zone segmentation");
  } else {
    print_reading(s, s.files.tra);
    // MRKsegtomatrix(s.files.tra, s.transient_zones, "1MRK", "1BEG", "1END").
    not_available(s, "reading the transient zone file back");
  }
}
