#include "driver/remove_stale_temporaries.h"

#include <signal.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <filesystem>

namespace {

bool all_digits(const std::string& s) {
  if (s.empty()) return false;
  for (const char c : s)
    if (c < '0' || c > '9') return false;
  return true;
}

// The pid of a "<file>.part-<pid>-<n>" name, or 0 when name is not one.
long part_file_pid(const std::string& name) {
  const auto at = name.rfind(".part-");
  if (at == std::string::npos || at == 0) return 0;
  const std::string rest = name.substr(at + 6);
  const auto dash = rest.find('-');
  if (dash == std::string::npos) return 0;
  const std::string pid = rest.substr(0, dash);
  if (!all_digits(pid) || !all_digits(rest.substr(dash + 1)) || pid.size() > 9) return 0;
  return std::strtol(pid.c_str(), nullptr, 10);
}

bool process_gone(long pid) {
  if (pid == static_cast<long>(::getpid())) return true;  // nothing of ours is being written yet
  return ::kill(static_cast<pid_t>(pid), 0) != 0 && errno == ESRCH;
}

bool is_run_temporary(const std::string& name) {
  const auto at = name.rfind(".tmp");
  if (at == std::string::npos || at == 0) return false;
  const std::string stem = name.substr(0, at);
  const std::string rest = name.substr(at + 4);
  const bool ours = stem == "history" || stem.ends_with(".sdif");
  return ours && (rest.empty() || (rest.size() == 7 && rest[0] == '-'));  // mkstemp: ".tmp-XXXXXX"
}

}  // namespace

int remove_stale_temporaries(const std::string& dir) {
  namespace fs = std::filesystem;
  std::error_code ec;
  int removed = 0;
  for (fs::directory_iterator it(dir, ec), end; !ec && it != end; it.increment(ec)) {
    const std::string name = it->path().filename().string();
    const long pid = part_file_pid(name);
    const bool stale = pid > 0 ? process_gone(pid) : is_run_temporary(name);
    if (!stale || !it->is_regular_file(ec)) continue;
    std::error_code rm;
    if (fs::remove(it->path(), rm)) ++removed;
  }
  return removed;
}
