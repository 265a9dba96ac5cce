// The summary rows of a corpus run and their CSV form (RFC 4180: a field holding a comma, a
// double quote, a line end or leading or trailing blanks is quoted, its quotes doubled).
#pragma once

#include <optional>
#include <string>
#include <vector>

namespace corpus {

struct SummaryRow {
  std::string path;               // relative path of the sound in the corpus
  std::optional<int> status;      // glotmark's exit status, 124 timed out, 128 + n killed by signal
                                  // n, 126/127 not started; empty when the file was not analysed
  std::optional<double> seconds;  // wall-clock time of the analysis, s
  std::optional<double> duration_s;    // length of the sound, s
  std::optional<long> marks;           // number of pitch marks
  std::optional<double> voiced_share;  // voiced marks / marks, 0..1
  std::optional<double> median_f0_hz;  // median f0 of the voiced marks (or of the f0 track)
  std::string error;                   // first error line of a failure
};

// The row of a file that was not analysed: no status, why in the error field.
[[nodiscard]] SummaryRow not_analysed_row(const std::string& path, const std::string& why);

// "path,status,seconds,duration_s,marks,voiced_share,median_f0_hz,error"
[[nodiscard]] const std::string& summary_header();

// One field, quoted when it needs to be.
[[nodiscard]] std::string csv_field(const std::string& text);

// The row as one CSV record ended by "\n".
[[nodiscard]] std::string format_row(const SummaryRow& row);

// Reads the CSV record of text (as format_row writes it); nullopt when it is not one.
[[nodiscard]] std::optional<SummaryRow> parse_row(const std::string& text);

// True when the row is a success (status 0).
[[nodiscard]] inline bool row_ok(const SummaryRow& r) {
  return r.status && *r.status == 0;
}

// The whole table (header then rows) written to path atomically; false with err set on failure.
[[nodiscard]] bool write_summary(const std::string& path, const std::vector<SummaryRow>& rows,
                                 std::string& err);

}  // namespace corpus
