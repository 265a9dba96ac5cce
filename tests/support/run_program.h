// Helpers for tests that run the built programs: run an argument vector without a shell,
// capture its standard output, standard error and exit status; make scratch directories.
#pragma once

#include <fcntl.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <stdexcept>
#include <string>
#include <utility>
#include <vector>

extern char** environ;

namespace testsupport {

// Path of a program built into the build's bin directory.
inline std::string bin(const std::string& name) {
  return std::string(GLOTMARK_BIN_DIR) + "/" + name;
}

// Path of a file of the source tree.
inline std::string source(const std::string& rel) {
  return std::string(GLOTMARK_SOURCE_DIR) + "/" + rel;
}

struct Result {
  int status = -1;  // exit status, or 128 + signal number when killed by a signal
  std::string out;  // standard output
  std::string err;  // standard error
};

inline std::string slurp(const std::filesystem::path& p) {
  std::ifstream in(p, std::ios::binary);
  std::ostringstream ss;
  ss << in.rdbuf();
  return ss.str();
}

// A directory under the system's temporary directory, removed with its contents on destruction.
class ScratchDir {
 public:
  ScratchDir() {
    std::string tmpl = (std::filesystem::temp_directory_path() / "glotmark-test-XXXXXX").string();
    if (mkdtemp(tmpl.data()) == nullptr) throw std::runtime_error("mkdtemp failed");
    path_ = tmpl;
  }
  ~ScratchDir() {
    std::error_code ec;
    std::filesystem::remove_all(path_, ec);
  }
  ScratchDir(const ScratchDir&) = delete;
  ScratchDir& operator=(const ScratchDir&) = delete;
  const std::filesystem::path& path() const { return path_; }
  std::string operator/(const std::string& rel) const { return (path_ / rel).string(); }

 private:
  std::filesystem::path path_;
};

// Creates dir/bin holding copies of glotmark, its directory script and the stand-in f0 program
// under the real one's name, so that glotmark run from there finds them beside itself.
inline void install_glotmark(const std::filesystem::path& dir) {
  std::filesystem::create_directories(dir / "bin");
  for (const auto& [from, to] : {std::pair<std::string, std::string>{"glotmark", "glotmark"},
                                 {"glotmark_create_dir.sh", "glotmark_create_dir.sh"},
                                 {"fake-harmex", "harmex"}}) {
    std::filesystem::copy_file(bin(from), dir / "bin" / to);
  }
}

// Runs argv (argv[0] is the program path) in directory cwd (empty: the current one), with the
// environment variables of env set ("NAME=value"; "NAME=" with nothing after '=' unsets NAME).
inline Result run(const std::vector<std::string>& argv, const std::string& cwd = "",
                  const std::vector<std::string>& env = {}) {
  ScratchDir tmp;
  const std::string out_path = tmp / "out", err_path = tmp / "err";

  std::vector<std::string> envs;
  for (char** e = environ; *e != nullptr; ++e) envs.emplace_back(*e);
  for (const auto& kv : env) {
    const std::string name = kv.substr(0, kv.find('=') + 1);
    std::erase_if(envs, [&](const std::string& s) { return s.rfind(name, 0) == 0; });
    if (kv.size() > name.size()) envs.push_back(kv);
  }
  std::vector<char*> cargv, cenv;
  for (const auto& a : argv) cargv.push_back(const_cast<char*>(a.c_str()));
  cargv.push_back(nullptr);
  for (const auto& e : envs) cenv.push_back(const_cast<char*>(e.c_str()));
  cenv.push_back(nullptr);

  const pid_t pid = fork();
  if (pid < 0) throw std::runtime_error("fork failed");
  if (pid == 0) {
    const int in = open("/dev/null", O_RDONLY);
    const int out = open(out_path.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    const int err = open(err_path.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    if (in < 0 || out < 0 || err < 0) _exit(126);
    dup2(in, 0);
    dup2(out, 1);
    dup2(err, 2);
    if (!cwd.empty() && chdir(cwd.c_str()) != 0) _exit(126);
    execve(cargv[0], cargv.data(), cenv.data());
    _exit(127);
  }
  int wstatus = 0;
  while (waitpid(pid, &wstatus, 0) < 0) {
  }
  Result r;
  r.status = WIFEXITED(wstatus) ? WEXITSTATUS(wstatus) : 128 + WTERMSIG(wstatus);
  r.out = slurp(out_path);
  r.err = slurp(err_path);
  return r;
}

}  // namespace testsupport
