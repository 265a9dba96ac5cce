// The ends of a run and the progress lines shared by the steps.
#include "driver/runstate.h"

#include <ctime>
#include <iostream>

#include "driver/write_history.h"

namespace {

const char kHistoryLine[] = "\n Writing history file.\n ";

std::string now_text() {
  const std::time_t now = std::time(nullptr);
  const char* text = std::ctime(&now);
  return text != nullptr ? text : "\n";
}

}  // namespace

void write_history_of(RunState& s) {
  const std::string end = now_text();
  if (s.verbose) std::cout << kHistoryLine << std::endl;
  s.history_written = true;
  (void)write_history(s.outdir, s.command_line, s.start_time, end);
}

void error_end(RunState& s, const std::string& message) {
  if (!message.empty()) std::cout << message << std::endl;
  if (s.outdir_known) write_history_of(s);
  throw RunEnd{1};
}

void error_end(RunState& s, const Failure& failure) {
  print_failure(failure);
  if (s.outdir_known) write_history_of(s);
  throw RunEnd{failure.status};
}

void normal_end(RunState& s) {
  write_history_of(s);
  throw RunEnd{0};
}

bool any_request_after(const RunState& s, int step) {
  for (int k = step + 1; k <= kStepPso; ++k)
    if (s.request[k]) return true;
  return false;
}

std::string reading_line(const RunState& s, const std::string& file) {
  const bool forced = s.args.f0_file_given && s.args.force_given;
  return (forced ? " Force reading : " : " Reading : ") + file + " to extract data...\n";
}

void print_reading(const RunState& s, const std::string& file) {
  if (s.verbose) std::cout << reading_line(s, file) << std::endl;
}

void print_writing(const RunState& s, const std::string& file) {
  if (s.verbose) std::cout << " Writing : " << file << "\n" << std::endl;
}
