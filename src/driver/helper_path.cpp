// Locating the directory script and harmex: beside the invoked path first, then beside the
// resolved executable, so an installed, copied or symlinked glotmark finds its helpers.
#include "driver/helper_path.h"

#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <climits>
#include <cstdlib>
#include <vector>

namespace {

bool executable_file(const std::string& path) {
  struct stat st {};
  return stat(path.c_str(), &st) == 0 && S_ISREG(st.st_mode) && access(path.c_str(), X_OK) == 0;
}

// Directory ("/"-terminated) of this process's executable with every symlink resolved; the
// real path of invoked_dir when the system gives no /proc; "" when neither is known.
std::string resolved_dir(const std::string& invoked_dir) {
  char buf[PATH_MAX];
  const ssize_t n = readlink("/proc/self/exe", buf, sizeof buf - 1);
  std::string self;
  if (n > 0) {
    self.assign(buf, static_cast<std::size_t>(n));
  } else if (!invoked_dir.empty() && realpath(invoked_dir.c_str(), buf) != nullptr) {
    return std::string(buf) + "/";
  }
  const std::size_t slash = self.rfind('/');
  return slash == std::string::npos ? "" : self.substr(0, slash + 1);
}

// The directories of PATH, each ending with "/" (an empty entry is the current directory).
std::vector<std::string> path_dirs() {
  std::vector<std::string> dirs;
  const char* path = std::getenv("PATH");
  if (path == nullptr) return dirs;
  const std::string text = path;
  std::size_t begin = 0;
  while (begin <= text.size()) {
    const std::size_t end = std::min(text.find(':', begin), text.size());
    const std::string dir = text.substr(begin, end - begin);
    dirs.push_back(dir.empty() ? "./" : dir + "/");
    begin = end + 1;
  }
  return dirs;
}

}  // namespace

std::optional<std::string> helper_path(const std::string& invoked_dir, const std::string& name) {
  if (!invoked_dir.empty()) {
    for (const std::string& dir : {invoked_dir, invoked_dir + "../libexec/glotmark/"}) {
      if (executable_file(dir + name)) return dir + name;
    }
  }
  const std::string self = resolved_dir(invoked_dir);
  if (!self.empty()) {
    for (const std::string& dir : {self, self + "../libexec/glotmark/"}) {
      if (executable_file(dir + name)) return dir + name;
    }
  }
  // A copy of glotmark on its own: the helpers of an installation on PATH (a program on PATH
  // itself is left to the caller's own PATH lookup).
  for (const std::string& dir : path_dirs()) {
    const std::string candidate = dir + "../libexec/glotmark/" + name;
    if (executable_file(candidate)) return candidate;
  }
  return std::nullopt;
}
