// Batch scripts for Slurm and their submission.
#include "corpus/slurm_job.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <filesystem>

#include "corpus/run_state.h"

namespace corpus {
namespace {

// An #SBATCH value: Slurm splits these lines at blanks, double quotes keep one together.
std::string sbatch_value(const std::string& text) {
  return text.find_first_of(" \t") == std::string::npos ? text : "\"" + text + "\"";
}

std::string header(const std::string& name, const std::string& log, const SlurmJob& job) {
  std::string s = "#!/bin/sh\n";
  s += "#SBATCH --job-name=" + name + "\n";
  s += "#SBATCH --output=" + sbatch_value(log) + "\n";
  for (const auto& o : job.sbatch_options) s += "#SBATCH " + o + "\n";
  return s;
}

// Runs argv, returns its standard output; status is its exit status (-1 not started).
std::string capture(const std::vector<std::string>& argv, int& status) {
  int fds[2];
  status = -1;
  if (::pipe(fds) != 0) return "";
  std::vector<char*> cargv;
  for (const auto& a : argv) cargv.push_back(const_cast<char*>(a.c_str()));
  cargv.push_back(nullptr);
  const pid_t pid = ::fork();
  if (pid == 0) {
    ::dup2(fds[1], 1);
    ::close(fds[0]), ::close(fds[1]);
    ::execvp(cargv[0], cargv.data());
    ::_exit(127);
  }
  ::close(fds[1]);
  std::string text;
  char buf[512];
  for (ssize_t n; (n = ::read(fds[0], buf, sizeof buf)) != 0;) {
    if (n < 0 && errno == EINTR) continue;
    if (n < 0) break;
    text.append(buf, static_cast<std::size_t>(n));
  }
  ::close(fds[0]);
  int w = 0;
  if (pid > 0 && ::waitpid(pid, &w, 0) == pid && WIFEXITED(w)) status = WEXITSTATUS(w);
  return text;
}

// "1234" or "1234;cluster" from sbatch --parsable.
std::string job_id(const std::string& text) {
  const auto end = text.find_first_of(";\n");
  return text.substr(0, end);
}

}  // namespace

std::string shell_quoted(const std::string& text) {
  std::string s = "'";
  for (const char c : text) s += c == '\'' ? std::string("'\\''") : std::string(1, c);
  return s + "'";
}

void task_chunk(std::size_t count, int tasks, int k, std::size_t& first, std::size_t& last) {
  const auto n = static_cast<std::size_t>(tasks);
  const auto kk = static_cast<std::size_t>(k);
  first = count * kk / n;
  last = count * (kk + 1) / n;
}

bool write_slurm_scripts(const SlurmJob& job, std::string& array_script,
                         std::string& collect_script, std::string& err) {
  const std::string dir = state_dir(job.out) + "/slurm";
  std::error_code ec;
  std::filesystem::create_directories(dir, ec);
  if (ec) {
    err = "cannot create " + dir + ": " + ec.message();
    return false;
  }
  std::string a = header("glotmark-corpus", dir + "/task-%a.log", job);
  a += "#SBATCH --array=0-" + std::to_string(job.tasks - 1) + "\n";
  a += "#SBATCH --cpus-per-task=" + std::to_string(job.cpus_per_task) + "\n";
  a += "# Task K analyses chunk K of the " + std::to_string(job.tasks) +
       " chunks of the files listed in " + state_dir(job.out) +
       "/runnable;\n# run it by hand with SLURM_ARRAY_TASK_ID=K sh " + dir + "/array.sbatch\n";
  a += "exec " + shell_quoted(job.self) +
       " --task \"${SLURM_ARRAY_TASK_ID:?not run as a task of a Slurm array job}\" --tasks " +
       std::to_string(job.tasks) + " --jobs " + std::to_string(job.cpus_per_task) +
       (job.retry_failed ? " --retry-failed"
        : job.resume     ? " --resume"
                         : "") +
       " " + shell_quoted(job.out) + "\n";
  std::string c = header("glotmark-corpus-collect", dir + "/collect.log", job);
  c += "# Merges the results of every task into " + job.out + "/summary.csv.\n";
  c += "exec " + shell_quoted(job.self) + " --collect " + shell_quoted(job.out) + "\n";
  array_script = dir + "/array.sbatch";
  collect_script = dir + "/collect.sbatch";
  if (!write_file_atomically(array_script, a, err) ||
      !write_file_atomically(collect_script, c, err)) {
    return false;
  }
  ::chmod(array_script.c_str(), 0755);
  ::chmod(collect_script.c_str(), 0755);
  return true;
}

bool submit_slurm(const std::string& array_script, const std::string& collect_script,
                  std::string& array_id, std::string& collect_id, std::string& err) {
  int status = 0;
  array_id = job_id(capture({"sbatch", "--parsable", array_script}, status));
  if (status != 0 || array_id.empty()) {
    err = status == 127 || status == -1 ? "sbatch is not installed here"
                                        : "sbatch refused " + array_script;
    return false;
  }
  collect_id = job_id(capture(
      {"sbatch", "--parsable", "--dependency=afterany:" + array_id, collect_script}, status));
  if (status != 0 || collect_id.empty()) {
    err = "sbatch refused " + collect_script + " (the array job " + array_id + " is submitted)";
    return false;
  }
  return true;
}

}  // namespace corpus
