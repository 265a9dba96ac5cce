// The per-file worker: one glotmark run, watched, timed and summarised.
#include "corpus/analyse_one.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <vector>

#include "corpus/read_results.h"
#include "corpus/run_state.h"
#include "corpus/summary_csv.h"

namespace corpus {
namespace {

namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;

constexpr std::size_t kKeptOutput = 64 * 1024;  // bytes of each stream kept for the error line
constexpr double kGraceS = 2.0;  // between SIGTERM and SIGKILL when glotmark must stop, s
constexpr int kPollMs = 100;     // how often the loop looks at the clock and the stop flag

volatile sig_atomic_t g_stop_signal = 0;
extern "C" void on_stop_signal(int sig) {
  g_stop_signal = sig;
}

struct Outcome {
  int wstatus = 0;
  bool timed_out = false;
  int stopped_by = 0;  // signal that stopped the worker, 0 when none
  double seconds = 0.0;
  std::string out_text, err_text;
};

std::string trim(const std::string& s) {
  const auto b = s.find_first_not_of(" \t\r*");
  if (b == std::string::npos) return "";
  const auto e = s.find_last_not_of(" \t\r*");
  return s.substr(b, e - b + 1);
}

void write_all(int fd, const char* data, std::size_t n) {
  while (n > 0) {
    const ssize_t w = ::write(fd, data, n);
    if (w < 0 && errno == EINTR) continue;
    if (w <= 0) return;
    data += w, n -= static_cast<std::size_t>(w);
  }
}

// Stops the process group pgid: SIGTERM, then SIGKILL once the grace time has passed.
void stop_group(pid_t pid, int& wstatus) {
  ::kill(-pid, SIGTERM);
  const auto until = Clock::now() + std::chrono::duration<double>(kGraceS);
  while (Clock::now() < until) {
    if (::waitpid(pid, &wstatus, WNOHANG) == pid) return;
    ::usleep(20000);
  }
  ::kill(-pid, SIGKILL);
  while (::waitpid(pid, &wstatus, 0) < 0 && errno == EINTR) {
  }
}

pid_t start(const std::vector<std::string>& argv, int out_fd, int err_fd) {
  std::vector<char*> cargv;
  for (const auto& a : argv) cargv.push_back(const_cast<char*>(a.c_str()));
  cargv.push_back(nullptr);
  const pid_t pid = ::fork();
  if (pid != 0) return pid;
  ::setpgid(0, 0);
  ::signal(SIGINT, SIG_DFL), ::signal(SIGTERM, SIG_DFL), ::signal(SIGHUP, SIG_DFL);
  const int in = ::open("/dev/null", O_RDONLY);
  ::dup2(in, 0), ::dup2(out_fd, 1), ::dup2(err_fd, 2);
  ::execv(cargv[0], cargv.data());
  const std::string msg = "cannot run " + argv[0] + ": " + std::strerror(errno) + "\n";
  write_all(2, msg.data(), msg.size());
  ::_exit(127);
}

// Runs argv with its two output streams copied into the log (and kept, up to kKeptOutput each)
// until it ends, the timeout passes or the worker is asked to stop.
Outcome run_watched(const std::vector<std::string>& argv, int log_fd, double timeout_s) {
  Outcome o;
  int out_pipe[2], err_pipe[2];
  if (::pipe2(out_pipe, O_CLOEXEC) != 0 || ::pipe2(err_pipe, O_CLOEXEC) != 0) {
    o.wstatus = 127 << 8, o.err_text = std::string("cannot make a pipe: ") + std::strerror(errno);
    return o;
  }
  const auto t0 = Clock::now();
  const pid_t pid = start(argv, out_pipe[1], err_pipe[1]);
  ::close(out_pipe[1]), ::close(err_pipe[1]);
  std::vector<pollfd> fds = {{out_pipe[0], POLLIN, 0}, {err_pipe[0], POLLIN, 0}};
  std::string* kept[2] = {&o.out_text, &o.err_text};
  bool reaped = false;
  while (fds[0].fd >= 0 || fds[1].fd >= 0 || !reaped) {
    const double elapsed = std::chrono::duration<double>(Clock::now() - t0).count();
    if (g_stop_signal != 0 || (timeout_s > 0.0 && elapsed > timeout_s)) {
      o.stopped_by = g_stop_signal;
      o.timed_out = o.stopped_by == 0;
      if (!reaped) stop_group(pid, o.wstatus);
      break;
    }
    if (!reaped && ::waitpid(pid, &o.wstatus, WNOHANG) == pid) reaped = true;
    if (fds[0].fd < 0 && fds[1].fd < 0) {
      // Both streams ended: wait for the exit itself, at once unless a timeout is to be kept
      // (a signal to the worker ends the blocking wait with EINTR).
      if (!reaped && timeout_s <= 0.0 && ::waitpid(pid, &o.wstatus, 0) == pid) reaped = true;
      if (!reaped && timeout_s > 0.0) ::usleep(2000);
      continue;
    }
    if (::poll(fds.data(), fds.size(), kPollMs) <= 0) continue;
    for (int k = 0; k < 2; ++k) {
      if (fds[k].fd < 0 || fds[k].revents == 0) continue;
      char buf[8192];
      const ssize_t n = ::read(fds[k].fd, buf, sizeof buf);
      if (n < 0 && errno == EINTR) continue;
      if (n <= 0) {
        ::close(fds[k].fd), fds[k].fd = -1;
        continue;
      }
      write_all(log_fd, buf, static_cast<std::size_t>(n));
      if (kept[k]->size() < kKeptOutput) kept[k]->append(buf, static_cast<std::size_t>(n));
    }
  }
  for (auto& f : fds)
    if (f.fd >= 0) ::close(f.fd);
  o.seconds = std::chrono::duration<double>(Clock::now() - t0).count();
  return o;
}

int status_of(const Outcome& o) {
  if (o.timed_out) return 124;
  if (WIFSIGNALED(o.wstatus)) return 128 + WTERMSIG(o.wstatus);
  return WIFEXITED(o.wstatus) ? WEXITSTATUS(o.wstatus) : 1;
}

std::string failure_text(const Outcome& o, int status, double timeout_s) {
  char buf[128];
  if (o.timed_out) {
    std::snprintf(buf, sizeof buf, "timed out after %g s", timeout_s);
    return buf;
  }
  if (WIFSIGNALED(o.wstatus)) {
    std::snprintf(buf, sizeof buf, "killed by signal %d (%s)", WTERMSIG(o.wstatus),
                  strsignal(WTERMSIG(o.wstatus)));
    return buf;
  }
  const std::string line = first_error_line(o.out_text, o.err_text);
  return line.empty() ? "glotmark ended with status " + std::to_string(status) : line;
}

std::optional<SummaryRow> previous_row(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  if (!in) return std::nullopt;
  std::ostringstream ss;
  ss << in.rdbuf();
  return parse_row(ss.str());
}

struct Signals {
  Signals() {
    struct sigaction sa {};
    sa.sa_handler = on_stop_signal;
    sigemptyset(&sa.sa_mask);
    for (const int s : {SIGINT, SIGTERM, SIGHUP}) ::sigaction(s, &sa, nullptr);
  }
};

}  // namespace

bool stop_requested() {
  return g_stop_signal != 0;
}

void remove_results(const std::string& pso_dir, const std::string& base) {
  std::error_code ec;
  std::vector<fs::path> doomed;
  for (fs::directory_iterator it(pso_dir, ec), end; !ec && it != end; it.increment(ec)) {
    const std::string name = it->path().filename().string();
    const bool sdif = name.rfind(base + ".", 0) == 0 && name.find(".sdif") != std::string::npos;
    if (sdif || name.rfind("history", 0) == 0) doomed.push_back(it->path());
  }
  for (const auto& p : doomed) fs::remove(p, ec);
  fs::remove(pso_dir, ec);  // only when nothing else is left in it
}

std::string first_error_line(const std::string& out_text, const std::string& err_text) {
  std::istringstream err(err_text);
  for (std::string line; std::getline(err, line);) {
    const std::string t = trim(line);
    if (!t.empty() && t.find("Warning") == std::string::npos) return t.substr(0, 300);
  }
  std::istringstream out(out_text);
  std::string first, error_line;
  for (std::string line; std::getline(out, line);) {
    const std::string t = trim(line);
    if (t.empty()) continue;
    if (first.empty()) first = t;
    if (error_line.empty() && t.find("Error") != std::string::npos) {
      error_line = t;
    } else if (!error_line.empty() && t.rfind("->", 0) == 0) {
      return trim(t.substr(2)).substr(0, 300);
    }
  }
  return (error_line.empty() ? first : error_line).substr(0, 300);
}

int analyse_one(const std::string& out, const std::string& rel) {
  RunSettings settings;
  std::string err;
  if (!read_run_settings(out, settings, err)) {
    std::fprintf(stderr, "glotmark-corpus: %s\n", err.c_str());
    return 2;
  }
  const Signals signals;
  const fs::path link = fs::absolute(link_path(out, rel)).lexically_normal();
  const std::string base = link.stem().string();
  const std::string pso_dir = (link.parent_path() / ("PSO" + base)).string();
  const std::string row_file = row_path(out, rel);

  const auto before = previous_row(row_file);
  std::error_code ec;
  fs::remove(row_file, ec);
  if (!before || !row_ok(*before)) remove_results(pso_dir, base);

  const int log_fd =
      ::open(log_path(out, rel).c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
  std::vector<std::string> argv = {settings.glotmark, "-i", link.string()};
  argv.insert(argv.end(), settings.options.begin(), settings.options.end());
  const Outcome o = run_watched(argv, log_fd, settings.timeout_s);
  if (log_fd >= 0) ::close(log_fd);

  if (o.stopped_by != 0) {
    remove_results(pso_dir, base);
    return 128 + o.stopped_by;
  }
  SummaryRow row;
  row.path = rel;
  int status = status_of(o);
  row.seconds = o.seconds;
  row.duration_s = sound_duration(link.string());
  if (status == 0) {
    ResultFigures fig;
    if (read_results(pso_dir, base, glotmark_steps(settings.options), fig, err)) {
      row.marks = fig.marks, row.voiced_share = fig.voiced_share;
      row.median_f0_hz = fig.median_f0_hz;
    } else {
      status = 1, row.error = "glotmark ended with status 0, but: " + err;
    }
  } else {
    row.error = failure_text(o, status, settings.timeout_s);
    if (!o.timed_out && fs::file_size(link, ec) == 0 && !ec) row.error = "empty file (0 bytes)";
    if (o.timed_out || status > 128) remove_results(pso_dir, base);
  }
  row.status = status;
  if (!write_file_atomically(row_file, format_row(row), err)) {
    std::fprintf(stderr, "glotmark-corpus: %s\n", err.c_str());
  }
  return std::min(status, 255);
}

}  // namespace corpus

namespace corpus {

int analyse_files(const std::string& out, const std::vector<std::string>& rels) {
  int result = 0;
  for (const auto& rel : rels) {
    const int status = analyse_one(out, rel);
    if (stop_requested()) return 128 + g_stop_signal;
    std::printf("%d\n", status);
    std::fflush(stdout);
    if (status != 0) result = 1;
  }
  return result;
}

}  // namespace corpus
