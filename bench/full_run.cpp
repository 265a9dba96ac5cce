// Speed and peak memory of the whole -S analysis (f0 program included) on long recordings, side
// by side with Praat's pitch and pulses on the same minute.
//
// Reproduce (from the repository root):
//   cmake -S . -B build -DCMAKE_BUILD_TYPE=Release
//   cmake --build build --target bench_full_run glotmark harmex_program -j2
//   build/bin/bench_full_run                    # 1, 10 and 60 minutes, energy method
//   build/bin/bench_full_run --no-hour          # 1 and 10 minutes only
//   build/bin/bench_full_run --minutes=1 --method=realloc --trace
//   build/bin/bench_full_run --no-hour --compare-threads   # also N = 1, 2, 8 byte for byte
//
// Material: a 30 s speech-like phrase from the project's generator of test sounds (44.1 kHz,
// voiced stretches between 85 and 260 Hz, fricatives, bursts, silences, 20 dB of babble-like
// noise), repeated to the length asked for and written as a 16-bit WAV file in a scratch
// directory. Each length is analysed by the built program, as a user runs it, in a fresh output
// directory: glotmark -i sound.wav -S --verbose (harmex found on the PATH beside it). Printed per
// length (targets of a machine with 2 cores in brackets):
//   s/min, cpu s/min  wall and CPU (user + system) seconds per minute of audio   [0.5, 0.8]
//   B/smp all         peak resident memory of the run (largest process) per sample [32]
//   B/smp gm, hx      the same of glotmark alone (a run from the f0 file, -I) and of harmex
//                     alone (the command glotmark printed)                        [32]
//   reuse %           a second identical run (every step read back, only 1PSO written) as a
//                     share of the first                                          [10]
// then the time of each step of the first run (from the arrival of its progress lines), the
// speed-up of a whole run from GLOTMARK_THREADS=1 to GLOTMARK_THREADS=2 on the first length
// [1.7] (beside what two threads of pure arithmetic gain on the machine at that moment, its
// ceiling), and Praat's autocorrelation pitch (To Pitch: 0, 75, 600) plus cross-correlation pulses
// (To PointProcess (cc)) on the same one-minute sound, with glotmark's wall time as a share of
// Praat's [0.5]. The machine may be shared: read the ratios, measured side by side in one run.
// --compare-threads also runs the longest length with GLOTMARK_THREADS = 1, 2 and 8 and checks
// that the 11 result files are the same byte for byte (the header's Time entry aside).
// Lengths under an hour are analysed --repeat times (default 3) and the fastest full run and the
// fastest reuse run count, with the largest peak memory of the repeats: the machine is shared,
// and the fastest run is the one least slowed by others. An hour is analysed once.
// --trace prints the progress lines of the first run with the time at which each appeared;
// --keep leaves the sounds and their analysis directories in the scratch directory; --bin=DIR
// measures the glotmark and harmex of another build (to compare two builds side by side).
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
#include <iterator>
#include <regex>
#include <sstream>
#include <string>
#include <thread>
#include <utility>
#include <vector>

#include "bench_util.h"
#include "glotsynth.h"

extern char** environ;

namespace {

namespace fs = std::filesystem;
constexpr double kSr = 44100.0;        // Hz
std::string g_bin = GLOTMARK_BIN_DIR;  // the programs measured (--bin)

struct Options {
  std::vector<double> minutes = {1.0, 10.0, 60.0};
  std::string method = "ener";
  std::string praat = "/usr/bin/praat";
  std::string bin = GLOTMARK_BIN_DIR;  // where glotmark and harmex are
  bool trace = false;
  bool keep = false;
  bool compare_threads = false;
  int repeat = 3;   // runs of each length under an hour (the fastest counts)
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
  std::vector<std::pair<double, std::string>> lines;  // progress lines with arrival time, s
};

// Runs argv with the build's bin directory first on the PATH and the extra environment entries
// ("NAME=value") on top of this process's; keeps its standard output, line by line with the
// arrival time of each line.
RunResult run(const std::vector<std::string>& argv, const std::vector<std::string>& extra = {}) {
  std::vector<std::string> envs = extra;
  const std::string bin = g_bin;
  const char* path = std::getenv("PATH");
  envs.push_back("PATH=" + bin + ":" + (path ? path : "/usr/bin:/bin"));
  for (char** e = environ; *e != nullptr; ++e) {
    const std::string entry = *e;
    const std::string name = entry.substr(0, entry.find('=') + 1);
    const bool overridden = std::any_of(envs.begin(), envs.end(), [&](const std::string& x) {
      return x.compare(0, name.size(), name) == 0;
    });
    if (!overridden) envs.push_back(entry);
  }
  std::vector<char*> cargv, cenv;
  for (const auto& a : argv) cargv.push_back(const_cast<char*>(a.c_str()));
  cargv.push_back(nullptr);
  for (const auto& e : envs) cenv.push_back(const_cast<char*>(e.c_str()));
  cenv.push_back(nullptr);

  int pipefd[2];
  if (pipe(pipefd) != 0) return {};
  std::fflush(stdout);
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
      if (!line.empty()) r.lines.emplace_back(benchutil::seconds_since(t0), line);
      line.clear();
    }
  }
  close(pipefd[0]);
  int wstatus = 0;
  struct rusage ru {};
  while (wait4(pid, &wstatus, 0, &ru) < 0) {
  }
  r.seconds = benchutil::seconds_since(t0);
  r.status = WIFEXITED(wstatus) ? WEXITSTATUS(wstatus) : 128 + WTERMSIG(wstatus);
  r.peak_kb = ru.ru_maxrss;
  r.cpu_seconds = benchutil::cpu_seconds(ru);
  return r;
}

// The f0 command glotmark printed in its verbose output, split into words; empty if none.
std::vector<std::string> harmex_command(const RunResult& r) {
  for (const auto& [t, line] : r.lines) {
    if (line.rfind("harmex ", 0) != 0) continue;
    std::vector<std::string> words;
    std::istringstream ss(line);
    std::string w;
    while (ss >> w) words.push_back(w);
    words[0] = g_bin + "/harmex";
    return words;
  }
  return {};
}

// Step headers (the progress lines that start with neither a space nor the f0 command line)
// with the time each step
// took: up to the next header, the last one up to the end of the run.
void print_steps(const RunResult& r) {
  std::vector<std::pair<double, std::string>> heads;
  for (const auto& l : r.lines) {
    if (!l.second.empty() && l.second[0] != ' ' && l.second.rfind("harmex ", 0) != 0)
      heads.push_back(l);
  }
  std::printf("  step times of the first run (s):\n");
  for (std::size_t i = 0; i < heads.size(); ++i) {
    const double end = i + 1 < heads.size() ? heads[i + 1].first : r.seconds;
    std::printf("    %7.3f  %s\n", end - heads[i].first, heads[i].second.c_str());
  }
}

// The bytes of a file with the value of its header's Time entry blanked.
std::string without_time(const fs::path& p) {
  std::ifstream f(p, std::ios::binary);
  std::string s((std::istreambuf_iterator<char>(f)), std::istreambuf_iterator<char>());
  const std::size_t at = s.find("Time\t");
  if (at != std::string::npos) {
    for (std::size_t i = at + 5; i < s.size() && s[i] != '\n' && s[i] != '\0'; ++i) s[i] = '_';
  }
  return s;
}

// Names of the result files of two analysis directories that differ (Time entry aside), or
// that one of them lacks; the history file is left out (it records times and commands).
std::vector<std::string> differing_files(const fs::path& a, const fs::path& b) {
  std::vector<std::string> names;
  for (const auto& e : fs::directory_iterator(a)) {
    const std::string name = e.path().filename().string();
    if (name.find(".sdif") == std::string::npos) continue;
    if (!fs::exists(b / name) || without_time(e.path()) != without_time(b / name))
      names.push_back(name);
  }
  return names;
}

std::vector<std::string> glotmark_command(const std::string& wav, const std::string& method) {
  return {g_bin + "/glotmark", "-i", wav, "-S", "-e", method, "--verbose"};
}

// One length: full run, reuse run, glotmark alone and harmex alone; false if a run failed.
bool measure_length(const Options& o, const std::string& dir, const std::vector<float>& block,
                    double minutes, bool first_length) {
  const long samples = static_cast<long>(minutes * 60.0 * kSr);
  const std::string name = "speech" + std::to_string(static_cast<long>(minutes * 60)) + "s";
  const std::string wav = dir + "/" + name + ".wav";
  const fs::path pso = dir + "/PSO" + name;
  if (!write_tiled_wav(wav, block, samples)) {
    std::fprintf(stderr, "cannot write %s\n", wav.c_str());
    return false;
  }
  const std::vector<std::string> cmd = glotmark_command(wav, o.method);
  const int repeats = minutes < 60.0 ? std::max(1, o.repeat) : 1;
  RunResult first, again;
  long peak_kb = 0;
  for (int r = 0; r < repeats; ++r) {
    fs::remove_all(pso);
    const RunResult full = run(cmd);
    const RunResult reuse = run(cmd);
    peak_kb = std::max(peak_kb, full.peak_kb);
    if (r == 0 || (full.status == 0 && full.seconds < first.seconds)) first = full;
    if (r == 0 || (reuse.status == 0 && reuse.seconds < again.seconds)) again = reuse;
    if (full.status != 0 || reuse.status != 0) break;
  }
  first.peak_kb = peak_kb;
  // glotmark without the f0 program: every step from a copy of the f0 file, in a fresh directory.
  const std::string f0_copy = dir + "/" + name + ".f0.sdif";
  std::error_code ec;
  fs::copy_file(pso / (name + ".1FQ0.sdif"), f0_copy, fs::copy_options::overwrite_existing, ec);
  fs::rename(pso, dir + "/kept" + name, ec);
  std::vector<std::string> alone_cmd = cmd;
  alone_cmd.insert(alone_cmd.begin() + 3, {"-I", f0_copy});
  const RunResult alone = run(alone_cmd);
  std::vector<std::string> hx = harmex_command(first);
  fs::create_directories(dir + "/hx");
  if (!hx.empty()) hx.back() = dir + "/hx/f0.sdif";
  const RunResult harmex = hx.empty() ? RunResult{} : run(hx);
  if (first.status != 0 || again.status != 0 || alone.status != 0 || harmex.status != 0) {
    std::printf("%8.0f  a run failed: full %d, reuse %d, glotmark alone %d, harmex %d\n%s\n",
                minutes, first.status, again.status, alone.status, harmex.status,
                first.out.c_str());
    return false;
  }
  const double per_min = static_cast<double>(samples) / kSr / 60.0;
  const auto bps = [&](long kb) { return static_cast<double>(kb) * 1024.0 / samples; };
  std::printf("%8.0f %8.2f %7.3f %8.2f %9.3f %9.1f %8.1f %8.1f %8.1f\n", minutes, first.seconds,
              first.seconds / per_min, first.cpu_seconds, first.cpu_seconds / per_min,
              bps(first.peak_kb), bps(alone.peak_kb), bps(harmex.peak_kb),
              100.0 * again.seconds / first.seconds);
  if (o.trace) {
    for (const auto& [t, line] : first.lines) std::printf("    %8.2f s  %s\n", t, line.c_str());
  }
  if (first_length) print_steps(first);
  std::fflush(stdout);
  if (!o.keep) {
    fs::remove_all(dir + "/kept" + name);
    fs::remove_all(pso);
    fs::remove(f0_copy);
  }
  return true;
}

// Wall seconds of `threads` threads each running the same fixed amount of pure arithmetic.
double spin_seconds(int threads) {
  const auto t0 = std::chrono::steady_clock::now();
  std::vector<std::thread> pool;
  std::vector<double> sink(static_cast<std::size_t>(threads));
  for (int t = 0; t < threads; ++t) {
    pool.emplace_back([&sink, t] {
      double x = 1.0;
      for (long i = 0; i < 200000000L; ++i) x = x * 1.0000001 + 1e-9;
      sink[static_cast<std::size_t>(t)] = x;
    });
  }
  for (auto& th : pool) th.join();
  return benchutil::seconds_since(t0) + 0.0 * sink[0];
}

// Speed-up of a whole run from 1 to 2 threads (fresh directory each time) and Praat's pitch and
// pulses on the same sound, side by side; false if a run failed.
bool compare_on(const Options& o, const std::string& dir, const std::string& wav,
                const std::string& name) {
  const fs::path pso = dir + "/PSO" + name;
  const std::vector<std::string> cmd = glotmark_command(wav, o.method);
  // 1 and 2 threads alternate --repeat times (once on an hour); the fastest of each counts.
  const auto fresh_run = [&](const char* env) {
    fs::remove_all(pso);
    return run(cmd, {env});
  };
  const int repeats = name == "speech3600s" ? 1 : std::max(1, o.repeat);
  RunResult one, two;
  for (int r = 0; r < repeats; ++r) {
    const RunResult a = fresh_run("GLOTMARK_THREADS=1"), b = fresh_run("GLOTMARK_THREADS=2");
    if (r == 0 || a.status != 0 || a.seconds < one.seconds) one = a;
    if (r == 0 || b.status != 0 || b.seconds < two.seconds) two = b;
    if (a.status != 0 || b.status != 0) break;
  }
  fs::remove_all(pso);
  const RunResult every = run(cmd);
  if (one.status != 0 || two.status != 0 || every.status != 0) {
    std::printf("threads: a run failed (%d, %d, %d)\n", one.status, two.status, every.status);
    return false;
  }
  // What the machine itself gives a second thread now (1.0 when its other cores are busy,
  // 2.0 when two are free): the ceiling of the figure below.
  const double one_spin = spin_seconds(1);
  std::printf(
      "\nmachine: two threads of pure arithmetic do %.2f times the work per second of "
      "one\n",
      2.0 * one_spin / spin_seconds(2));
  std::printf(
      "threads on %s: 1 thread %.2f s wall (%.2f s cpu), 2 threads %.2f s wall "
      "(%.2f s cpu): speed-up %.2f [1.7]\n",
      name.c_str(), one.seconds, one.cpu_seconds, two.seconds, two.cpu_seconds,
      one.seconds / two.seconds);
  if (!fs::exists(o.praat)) {
    std::printf("praat: %s not found, comparison skipped\n", o.praat.c_str());
    return true;
  }
  const std::string script = dir + "/pitch_pulses.praat";
  std::ofstream(script) << "form Pitch and pulses\n  sentence file\nendform\n"
                        << "sound = Read from file: file$\npitch = To Pitch: 0, 75, 600\n"
                        << "selectObject: sound, pitch\npulses = To PointProcess (cc)\n"
                        << "n = Get number of points\nwriteInfoLine: n\n";
  const RunResult praat = run({o.praat, "--run", script, wav});
  if (praat.status != 0) {
    std::printf("praat: failed with status %d\n", praat.status);
    return false;
  }
  std::printf(
      "praat pitch + pulses on %s: %.2f s wall (%.2f s cpu, %s pulses); glotmark -S "
      "(every core) %.2f s wall (%.2f s cpu): glotmark / praat = %.2f wall, %.2f cpu "
      "[0.5]\n",
      name.c_str(), praat.seconds, praat.cpu_seconds,
      praat.lines.empty() ? "?" : praat.lines.back().second.c_str(), every.seconds,
      every.cpu_seconds, every.seconds / praat.seconds, every.cpu_seconds / praat.cpu_seconds);
  return true;
}

// The longest length analysed with 1, 2 and 8 threads: the result files must agree.
bool compare_threads(const Options& o, const std::string& dir, const std::string& wav,
                     const std::string& name) {
  const fs::path pso = dir + "/PSO" + name;
  std::vector<std::string> outs;
  for (const char* n : {"1", "2", "8"}) {
    fs::remove_all(pso);
    const RunResult r =
        run(glotmark_command(wav, o.method), {std::string("GLOTMARK_THREADS=") + n});
    if (r.status != 0) {
      std::printf("threads %s: run failed with status %d\n", n, r.status);
      return false;
    }
    // The f0 program's result file has a name of the run's own (mkstemp): not a difference.
    outs.push_back(std::regex_replace(r.out, std::regex(R"(\.tmp-[A-Za-z0-9]{6})"), ".tmp-XXXXXX"));
    fs::remove_all(dir + "/threads" + n);
    fs::rename(pso, dir + "/threads" + n);
  }
  bool same = outs[0] == outs[1] && outs[0] == outs[2];
  std::printf("\nthreads 1, 2, 8 on %s: verbose messages %s", name.c_str(),
              same ? "identical" : "DIFFER");
  for (const char* n : {"2", "8"}) {
    const auto diff = differing_files(dir + "/threads1", dir + "/threads" + std::string(n));
    for (const auto& f : diff) std::printf("; %s DIFFERS with %s threads", f.c_str(), n);
    same = same && diff.empty();
  }
  std::printf("%s\n", same ? "; result files identical (Time entry aside)" : "");
  for (const char* n : {"1", "2", "8"}) fs::remove_all(dir + "/threads" + std::string(n));
  return same;
}

}  // namespace

int main(int argc, char** argv) {
  Options o;
  for (int i = 1; i < argc; ++i) {
    const std::string a = argv[i];
    if (a.rfind("--minutes=", 0) == 0) {
      o.minutes = benchutil::parse_list(a.substr(10));
    } else if (a == "--no-hour") {
      o.minutes.erase(std::remove(o.minutes.begin(), o.minutes.end(), 60.0), o.minutes.end());
    } else if (a.rfind("--method=", 0) == 0) {
      o.method = a.substr(9);
    } else if (a.rfind("--praat=", 0) == 0) {
      o.praat = a.substr(8);
    } else if (a.rfind("--bin=", 0) == 0) {
      o.bin = a.substr(6);
    } else if (a.rfind("--dir=", 0) == 0) {
      o.dir = a.substr(6);
    } else if (a == "--trace") {
      o.trace = true;
    } else if (a == "--keep") {
      o.keep = true;
    } else if (a == "--compare-threads") {
      o.compare_threads = true;
    } else if (a.rfind("--repeat=", 0) == 0) {
      o.repeat = std::atoi(a.c_str() + 9);
    } else {
      std::fprintf(stderr,
                   "usage: bench_full_run [--minutes=1,10,60] [--no-hour] "
                   "[--method=ener|frob|realloc] [--praat=PATH] [--compare-threads] [--trace] "
                   "[--keep] [--dir=DIR] [--bin=DIR] [--repeat=N]\n");
      return 2;
    }
  }
  g_bin = o.bin;
  if (o.minutes.empty()) return 2;
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
  std::printf("%8s %8s %7s %8s %9s %9s %8s %8s %8s\n", "minutes", "wall s", "s/min", "cpu s",
              "cpu s/min", "B/smp all", "B/smp gm", "B/smp hx", "reuse %");
  int failures = 0;
  for (std::size_t k = 0; k < o.minutes.size(); ++k) {
    if (!measure_length(o, dir, block, o.minutes[k], k == 0)) ++failures;
  }
  // Threads and Praat on the first length (a minute by default), threads byte for byte on the
  // longest one; the sounds are made again where they were removed.
  const auto sound_of = [&](double minutes) {
    const long samples = static_cast<long>(minutes * 60.0 * kSr);
    const std::string name = "speech" + std::to_string(static_cast<long>(minutes * 60)) + "s";
    const std::string wav = dir + "/" + name + ".wav";
    if (!fs::exists(wav)) write_tiled_wav(wav, block, samples);
    return std::make_pair(wav, name);
  };
  const auto [wav1, name1] = sound_of(o.minutes.front());
  if (!compare_on(o, dir, wav1, name1)) ++failures;
  if (o.compare_threads) {
    const auto [wavn, namen] = sound_of(*std::max_element(o.minutes.begin(), o.minutes.end()));
    if (!compare_threads(o, dir, wavn, namen)) ++failures;
  }
  if (!o.keep) {
    for (const auto& e : fs::directory_iterator(dir)) {
      if (e.path().extension() == ".wav" || e.path().filename().string().rfind("PSO", 0) == 0)
        fs::remove_all(e.path());
    }
    fs::remove_all(dir + "/hx");
    fs::remove(dir + "/pitch_pulses.praat");
    if (o.dir.empty()) fs::remove_all(dir);
  }
  return failures == 0 ? 0 : 1;
}
