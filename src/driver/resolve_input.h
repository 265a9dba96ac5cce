// Where the input files are and where the results go.
#pragma once

#include <functional>
#include <optional>
#include <string>

// Parts of an input path as given on the command line.
struct InputName {
  std::string extension;  // after the last "." of the file name
  std::string file_name;  // after the last "/" (the whole input when there is none)
  std::string base_name;  // file name without "." + extension
  std::string dir_part;   // input without the file name: empty or ending with "/"
};

// Splits input into its parts. Returns nothing when the file name holds no "." (a path such as
// "../sound" has no extension: the dots of directory names do not count).
[[nodiscard]] std::optional<InputName> split_input(const std::string& input);

struct ResolvedInput {
  std::string path;    // the candidate that was accepted
  std::string outdir;  // output directory for that candidate, ending with "/"
};

// Tries, in order: input itself when it begins with "/"; input itself when it begins with "." or
// "/"; sfdir + "/" + input when it does not begin with "/" and sfdir is not empty; "./" + input
// when it does not begin with "/". Returns the first candidate accepted by accept, with the
// output directory "PSO" + base name beside it, or nothing when none is accepted.
[[nodiscard]] std::optional<ResolvedInput> resolve_input(
    const std::string& input, const InputName& name, const std::string& sfdir,
    const std::function<bool(const std::string&)>& accept);
