#include "psola/ensure_analysis.h"

#include <unistd.h>

#include <climits>
#include <iostream>

#include "driver/run_analysis.h"
#include "psola/analysis_paths.h"
#include "psola/psola_types.h"

namespace {

// glotmark finds its helper script beside its own path: give it this program's directory.
std::string program_dir() {
  char buf[PATH_MAX];
  const ssize_t n = readlink("/proc/self/exe", buf, sizeof buf - 1);
  if (n <= 0) return "";
  const std::string self(buf, static_cast<std::size_t>(n));
  return self.substr(0, self.rfind('/') + 1);
}

}  // namespace

std::string ensure_analysis(const std::string& sound,
                            const std::vector<std::string>& glotmark_args) {
  const std::string dir = analysis_dir(sound);
  if (dir.empty()) throw PsolaError("the sound file name " + sound + " has no extension");
  // A relative name is given with "./" so glotmark takes it as it is, not under SFDIR.
  const std::string input = sound[0] == '/' || sound[0] == '.' ? sound : "./" + sound;
  std::vector<std::string> args = {program_dir() + "glotmark", "-i", input, "-S"};
  args.insert(args.end(), glotmark_args.begin(), glotmark_args.end());
  std::vector<char*> argv;
  for (std::string& a : args) argv.push_back(a.data());
  argv.push_back(nullptr);
  std::cout.flush();
  const int status = run_command_line(static_cast<int>(args.size()), argv.data());
  std::cout.flush();
  if (status != 0) throw PsolaError("the analysis of " + sound + " failed (see above)");
  return pso_file(dir, sound);
}
