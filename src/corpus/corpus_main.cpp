// The modes of glotmark-corpus: run, Slurm job, Slurm task, collect, per-file worker.
#include "corpus/corpus_main.h"

#include <fcntl.h>
#include <sched.h>
#include <sys/file.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <sstream>

#include "corpus/analyse_one.h"
#include "corpus/corpus_options.h"
#include "corpus/list_sounds.h"
#include "corpus/make_mirror.h"
#include "corpus/run_parallel.h"
#include "corpus/run_state.h"
#include "corpus/slurm_job.h"
#include "corpus/summary_csv.h"

namespace corpus {
namespace {

namespace fs = std::filesystem;

constexpr int kBadCommandLine = 2;
constexpr int kInterrupted = 130;
constexpr int kDefaultMaxTasks = 100;
constexpr std::size_t kMaxFilesPerJob = 16;

int fail_start(const std::string& why) {
  std::fprintf(stderr, "glotmark-corpus: %s\n", why.c_str());
  return kBadCommandLine;
}

std::string self_path() {
  std::error_code ec;
  const fs::path p = fs::read_symlink("/proc/self/exe", ec);
  return ec ? std::string() : p.string();
}

// glotmark beside this program (its resolved location), else on PATH.
std::string find_glotmark() {
  const std::string self = self_path();
  if (!self.empty()) {
    const std::string beside = (fs::path(self).parent_path() / "glotmark").string();
    if (::access(beside.c_str(), X_OK) == 0) return beside;
  }
  return find_on_path("glotmark");
}

std::optional<SummaryRow> stored_row(const std::string& out, const std::string& rel) {
  std::ifstream in(row_path(out, rel), std::ios::binary);
  if (!in) return std::nullopt;
  std::ostringstream ss;
  ss << in.rdbuf();
  return parse_row(ss.str());
}

// The row of every file of names, in order; files without a result are not analysed.
std::vector<SummaryRow> gather_rows(const std::string& out, const std::vector<std::string>& names) {
  std::vector<SummaryRow> rows;
  for (const auto& rel : names) {
    auto row = stored_row(out, rel);
    if (!row || row->path != rel) {
      row = not_analysed_row(
          rel, "not analysed: no result (the run was interrupted or its worker stopped)");
    }
    rows.push_back(*row);
  }
  return rows;
}

// Writes OUT/summary.csv (or path) and says what it holds; returns 0 when every row succeeded.
int summarise(const std::string& out, const std::vector<std::string>& names,
              const std::string& path, bool quiet) {
  const auto rows = gather_rows(out, names);
  // A row without a status was never run (an interrupted run, a refused name): not a failure of
  // its own, and told apart in the closing line.
  std::size_t failed = 0, not_run = 0;
  for (const auto& r : rows) {
    if (row_ok(r)) continue;
    ++(r.status ? failed : not_run);
  }
  std::string err;
  if (!write_summary(path, rows, err)) {
    std::fprintf(stderr, "glotmark-corpus: %s\n", err.c_str());
    return 1;
  }
  if (!quiet) {
    const std::string skipped =
        not_run == 0 ? "" : ", " + std::to_string(not_run) + " not analysed";
    std::fprintf(stderr, "glotmark-corpus: %zu files: %zu analysed, %zu failed%s; summary in %s\n",
                 rows.size(), rows.size() - failed - not_run, failed, skipped.c_str(),
                 path.c_str());
  }
  return failed + not_run == 0 ? 0 : 1;
}

// Which files of names to run now: all, or with --resume those without a row (and, with
// --retry-failed, those whose row is a failure).
std::vector<std::string> select_jobs(const std::string& out, const std::vector<std::string>& names,
                                     bool resume, bool retry_failed) {
  std::vector<std::string> jobs;
  for (const auto& rel : names) {
    const auto row = resume ? stored_row(out, rel) : std::nullopt;
    if (!row || row->path != rel || (retry_failed && !row_ok(*row))) jobs.push_back(rel);
  }
  return jobs;
}

// An exclusive lock on OUT/.glotmark-corpus/lock, held until the process ends: two runs on one
// output tree would analyse the same files at once and overwrite each other's results. (The
// tasks of a Slurm job share the tree on purpose and take no lock.)
class RunLock {
 public:
  RunLock() = default;
  RunLock(const RunLock&) = delete;
  RunLock& operator=(const RunLock&) = delete;
  ~RunLock() {
    if (fd_ >= 0) ::close(fd_);
  }
  [[nodiscard]] bool take(const std::string& out, std::string& err) {
    const std::string path = state_dir(out) + "/lock";
    fd_ = ::open(path.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0644);
    if (fd_ < 0) return err = "cannot open " + path + ": " + std::strerror(errno), false;
    if (::flock(fd_, LOCK_EX | LOCK_NB) == 0) return true;
    err = errno == EWOULDBLOCK ? "another glotmark-corpus run is using " + out
                               : "cannot lock " + path + ": " + std::strerror(errno);
    return false;
  }

 private:
  int fd_ = -1;
};

struct Prepared {
  RunLock lock;
  std::string out;                    // absolute
  std::vector<std::string> all;       // every sound, in order
  std::vector<std::string> runnable;  // those not refused
};

bool check_resume(const CorpusOptions& o, const std::string& out, std::string& err) {
  RunSettings before;
  if (!read_run_settings(out, before, err)) {
    err = "nothing to resume in " + o.out + ": " + err;
    return false;
  }
  if (before.options == o.glotmark_options) return true;
  std::string was;
  for (const auto& x : before.options) was += " " + x;
  err = o.out + " was analysed with the glotmark options" + was +
        "; resume with the same options, or start again without --resume";
  return false;
}

// Everything a run or a Slurm job needs before the first file: the output folder and its
// state, the list of sounds, the mirror of links, the rows of the sounds that are refused.
bool prepare(const CorpusOptions& o, Prepared& p, std::string& err) {
  const std::string glotmark = find_glotmark();
  if (glotmark.empty()) return err = "cannot find glotmark beside this program or on PATH", false;
  p.out = fs::absolute(o.out).lexically_normal().string();
  while (p.out.size() > 1 && p.out.back() == '/') p.out.pop_back();
  std::error_code ec;
  fs::create_directories(state_dir(p.out), ec);
  if (ec) return err = "cannot create " + state_dir(p.out) + ": " + ec.message(), false;
  if (!p.lock.take(p.out, err)) return false;
  if (o.resume && !check_resume(o, p.out, err)) return false;

  std::vector<SoundEntry> sounds;
  std::vector<std::string> warnings;
  if (!list_sounds(o.corpus, o.extensions, o.root, p.out, sounds, warnings, err)) return false;
  for (const auto& w : warnings) std::fprintf(stderr, "glotmark-corpus: warning: %s\n", w.c_str());
  if (sounds.empty()) return err = "no sound files in " + o.corpus, false;
  make_mirror(p.out, sounds);

  const RunSettings settings{glotmark, o.timeout_s, o.glotmark_options};
  if (!write_run_settings(p.out, settings, err)) return false;
  for (const auto& s : sounds) {
    p.all.push_back(s.rel);
    if (s.refused.empty()) {
      p.runnable.push_back(s.rel);
      continue;
    }
    const SummaryRow row = not_analysed_row(s.rel, s.refused);
    std::string ignored;  // a row that cannot be stored shows as "not analysed" in the summary
    (void)write_file_atomically(row_path(p.out, s.rel), format_row(row), ignored);
  }
  return write_name_list(state_dir(p.out) + "/files", p.all, err) &&
         write_name_list(state_dir(p.out) + "/runnable", p.runnable, err);
}

// Cores this process may run on: its affinity mask, which is what Slurm or taskset grant.
int usable_cores() {
  cpu_set_t set;
  if (::sched_getaffinity(0, sizeof set, &set) == 0) return std::max(1, CPU_COUNT(&set));
  return static_cast<int>(std::max(1L, ::sysconf(_SC_NPROCESSORS_ONLN)));
}

// glotmark spreads its analysis over threads, one per core by default: with several files at a
// time that would put jobs x cores threads on the cores. Each glotmark gets cores / jobs threads
// (at least one) unless the user set GLOTMARK_THREADS.
void share_cores(int njobs) {
  const int per_job = njobs > 0 ? std::max(1, usable_cores() / njobs) : 1;
  ::setenv("GLOTMARK_THREADS", std::to_string(per_job).c_str(), 0);
}

// Files per worker process: GNU parallel costs some milliseconds per process it starts, so each
// worker takes several files, but few enough that every job slot still gets about 8 workers
// and the last ones end close together.
int files_per_job(std::size_t count, const ParallelRun& r) {
  const std::size_t slots = static_cast<std::size_t>(r.jobs > 0 ? r.jobs : usable_cores()) *
                            std::max<std::size_t>(1, r.sshlogins.size());
  return static_cast<int>(std::clamp<std::size_t>(count / (8 * slots), 1, kMaxFilesPerJob));
}

// Runs the files of jobs with GNU parallel (or in turn when it is missing and one job at a
// time is asked for); false when the run could not start.
bool run_jobs(const std::string& out, const std::vector<std::string>& jobs, int njobs,
              const CorpusOptions& o, const std::string& tag, RunCounts& counts, std::string& err) {
  if (jobs.empty()) return true;
  share_cores(njobs);
  ParallelRun r;
  r.parallel = find_on_path("parallel");
  if (r.parallel.empty() && njobs == 1 && o.sshlogins.empty()) {
    counts = run_in_turn(out, jobs);
    return true;
  }
  if (r.parallel.empty())
    return err = "GNU parallel is not installed (Debian package parallel)", false;
  r.self = self_path();
  r.out = out;
  r.jobs_file = state_dir(out) + "/jobs" + tag;
  r.joblog = state_dir(out) + "/joblog" + tag;
  r.count = jobs.size();
  // GNU parallel counts every core of the machine; here only those granted to this process.
  r.jobs = njobs > 0 || !o.sshlogins.empty() ? njobs : usable_cores();
  r.sshlogins = o.sshlogins;
  r.files_per_job = o.files_per_job > 0 ? o.files_per_job : files_per_job(jobs.size(), r);
  r.terminal = ::isatty(2) != 0;
  r.progress = !o.quiet && (r.terminal || o.progress);
  if (!write_name_list(r.jobs_file, jobs, err)) return false;
  counts = run_parallel(r);
  if (!counts.error.empty()) return err = counts.error, false;
  return true;
}

int finish(const std::string& out, const std::vector<std::string>& names, const std::string& path,
           const RunCounts& c, const CorpusOptions& o) {
  const int status = summarise(out, names, path, o.quiet);
  if (!c.interrupted) return status;
  std::fprintf(stderr,
               "glotmark-corpus: interrupted; continue with: glotmark-corpus --resume ...\n");
  return kInterrupted;
}

int run_corpus(const CorpusOptions& o) {
  Prepared p;
  std::string err;
  if (!prepare(o, p, err)) return fail_start(err);
  const auto jobs = select_jobs(p.out, p.runnable, o.resume, o.retry_failed);
  if (!o.quiet && jobs.size() < p.runnable.size()) {
    std::fprintf(stderr, "glotmark-corpus: %zu of %zu files already done, %zu to analyse\n",
                 p.runnable.size() - jobs.size(), p.runnable.size(), jobs.size());
  }
  RunCounts c;
  if (!run_jobs(p.out, jobs, o.jobs, o, "", c, err)) return fail_start(err);
  return finish(p.out, p.all, p.out + "/summary.csv", c, o);
}

int run_slurm(const CorpusOptions& o) {
  Prepared p;
  std::string err;
  if (!prepare(o, p, err)) return fail_start(err);
  SlurmJob job;
  job.self = self_path();
  job.out = p.out;
  job.tasks = o.tasks > 0 ? o.tasks
                          : static_cast<int>(std::min<std::size_t>(
                                std::max<std::size_t>(p.runnable.size(), 1), kDefaultMaxTasks));
  job.cpus_per_task = o.cpus_per_task;
  job.resume = o.resume, job.retry_failed = o.retry_failed;
  job.sbatch_options = o.sbatch_options;
  std::string array_script, collect_script, array_id, collect_id;
  if (!write_slurm_scripts(job, array_script, collect_script, err)) return fail_start(err);
  std::printf("%zu files in %d tasks: %s\nthen merge the results with: %s\n", p.runnable.size(),
              job.tasks, array_script.c_str(), collect_script.c_str());
  if (!o.submit) {
    std::printf(
        "submit with:\n  id=$(sbatch --parsable %s)\n"
        "  sbatch --dependency=afterany:${id%%%%;*} %s\n",
        shell_quoted(array_script).c_str(), shell_quoted(collect_script).c_str());
    return 0;
  }
  if (!submit_slurm(array_script, collect_script, array_id, collect_id, err)) {
    std::fprintf(stderr, "glotmark-corpus: %s\n", err.c_str());
    return 1;
  }
  std::printf("submitted array job %s and collect job %s\n", array_id.c_str(), collect_id.c_str());
  return 0;
}

int run_task(const CorpusOptions& o) {
  const std::string out = fs::absolute(o.out).lexically_normal().string();
  int k = o.task_id, tasks = o.tasks;
  const char* id = std::getenv("SLURM_ARRAY_TASK_ID");
  const char* count = std::getenv("SLURM_ARRAY_TASK_COUNT");
  if (k < 0 && id != nullptr) k = std::atoi(id);
  if (tasks == 0 && count != nullptr) tasks = std::atoi(count);
  if (k < 0 || tasks <= 0 || k >= tasks) {
    return fail_start("--task needs a task number K and --tasks N with 0 <= K < N");
  }
  RunSettings settings;
  std::vector<std::string> runnable;
  std::string err;
  if (!read_run_settings(out, settings, err)) return fail_start(err);
  if (!read_name_list(state_dir(out) + "/runnable", runnable)) {
    return fail_start("cannot read the file list of " + o.out);
  }
  std::size_t first = 0, last = 0;
  task_chunk(runnable.size(), tasks, k, first, last);
  const std::vector<std::string> chunk(runnable.begin() + static_cast<long>(first),
                                       runnable.begin() + static_cast<long>(last));
  const auto jobs = select_jobs(out, chunk, o.resume, o.retry_failed);
  RunCounts c;
  const std::string tag = "-task" + std::to_string(k);
  if (!run_jobs(out, jobs, o.jobs > 0 ? o.jobs : 1, o, tag, c, err)) return fail_start(err);
  return finish(out, chunk, state_dir(out) + "/slurm/summary-" + std::to_string(k) + ".csv", c, o);
}

int collect(const CorpusOptions& o) {
  const std::string out = fs::absolute(o.out).lexically_normal().string();
  std::vector<std::string> all;
  if (!read_name_list(state_dir(out) + "/files", all)) {
    return fail_start("cannot read the file list of " + o.out +
                      " (is it the output folder of a corpus run?)");
  }
  return summarise(out, all, out + "/summary.csv", o.quiet);
}

}  // namespace

int corpus_main(int argc, const char* const* argv) {
  // The worker GNU parallel starts: "--one OUT REL...", every word after OUT a file, whatever
  // its first character.
  if (argc >= 3 && std::string(argv[1]) == "--one") {
    const std::string out = fs::absolute(argv[2]).lexically_normal().string();
    return analyse_files(out, std::vector<std::string>(argv + 3, argv + argc));
  }
  std::string err;
  const auto o = parse_corpus_options(argc, argv, err);
  if (!o) {
    std::fprintf(stderr, "glotmark-corpus: %s\nTry 'glotmark-corpus --help'.\n", err.c_str());
    return kBadCommandLine;
  }
  switch (o->mode) {
    case Mode::kHelp:
      std::fputs(corpus_usage().c_str(), stdout);
      return 0;
    case Mode::kVersion:
      std::puts("glotmark-corpus 1.2");
      return 0;
    case Mode::kCollect:
      return collect(*o);
    case Mode::kTask:
      return run_task(*o);
    case Mode::kSlurm:
      return run_slurm(*o);
    case Mode::kRun:
      break;
  }
  return run_corpus(*o);
}

}  // namespace corpus
