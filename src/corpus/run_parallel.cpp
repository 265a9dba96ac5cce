// GNU parallel as the runner of a corpus, watched through its job log.
#include "corpus/run_parallel.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <sstream>

#include "corpus/analyse_one.h"

extern char** environ;

namespace corpus {
namespace {

using Clock = std::chrono::steady_clock;

constexpr int kWatchMs = 250;             // how often the job log is read
constexpr double kPlainProgressS = 10.0;  // between progress lines when stderr is no terminal

volatile sig_atomic_t g_interrupt = 0;
extern "C" void on_interrupt(int sig) {
  g_interrupt = sig;
}

std::string clock_text(double s) {
  const long t = std::lround(s);
  char buf[32];
  std::snprintf(buf, sizeof buf, "%ld:%02ld:%02ld", t / 3600, t / 60 % 60, t % 60);
  return buf;
}

// Counts the complete status lines of text (one per finished file, "0" for a success) and
// keeps an incomplete last line for the next call.
void count_status_lines(std::string& text, RunCounts& c) {
  std::size_t start = 0;
  for (std::size_t nl; (nl = text.find('\n', start)) != std::string::npos; start = nl + 1) {
    const std::string line = text.substr(start, nl - start);
    if (line.empty() || line.find_first_not_of("0123456789") != std::string::npos) continue;
    ++c.done;
    if (line != "0") ++c.failed;
  }
  text.erase(0, start);
}

std::vector<std::string> parallel_argv(const ParallelRun& r) {
  std::vector<std::string> a = {r.parallel, "--will-cite", "--halt", "never", "--null",
                                "--arg-file", r.jobs_file, "--joblog", "+" + r.joblog,
                                // each worker prints a line per file: pass them on at once
                                "--line-buffer", "--max-args",
                                std::to_string(std::max(1, r.files_per_job))};
  if (r.jobs > 0) a.insert(a.end(), {"--jobs", std::to_string(r.jobs)});
  for (const auto& s : r.sshlogins) a.insert(a.end(), {"--sshlogin", s});
  if (!r.sshlogins.empty()) {
    a.insert(a.end(), {"--env", "GLOTMARK_CORPUS_SELF", "--env", "GLOTMARK_CORPUS_OUT", "--env",
                       "GLOTMARK_THREADS"});
  }
  // The command is shell text with only {} to replace; the paths travel in the environment, so
  // that no brace or quote of theirs is taken for one of GNU parallel's replacement strings.
  a.push_back(R"(exec "$GLOTMARK_CORPUS_SELF" --one "$GLOTMARK_CORPUS_OUT" {})");
  return a;
}

pid_t start_parallel(const ParallelRun& r, int out_fd, std::string& err) {
  const auto argv = parallel_argv(r);
  std::vector<std::string> env = {"GLOTMARK_CORPUS_SELF=" + r.self, "GLOTMARK_CORPUS_OUT=" + r.out,
                                  "PARALLEL_SHELL=/bin/sh"};
  for (char** e = environ; *e != nullptr; ++e) {
    const std::string kv = *e;
    if (kv.rfind("GLOTMARK_CORPUS_", 0) != 0 && kv.rfind("PARALLEL_SHELL=", 0) != 0)
      env.push_back(kv);
  }
  std::vector<char*> cargv, cenv;
  for (const auto& x : argv) cargv.push_back(const_cast<char*>(x.c_str()));
  for (const auto& x : env) cenv.push_back(const_cast<char*>(x.c_str()));
  cargv.push_back(nullptr), cenv.push_back(nullptr);
  const pid_t pid = ::fork();
  if (pid < 0) err = std::string("cannot start GNU parallel: ") + std::strerror(errno);
  if (pid != 0) return pid;
  ::setpgid(0, 0);
  const int in = ::open("/dev/null", O_RDONLY);
  ::dup2(in, 0);
  ::dup2(out_fd, 1);
  ::execve(cargv[0], cargv.data(), cenv.data());
  std::fprintf(stderr, "glotmark-corpus: cannot run %s: %s\n", cargv[0], std::strerror(errno));
  ::_exit(127);
}

struct Interrupts {
  struct sigaction old[3];
  Interrupts() {
    struct sigaction sa {};
    sa.sa_handler = on_interrupt;
    sigemptyset(&sa.sa_mask);
    int k = 0;
    for (const int s : {SIGINT, SIGTERM, SIGHUP}) ::sigaction(s, &sa, &old[k++]);
  }
  ~Interrupts() {
    int k = 0;
    for (const int s : {SIGINT, SIGTERM, SIGHUP}) ::sigaction(s, &old[k++], nullptr);
  }
};

class ProgressLine {
 public:
  explicit ProgressLine(const ParallelRun& r) : r_(r), t0_(Clock::now()) {}
  void update(const RunCounts& c, bool last) {
    if (!r_.progress) return;
    const double elapsed = std::chrono::duration<double>(Clock::now() - t0_).count();
    const std::string text =
        "glotmark-corpus: " + progress_text(c.done, c.failed, r_.count, elapsed);
    if (r_.terminal) {
      std::fprintf(stderr, "\r%s\033[K%s", text.c_str(), last ? "\n" : "");
    } else if (last || elapsed - printed_at_ >= kPlainProgressS) {
      std::fprintf(stderr, "%s\n", text.c_str());
      printed_at_ = elapsed;
    }
    std::fflush(stderr);
  }

 private:
  const ParallelRun& r_;
  Clock::time_point t0_;
  double printed_at_ = 0.0;
};

}  // namespace

std::string progress_text(std::size_t done, std::size_t failed, std::size_t total,
                          double elapsed_s) {
  std::string s = std::to_string(done) + "/" + std::to_string(total) + " files, " +
                  std::to_string(failed) + " failed, " + clock_text(elapsed_s) + " elapsed";
  if (done > 0 && done < total) {
    const double left = elapsed_s / static_cast<double>(done) * static_cast<double>(total - done);
    s += ", about " + clock_text(left) + " left";
  }
  return s;
}

std::string find_on_path(const std::string& name) {
  const char* path = std::getenv("PATH");
  std::istringstream dirs(path != nullptr ? path : "/usr/bin:/bin");
  for (std::string d; std::getline(dirs, d, ':');) {
    const std::string candidate = (d.empty() ? "." : d) + "/" + name;
    if (::access(candidate.c_str(), X_OK) == 0) return candidate;
  }
  return "";
}

RunCounts run_parallel(const ParallelRun& r) {
  RunCounts c;
  const Interrupts interrupts;
  g_interrupt = 0;
  int fds[2];
  if (::pipe2(fds, O_CLOEXEC) != 0) {
    c.error = std::string("cannot make a pipe: ") + std::strerror(errno);
    return c;
  }
  const pid_t pid = start_parallel(r, fds[1], c.error);
  ::close(fds[1]);
  if (pid < 0) {
    ::close(fds[0]);
    return c;
  }
  ProgressLine line(r);
  bool forwarded = false, reaped = false, open = true;
  int wstatus = 0;
  std::string pending;
  while (open || !reaped) {
    if (g_interrupt != 0 && !forwarded && !reaped) {
      ::kill(pid, SIGINT);  // GNU parallel then sends SIGTERM to the running workers
      forwarded = true;
      c.interrupted = true;
    }
    if (!reaped && ::waitpid(pid, &wstatus, WNOHANG) == pid) reaped = true;
    pollfd p{fds[0], POLLIN, 0};
    if (open && ::poll(&p, 1, kWatchMs) > 0) {
      char buf[4096];
      const ssize_t n = ::read(fds[0], buf, sizeof buf);
      if (n > 0) pending.append(buf, static_cast<std::size_t>(n));
      if (n == 0 || (n < 0 && errno != EINTR)) open = false;
      count_status_lines(pending, c);
    } else if (!open) {
      ::usleep(kWatchMs * 1000);
    }
    line.update(c, false);
  }
  ::close(fds[0]);
  c.interrupted = c.interrupted || g_interrupt != 0;
  line.update(c, true);
  if (WIFEXITED(wstatus) && WEXITSTATUS(wstatus) == 127 && c.done == 0) {
    c.error = "cannot run GNU parallel (" + r.parallel + ")";
  }
  return c;
}

RunCounts run_in_turn(const std::string& out, const std::vector<std::string>& rels) {
  RunCounts c;
  for (const auto& rel : rels) {
    const int status = analyse_one(out, rel);
    if (stop_requested()) {
      c.interrupted = true;
      break;
    }
    ++c.done;
    if (status != 0) ++c.failed;
  }
  return c;
}

}  // namespace corpus
