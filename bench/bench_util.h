// Helpers shared by the benchmarks: timing, running a program (or a piece of work) in a child
// process with its wall time, CPU time and peak memory, and (when the generator of test sounds
// is built) the synthetic voices of the accuracy benchmarks with their true f0.
#pragma once

#include <fcntl.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <sstream>
#include <string>
#include <vector>

#if __has_include("glotsynth.h")
#include "driver/cmdline.h"
#include "glotsynth.h"
#include "sdif/datatosdif.h"
#include "sdif/sdif_signatures.h"
#include "tessel/tessel.h"
#define BENCHUTIL_HAS_GLOTSYNTH 1
#endif

extern char** environ;

namespace benchutil {

// Wall-clock seconds since t0.
// The numbers of a comma-separated list ("1,10,60"); an item that is not a number gives 0.
inline std::vector<double> parse_list(const std::string& text) {
  std::vector<double> out;
  std::stringstream ss(text);
  std::string item;
  while (std::getline(ss, item, ',')) out.push_back(std::atof(item.c_str()));
  return out;
}

inline double seconds_since(std::chrono::steady_clock::time_point t0) {
  return std::chrono::duration<double>(std::chrono::steady_clock::now() - t0).count();
}

// User plus system time of a resource-usage record, seconds.
inline double cpu_seconds(const rusage& ru) {
  return static_cast<double>(ru.ru_utime.tv_sec + ru.ru_stime.tv_sec) +
         1e-6 * static_cast<double>(ru.ru_utime.tv_usec + ru.ru_stime.tv_usec);
}

// What a child process took. status: its exit status, 128 + the signal that ended it, or -1
// when it could not be started or waited for.
struct RunResult {
  int status = -1;
  double wall_s = 0.0;  // wall clock, seconds
  double cpu_s = 0.0;   // user + system time of the child, seconds
  long peak_kb = 0;     // peak resident memory of the child, kB
};

// Runs f in a child process, which ends with status 0 when f returns.
template <class F>
RunResult in_child(F&& f) {
  std::fflush(stdout);  // the child must not print what the parent has buffered
  const auto t0 = std::chrono::steady_clock::now();
  const pid_t pid = fork();
  if (pid < 0) return {};
  if (pid == 0) {
    f();
    _exit(0);
  }
  int status = 0;
  rusage ru{};
  pid_t waited = 0;
  while ((waited = wait4(pid, &status, 0, &ru)) < 0 && errno == EINTR) {
  }
  if (waited < 0) return {};
  RunResult r;
  r.wall_s = seconds_since(t0);
  r.status = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
  r.cpu_s = cpu_seconds(ru);
  r.peak_kb = ru.ru_maxrss;
  return r;
}

struct RunOptions {
  std::string dir;           // working directory of the program; empty: this process's
  bool keep_stderr = false;  // false: standard error is discarded like standard output
  bool unset_sfdir = false;  // true: SFDIR is removed from the program's environment
};

// Runs the program at path argv[0] with standard output discarded and waits for it; status
// 127 when it cannot be run (or its directory entered), 126 when /dev/null cannot be opened.
inline RunResult run_program(const std::vector<std::string>& argv, const RunOptions& options = {}) {
  std::vector<std::string> envs;
  for (char** e = environ; *e != nullptr; ++e) {
    if (!options.unset_sfdir || std::strncmp(*e, "SFDIR=", 6) != 0) envs.emplace_back(*e);
  }
  std::vector<char*> cargv, cenv;
  for (const auto& a : argv) cargv.push_back(const_cast<char*>(a.c_str()));
  cargv.push_back(nullptr);
  for (const auto& e : envs) cenv.push_back(const_cast<char*>(e.c_str()));
  cenv.push_back(nullptr);
  return in_child([&] {
    const int devnull = open("/dev/null", O_WRONLY);
    if (devnull < 0) _exit(126);
    dup2(devnull, 1);
    if (!options.keep_stderr) dup2(devnull, 2);
    if (!options.dir.empty() && chdir(options.dir.c_str()) != 0) _exit(127);
    execve(cargv[0], cargv.data(), cenv.data());
    _exit(127);
  });
}

#ifdef BENCHUTIL_HAS_GLOTSYNTH
// A test voice of the accuracy benchmarks.
struct Voice {
  const char* name;
  const char* segments;  // the generator's segment list
  glotsynth::Source source;
  double jitter, shimmer;  // relative (0.005 = 0.5 %)
  double vibrato_cents;    // depth; 0: no vibrato
  glotsynth::Noise noise;
  double snr_db;  // voice power / noise power, dB
};

// 30 s of speech-like material at 44.1 kHz: voiced stretches gliding over a speaking range,
// separated by fricatives, bursts and pauses (glotsynth segment syntax).
inline constexpr const char* kSpeechLikeSegments =
    "s:0.3,v:0.8:110-150:a-e,u:0.12,v:0.5:160-130:i-o,s:0.15,b:0.03,v:0.9:135-90:o-u,s:0.4,"
    "v:1.2:200-260:e-i,u:0.2,v:0.7:240-180:a-a,s:0.25,v:1.5:95-85:o-a,u:0.15,b:0.04,"
    "v:0.6:120-170:u-e,s:0.3,v:1.1:180-140:i-a,u:0.1,v:0.9:100-120:a-o,s:0.5,"
    "v:1.3:140-110:e-u,u:0.25,v:0.8:210-230:a-i,s:0.2,v:1.0:130-95:o-e,b:0.03,u:0.1,"
    "v:1.4:115-145:a-o,s:0.35,v:0.9:250-200:i-e,u:0.2,v:1.2:105-90:u-a,s:0.4,"
    "v:1.1:150-175:e-a,u:0.12,v:0.9:170-120:o-i,s:0.3,v:1.6:90-110:a-u,s:0.5,"
    "v:1.0:125-160:i-o,u:0.18,v:1.2:155-115:e-a,s:0.35,v:0.9:220-190:a-e,s:0.3,"
    "v:1.3:100-130:o-a,u:0.2,v:1.1:140-100:u-i,s:0.44";

// The generator's options for voice v at sr (Hz); vibrato, when the voice has any, at 5.5 Hz.
inline glotsynth::Options voice_options(const Voice& v, double sr, std::uint64_t seed) {
  glotsynth::Options o;
  o.sr = sr;
  o.segments = glotsynth::parse_segments(v.segments);
  o.source = v.source;
  o.jitter = v.jitter;
  o.shimmer = v.shimmer;
  o.vibrato_rate_hz = v.vibrato_cents > 0.0 ? 5.5 : 0.0;
  o.vibrato_cents = v.vibrato_cents;
  o.noise = v.noise;
  o.snr_db = v.snr_db;
  o.seed = seed;
  return o;
}

// Writes the true f0 of r's voiced frames as an f0 file (for -I); true when written.
inline bool write_true_f0(const std::string& path, const glotsynth::Result& r) {
  std::vector<double> t, f;
  for (std::size_t i = 0; i < r.f0_t.size(); ++i) {
    if (r.f0_hz[i] > 0.0) t.push_back(r.f0_t[i]), f.push_back(r.f0_hz[i]);
  }
  tessel::TesselVector<double> tv(static_cast<long>(t.size()), 0.0), fv(tv.size(), 0.0);
  for (std::size_t i = 0; i < t.size(); ++i) tv[i] = t[i], fv[i] = f[i];
  gengetopt_args_info args;
  return datatosdif(tv, fv, k1FQ0, k1FQ0, path, args).ok();
}

#endif  // BENCHUTIL_HAS_GLOTSYNTH

}  // namespace benchutil
