// The table view of an analysis file: a header row of column names, then one row per frame and
// matrix row of one matrix type, for spreadsheets, numpy and plotting programs.
#pragma once

#include <optional>
#include <ostream>
#include <string>
#include <vector>

struct CsvOptions {
  char separator = ',';              // ',' for CSV, '\t' for TSV
  std::string matrix;                // signature of the matrix to print; empty: the file's data
  std::vector<std::string> columns;  // columns to print, by name or 1-based number; empty: all
  std::optional<double> rate_hz;     // sampling rate of per-sample curves; else looked up
  bool comments = true;              // "# ..." lines before the header row
};

// Writes the file named by argument ("path" or "path::selection") to out:
//   - "# " comment lines: what the numbers mean (mark kinds, zone rows, sampling rate);
//   - a header row: time_s (frame time, seconds), then the matrix's column names;
//     per-sample curves (1EPC files) give sample (0-based) and time_s = sample / rate;
//     zone files give time_s,event,zone with event "begin" or "end";
//   - one row per matrix row. The 1PSO file's sampling-rate matrix goes to a comment.
// Notes for the user (another matrix type left out, a rate that was not found) go to note.
// Throws ConvertError on a file that cannot be opened or read, or an unknown matrix or column.
void dump_csv(const std::string& argument, const CsvOptions& options, std::ostream& out,
              std::ostream& note);
