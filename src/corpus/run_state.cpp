// Files of a corpus run's state folder.
#include "corpus/run_state.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <sstream>

namespace corpus {
namespace {

constexpr const char* kRunMagic = "glotmark-corpus run 1";

std::vector<std::string> split_nul(const std::string& data) {
  std::vector<std::string> out;
  std::size_t start = 0;
  for (std::size_t i = 0; i < data.size(); ++i) {
    if (data[i] == '\0') {
      out.push_back(data.substr(start, i - start));
      start = i + 1;
    }
  }
  return out;
}

bool slurp(const std::string& path, std::string& data) {
  std::ifstream in(path, std::ios::binary);
  if (!in) return false;
  std::ostringstream ss;
  ss << in.rdbuf();
  data = ss.str();
  return !in.bad();
}

}  // namespace

std::string state_dir(const std::string& out) {
  return out + "/.glotmark-corpus";
}
std::string link_path(const std::string& out, const std::string& rel) {
  return out + "/" + rel;
}
std::string log_path(const std::string& out, const std::string& rel) {
  return out + "/" + rel + ".log";
}
std::string row_path(const std::string& out, const std::string& rel) {
  return out + "/" + rel + ".row";
}

bool write_file_atomically(const std::string& path, const std::string& content, std::string& err) {
  std::string tmp = path + ".tmp-XXXXXX";
  const int fd = mkstemp(tmp.data());
  if (fd < 0) {
    err = "cannot create " + tmp + ": " + std::strerror(errno);
    return false;
  }
  std::size_t done = 0;
  while (done < content.size()) {
    const ssize_t n = ::write(fd, content.data() + done, content.size() - done);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) break;
    done += static_cast<std::size_t>(n);
  }
  const bool written = done == content.size() && ::fchmod(fd, 0644) == 0;
  const bool closed = ::close(fd) == 0;
  if (!written || !closed || std::rename(tmp.c_str(), path.c_str()) != 0) {
    err = "cannot write " + path + ": " + std::strerror(errno);
    ::unlink(tmp.c_str());
    return false;
  }
  return true;
}

bool write_run_settings(const std::string& out, const RunSettings& s, std::string& err) {
  std::string data = std::string(kRunMagic) + '\0';
  data += std::string("glotmark") + '\0' + s.glotmark + '\0';
  char timeout[64];
  std::snprintf(timeout, sizeof timeout, "%.17g", s.timeout_s);
  data += std::string("timeout") + '\0' + timeout + '\0';
  for (const auto& o : s.options) data += std::string("option") + '\0' + o + '\0';
  return write_file_atomically(state_dir(out) + "/run", data, err);
}

bool read_run_settings(const std::string& out, RunSettings& s, std::string& err) {
  const std::string path = state_dir(out) + "/run";
  std::string data;
  if (!slurp(path, data)) {
    err = "cannot read " + path + " (is " + out + " the output folder of a corpus run?)";
    return false;
  }
  const auto items = split_nul(data);
  if (items.empty() || items[0] != kRunMagic || items.size() % 2 != 1) {
    err = path + " is not a settings file of glotmark-corpus";
    return false;
  }
  s = RunSettings{};
  s.options.clear();
  for (std::size_t i = 1; i + 1 < items.size(); i += 2) {
    if (items[i] == "glotmark") s.glotmark = items[i + 1];
    if (items[i] == "timeout") s.timeout_s = std::strtod(items[i + 1].c_str(), nullptr);
    if (items[i] == "option") s.options.push_back(items[i + 1]);
  }
  if (s.glotmark.empty()) {
    err = path + " names no glotmark program";
    return false;
  }
  return true;
}

bool write_name_list(const std::string& path, const std::vector<std::string>& names,
                     std::string& err) {
  std::string data;
  for (const auto& n : names) data += n + '\0';
  return write_file_atomically(path, data, err);
}

bool read_name_list(const std::string& path, std::vector<std::string>& names) {
  std::string data;
  if (!slurp(path, data)) return false;
  names = split_nul(data);
  return true;
}

}  // namespace corpus
