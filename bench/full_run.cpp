// Speed and peak memory of the whole -S analysis (f0 program included) on long recordings.
//
// Reproduce (from the repository root):
//   cmake -S . -B build-marks -DCMAKE_BUILD_TYPE=Release
//   cmake --build build-marks --target bench_full_run glotmark harmex_program -j2
//   build-marks/bin/bench_full_run                 # 1, 10 and 60 minutes, energy method
//   build-marks/bin/bench_full_run --minutes=1,10 --method=realloc --trace
//
// Material: a 30 s speech-like phrase from the project's generator of test sounds (44.1 kHz,
// voiced stretches between 85 and 260 Hz, fricatives, bursts, silences, 20 dB of babble-like
// noise), repeated to the length asked for and written as a 16-bit WAV file in a scratch
// directory. Each length is analysed by the built program, as a user runs it, in a fresh output
// directory: glotmark -i sound.wav -S (harmex found on the PATH beside it). The child's wall
// time, CPU time and peak resident memory (the largest of glotmark and harmex, from wait4) give:
//   s/min    wall seconds of analysis per minute of audio (target: under 1, an hour under 60 s)
//   cpu s/min  the same in CPU seconds (user + system), less sensitive to a shared machine
//   B/sample peak memory per sample of the sound    (target: under 64)
//   MB/s     peak memory per second of audio
// A second identical run then shows the cost of a run that reuses every step but the 1PSO file.
// --trace prints the program's progress lines with the time at which each appeared; --keep leaves
// the sounds and their analysis directories in the scratch directory (to profile or compare).
#include <fcntl.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "bench_util.h"
#include "glotsynth.h"

extern char** environ;

namespace {

namespace fs = std::filesystem;
constexpr double kSr = 44100.0;  // Hz

struct Options {
  std::vector<double> minutes = {1.0, 10.0, 60.0};
  std::string method = "ener";
  bool trace = false;
  bool keep = false;
  std::string dir;  // scratch directory ("" : a fresh one under the system's temporary one)
};

// 30 s of speech-like material: voiced stretches gliding over a speaking range, separated by
// fricatives, bursts and pauses, then babble-like noise at 20 dB.
std::vector<float> phrase() {
  glotsynth::Options o;
  o.sr = kSr;
  o.segments = glotsynth::parse_segments(benchutil::kSpeechLikeSegments);
  o.noise = glotsynth::Noise::babble;
  o.snr_db = 20.0;
  o.vibrato_rate_hz = 5.0;
  o.vibrato_cents = 20.0;
  o.seed = 17;
  return glotsynth::synthesize(o).signal;
}

void put32(std::ofstream& f, std::uint32_t v) {
  const unsigned char b[4] = {static_cast<unsigned char>(v), static_cast<unsigned char>(v >> 8),
                              static_cast<unsigned char>(v >> 16),
                              static_cast<unsigned char>(v >> 24)};
  f.write(reinterpret_cast<const char*>(b), 4);
}
void put16(std::ofstream& f, std::uint16_t v) {
  const unsigned char b[2] = {static_cast<unsigned char>(v), static_cast<unsigned char>(v >> 8)};
  f.write(reinterpret_cast<const char*>(b), 2);
}

// Writes `samples` samples of the phrase repeated, as a mono 16-bit WAV file, block by block.
bool write_tiled_wav(const std::string& path, const std::vector<float>& block, long samples) {
  std::ofstream f(path, std::ios::binary);
  if (!f) return false;
  const std::uint32_t data_bytes = static_cast<std::uint32_t>(samples * 2);
  f.write("RIFF", 4);
  put32(f, 36 + data_bytes);
  f.write("WAVEfmt ", 8);
  put32(f, 16);
  put16(f, 1);  // PCM
  put16(f, 1);  // mono
  put32(f, static_cast<std::uint32_t>(kSr));
  put32(f, static_cast<std::uint32_t>(kSr) * 2);
  put16(f, 2);
  put16(f, 16);
  f.write("data", 4);
  put32(f, data_bytes);
  std::vector<std::int16_t> pcm(block.size());
  for (std::size_t i = 0; i < block.size(); ++i) {
    const float x = std::max(-1.0f, std::min(1.0f, block[i]));
    pcm[i] = static_cast<std::int16_t>(x * 32767.0f);
  }
  long left = samples;
  while (left > 0) {
    const long n = std::min<long>(left, static_cast<long>(pcm.size()));
    f.write(reinterpret_cast<const char*>(pcm.data()), n * 2);
    left -= n;
  }
  return static_cast<bool>(f);
}

struct RunResult {
  int status = -1;
  double seconds = 0.0;
  double cpu_seconds = 0.0;  // user + system time of the child and its waited-for descendants
  long peak_kb = 0;          // largest resident set of the child and its waited-for descendants
  std::string out;
};

// Runs argv with the build's bin directory first on the PATH; with trace, echoes the progress
// lines of the child's standard output with their arrival time.
RunResult run(const std::vector<std::string>& argv, bool trace) {
  std::vector<std::string> envs;
  const std::string bin = GLOTMARK_BIN_DIR;
  const char* path = std::getenv("PATH");
  envs.push_back("PATH=" + bin + ":" + (path ? path : "/usr/bin:/bin"));
  for (char** e = environ; *e != nullptr; ++e) {
    if (std::strncmp(*e, "PATH=", 5) != 0) envs.emplace_back(*e);
  }
  std::vector<char*> cargv, cenv;
  for (const auto& a : argv) cargv.push_back(const_cast<char*>(a.c_str()));
  cargv.push_back(nullptr);
  for (const auto& e : envs) cenv.push_back(const_cast<char*>(e.c_str()));
  cenv.push_back(nullptr);

  int pipefd[2];
  if (pipe(pipefd) != 0) return {};
  const auto t0 = std::chrono::steady_clock::now();
  const pid_t pid = fork();
  if (pid == 0) {
    dup2(pipefd[1], 1);
    const int devnull = open("/dev/null", O_WRONLY);
    dup2(devnull, 2);
    close(pipefd[0]);
    execve(cargv[0], cargv.data(), cenv.data());
    _exit(127);
  }
  close(pipefd[1]);
  RunResult r;
  std::string line;
  char buf[4096];
  ssize_t got;
  while ((got = read(pipefd[0], buf, sizeof buf)) > 0) {
    for (ssize_t i = 0; i < got; ++i) {
      r.out.push_back(buf[i]);
      if (buf[i] != '\n') {
        line.push_back(buf[i]);
        continue;
      }
      if (trace && !line.empty()) {
        const double t =
            std::chrono::duration<double>(std::chrono::steady_clock::now() - t0).count();
        std::printf("    %8.2f s  %s\n", t, line.c_str());
        std::fflush(stdout);
      }
      line.clear();
    }
  }
  close(pipefd[0]);
  int wstatus = 0;
  struct rusage ru {};
  while (wait4(pid, &wstatus, 0, &ru) < 0) {
  }
  r.seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - t0).count();
  r.status = WIFEXITED(wstatus) ? WEXITSTATUS(wstatus) : 128 + WTERMSIG(wstatus);
  r.peak_kb = ru.ru_maxrss;
  r.cpu_seconds = static_cast<double>(ru.ru_utime.tv_sec + ru.ru_stime.tv_sec) +
                  1e-6 * static_cast<double>(ru.ru_utime.tv_usec + ru.ru_stime.tv_usec);
  return r;
}

}  // namespace

int main(int argc, char** argv) {
  Options o;
  for (int i = 1; i < argc; ++i) {
    const std::string a = argv[i];
    if (a.rfind("--minutes=", 0) == 0) {
      o.minutes = benchutil::parse_list(a.substr(10));
    } else if (a.rfind("--method=", 0) == 0) {
      o.method = a.substr(9);
    } else if (a.rfind("--dir=", 0) == 0) {
      o.dir = a.substr(6);
    } else if (a == "--trace") {
      o.trace = true;
    } else if (a == "--keep") {
      o.keep = true;
    } else {
      std::fprintf(stderr,
                   "usage: bench_full_run [--minutes=1,10,60] [--method=ener|frob|realloc] "
                   "[--trace] [--keep] [--dir=DIR]\n");
      return 2;
    }
  }
  std::string dir = o.dir;
  if (dir.empty()) {
    std::string tmpl = (fs::temp_directory_path() / "glotmark-bench-XXXXXX").string();
    if (mkdtemp(tmpl.data()) == nullptr) return 1;
    dir = tmpl;
  }
  fs::create_directories(dir);

  const std::vector<float> block = phrase();
  std::printf("whole -S run, method %s, %.0f Hz, material %.1f s repeated; scratch %s\n",
              o.method.c_str(), kSr, static_cast<double>(block.size()) / kSr, dir.c_str());
  std::printf("%8s %9s %8s %9s %9s %10s %9s %8s %12s\n", "minutes", "wall s", "s/min", "cpu s",
              "cpu s/min", "peak MB", "B/sample", "MB/s", "reuse run s");
  int failures = 0;
  for (const double minutes : o.minutes) {
    const long samples = static_cast<long>(minutes * 60.0 * kSr);
    const std::string name = "speech" + std::to_string(static_cast<long>(minutes * 60)) + "s";
    const std::string wav = dir + "/" + name + ".wav";
    if (!write_tiled_wav(wav, block, samples)) {
      std::fprintf(stderr, "cannot write %s\n", wav.c_str());
      return 1;
    }
    fs::remove_all(dir + "/PSO" + name);
    const std::vector<std::string> cmd = {
        std::string(GLOTMARK_BIN_DIR) + "/glotmark", "-i", wav, "-S", "-e", o.method, "--verbose"};
    const RunResult first = run(cmd, o.trace);
    const RunResult again = run(cmd, false);
    if (first.status != 0 || again.status != 0) {
      std::printf("%8.0f  run failed with status %d / %d:\n%s\n", minutes, first.status,
                  again.status, first.out.c_str());
      ++failures;
      continue;
    }
    const double audio_s = static_cast<double>(samples) / kSr;
    const double peak_b = static_cast<double>(first.peak_kb) * 1024.0;
    std::printf("%8.0f %9.2f %8.3f %9.2f %9.3f %10.1f %9.1f %8.3f %12.2f\n", minutes, first.seconds,
                first.seconds / (audio_s / 60.0), first.cpu_seconds,
                first.cpu_seconds / (audio_s / 60.0), peak_b / 1048576.0,
                peak_b / static_cast<double>(samples), peak_b / 1048576.0 / audio_s, again.seconds);
    std::fflush(stdout);
    if (!o.keep) {
      fs::remove(wav);
      fs::remove_all(dir + "/PSO" + name);
    }
  }
  if (!o.keep && o.dir.empty()) fs::remove_all(dir);
  return failures == 0 ? 0 : 1;
}
