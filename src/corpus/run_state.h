// What a corpus run keeps in OUT/.glotmark-corpus/: its settings (read by every per-file
// worker and Slurm task), the list of all its files and of the files to run now, and GNU
// parallel's job log; and the paths of each file's link, log and summary row.
#pragma once

#include <string>
#include <vector>

namespace corpus {

struct RunSettings {
  std::string glotmark;              // absolute path of the glotmark program
  double timeout_s = 0.0;            // per file, seconds; 0 = none
  std::vector<std::string> options;  // glotmark's options, -i excepted
};

// OUT/.glotmark-corpus
[[nodiscard]] std::string state_dir(const std::string& out);
// OUT/rel (the link), OUT/rel.log (glotmark's output), OUT/rel.row (the summary row).
[[nodiscard]] std::string link_path(const std::string& out, const std::string& rel);
[[nodiscard]] std::string log_path(const std::string& out, const std::string& rel);
[[nodiscard]] std::string row_path(const std::string& out, const std::string& rel);

// Writes content to path through a temporary file of the same folder renamed over it, so that
// a reader never sees half a file. False with err set on failure (the temporary is removed).
[[nodiscard]] bool write_file_atomically(const std::string& path, const std::string& content,
                                         std::string& err);

// The settings file OUT/.glotmark-corpus/run. Both return false with err set when the file
// cannot be written, read or parsed.
[[nodiscard]] bool write_run_settings(const std::string& out, const RunSettings& s,
                                      std::string& err);
[[nodiscard]] bool read_run_settings(const std::string& out, RunSettings& s, std::string& err);

// A list of relative paths stored one after the other, each ended by a zero byte (so that any
// file name, even one holding a line end, survives). read_name_list returns false when the
// file cannot be read.
[[nodiscard]] bool write_name_list(const std::string& path, const std::vector<std::string>& names,
                                   std::string& err);
[[nodiscard]] bool read_name_list(const std::string& path, std::vector<std::string>& names);

}  // namespace corpus
