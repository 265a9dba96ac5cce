// The run's file set, request flags and the progress lines shared by the steps.
#include "driver/runstate.h"

#include <iostream>

FileSet file_set(const std::string& stem) {
  return FileSet{stem + ".1FQ0.sdif", stem + ".1ECS.sdif", stem + ".1ECL.sdif", stem + ".1VOI.sdif",
                 stem + ".1UVI.sdif", stem + ".1TRA.sdif", stem + ".1VUF.sdif", stem + ".1VUN.sdif",
                 stem + ".1VUT.sdif", stem + ".1MRK.sdif", stem + ".1PSO.sdif"};
}

Requests requests_of(const gengetopt_args_info& args, const CheckedOptions& opts) {
  Requests r{};
  r[kStepEpochs] = args.epocs_given != 0;
  r[kStepVoicing] = opts.voicing_requested;
  r[kStepTransients] = opts.transients_requested;
  r[kStepVoicedZones] = args.threshold_given != 0;
  r[kStepTransientZones] = args.threshold_given != 0;
  r[kStepMarks] = args.mark_positionning_given != 0;
  r[kStepPso] = args.PSO_file_given != 0;
  return r;
}

bool any_request_after(const Requests& requested, int step) {
  for (int k = step + 1; k <= kStepPso; ++k)
    if (requested[k]) return true;
  return false;
}

std::string reading_line(const RunContext& c, const std::string& file) {
  const bool forced = c.args.f0_file_given && c.args.force_given;
  return (forced ? " Force reading : " : " Reading : ") + file + " to extract data...\n";
}

void print_reading(const RunContext& c, const std::string& file) {
  if (c.verbose) std::cout << reading_line(c, file) << std::endl;
}

void print_writing(const RunContext& c, const std::string& file) {
  if (c.verbose) std::cout << " Writing : " << file << "\n" << std::endl;
}

Failure step_failure(const std::string& message) {
  return Failure(message + "\n");
}
