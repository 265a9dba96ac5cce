// Speed and peak memory of the epoch step (-E, each method) and the transient step (--trans) on
// long recordings.
//
// Reproduce (from the repository root):
//   cmake -S . -B build-epochs -DCMAKE_BUILD_TYPE=Release
//   cmake --build build-epochs --target bench_epochs glotmark harmex_program -j2
//   build-epochs/bin/bench_epochs                  # 1 and 10 minutes
//   build-epochs/bin/bench_epochs --minutes=1 --keep
//
// Material: a 30 s speech-like phrase from the project's generator of test sounds (44.1 kHz,
// voiced stretches between 85 and 260 Hz, fricatives, bursts, pauses), repeated to the length
// asked for and written as a 16-bit WAV file in a scratch directory. The f0 step runs the
// project's f0 program once, untimed; every timed run reads its file back.
//
// Each length is analysed by the built program in a fresh output directory, in this order:
//   -O                    f0 file (not timed)
//   -E -e ener|frob|realloc   timed: read the sound, read the f0 file back, compute and write
//                         the 1ECS file
//   --voice -e realloc    voicing files (not timed), so that the next run reuses steps 1-3
//   --trans -e realloc    timed: read the sound, read steps 1-3 back, compute and write 1ECL
// From wait4 on each child: wall and CPU seconds per minute of audio, and peak resident memory
// per second of audio (and per sample). The same analyses are also timed in process on the
// signal alone ("analysis cpu s/min", median f0 150 Hz), which leaves out reading and writing
// files.
#include <sys/resource.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <functional>
#include <sstream>
#include <string>
#include <vector>

#include "bench_util.h"
#include "epochs/analyserealloc.h"
#include "epochs/ener.h"
#include "epochs/fir1.h"
#include "epochs/fir_aligned.h"
#include "epochs/frob.h"
#include "glotsynth.h"

namespace {

namespace fs = std::filesystem;
using tessel::TesselMatrix;
using tessel::TesselVector;

constexpr double kSr = 44100.0;           // Hz
constexpr const char* kF0Values = "150";  // f0 handed out by the stand-in f0 program (Hz)
constexpr double kMedianF0 = 150.0;       // Hz, the same for the in-process timings

std::vector<float> phrase() {
  glotsynth::Options o;
  o.sr = kSr;
  o.segments = glotsynth::parse_segments(benchutil::kSpeechLikeSegments);
  o.seed = 5;
  return glotsynth::synthesize(o).signal;
}

void put(std::ofstream& f, std::uint32_t v, int bytes) {
  for (int i = 0; i < bytes; ++i) f.put(static_cast<char>((v >> (8 * i)) & 0xff));
}

// Mono 16-bit WAV of `samples` samples of `block` repeated; the samples as read back go to x.
bool write_tiled_wav(const std::string& path, const std::vector<float>& block, long samples,
                     TesselVector<double>& x) {
  std::ofstream f(path, std::ios::binary);
  const std::uint32_t data_bytes = static_cast<std::uint32_t>(samples * 2);
  f.write("RIFF", 4);
  put(f, 36 + data_bytes, 4);
  f.write("WAVEfmt ", 8);
  put(f, 16, 4);
  put(f, 1, 2);  // PCM
  put(f, 1, 2);  // mono
  put(f, static_cast<std::uint32_t>(kSr), 4);
  put(f, static_cast<std::uint32_t>(kSr) * 2, 4);
  put(f, 2, 2);
  put(f, 16, 2);
  f.write("data", 4);
  put(f, data_bytes, 4);
  std::vector<std::int16_t> pcm(block.size());
  for (std::size_t i = 0; i < block.size(); ++i) {
    pcm[i] = static_cast<std::int16_t>(std::clamp(block[i], -1.0f, 1.0f) * 32767.0f);
  }
  x.resize(samples);
  for (long done = 0; done < samples;) {
    const long n = std::min<long>(samples - done, static_cast<long>(pcm.size()));
    f.write(reinterpret_cast<const char*>(pcm.data()), n * 2);
    for (long i = 0; i < n; ++i) x[done + i] = pcm[i] / 32768.0;
    done += n;
  }
  return static_cast<bool>(f);
}

using benchutil::RunResult;

// Runs argv in dir, SFDIR unset; output discarded.
RunResult run(const std::vector<std::string>& argv, const std::string& dir) {
  benchutil::RunOptions options;
  options.dir = dir;
  options.unset_sfdir = true;
  return benchutil::run_program(argv, options);
}

// CPU seconds of this process spent in work (less sensitive than wall time to a shared machine).
double cpu_seconds_of(const std::function<void()>& work) {
  const auto cpu = [] {
    struct rusage ru {};
    getrusage(RUSAGE_SELF, &ru);
    return benchutil::cpu_seconds(ru);
  };
  const double t0 = cpu();
  work();
  return cpu() - t0;
}

// The driver's energy curve: staircase, low-pass at 3 f0, delay removed.
void energy_method(const TesselVector<double>& x) {
  double window = 1.0 / (3.0 * kMedianF0), hop = 0.25 * window;
  const TesselVector<double> stair = ener(x, kSr, window, hop);
  const TesselVector<double> b = fir1(100, {(0.25 / hop) / (0.5 * kSr)}, 1);
  const TesselVector<double> curve = fir_aligned(b, stair, 50, stair.size() - 100);
  if (curve.size() == 0) std::puts("empty energy curve");
}

void frobenius_method(const TesselVector<double>& x) {
  long first = 0, last = x.size() - 1;
  int order = -1;
  const auto out = frob(x, kSr, first, last, TesselVector<double>{kMedianF0}, order);
  if (!out.ok() || out->size() == 0) std::puts("empty Frobenius curve");
}

void realloc_method(const TesselVector<double>& x, long mode) {
  TesselVector<double> curve, conc;
  double scale = 0.0, ref = 0.0;
  analyserealloc(x, kSr, TesselMatrix<double>(), mode, curve, conc, scale, ref);
  if (curve.size() == 0) std::puts("empty reallocation curve");
}

}  // namespace

int main(int argc, char** argv) {
  std::vector<double> minutes = {1.0, 10.0};
  bool keep = false;
  for (int i = 1; i < argc; ++i) {
    const std::string a = argv[i];
    if (a.rfind("--minutes=", 0) == 0) {
      minutes = benchutil::parse_list(a.substr(10));
    } else if (a == "--keep") {
      keep = true;
    } else {
      std::fprintf(stderr, "usage: bench_epochs [--minutes=1,10] [--keep]\n");
      return 2;
    }
  }

  std::string tmpl = (fs::temp_directory_path() / "bench-epochs-XXXXXX").string();
  if (mkdtemp(tmpl.data()) == nullptr) return 1;
  const fs::path root = tmpl;
  fs::create_directories(root / "bin");
  const fs::path bin = GLOTMARK_BIN_DIR;
  fs::copy_file(bin / "glotmark", root / "bin/glotmark");
  fs::copy_file(bin / "glotmark_create_dir.sh", root / "bin/glotmark_create_dir.sh");
  fs::copy_file(bin / "harmex", root / "bin/harmex");
  const std::string glotmark = (root / "bin/glotmark").string();

  const std::vector<float> block = phrase();
  std::printf("%-20s %7s %7s %7s %7s %9s %8s %7s %8s %18s\n", "run", "minutes", "wall s", "cpu s",
              "s/min", "cpu s/min", "peak MB", "MB/s", "B/sample", "analysis cpu s/min");
  bool ok = true;
  for (const double m : minutes) {
    const long samples = std::lround(m * 60.0 * kSr);
    const double audio_s = samples / kSr;
    char name_buf[32];
    std::snprintf(name_buf, sizeof name_buf, "min%g.wav", m);
    const std::string name = name_buf;
    TesselVector<double> x;
    if (!write_tiled_wav((root / name).string(), block, samples, x)) return 1;
    const auto sound = [&](std::vector<std::string> words) {
      std::vector<std::string> argv = {glotmark, "-i", name};
      argv.insert(argv.end(), words.begin(), words.end());
      return argv;
    };
    if (run(sound({"-O"}), root.string()).status != 0) {
      std::puts("the f0 step failed");
      return 1;
    }

    struct Timed {
      const char* label;
      std::vector<std::string> words;
      std::vector<std::string> prepare;  // untimed run before
      std::function<void()> analysis;
    };
    const Timed runs[] = {
        {"-E -e ener", {"-E", "-e", "ener"}, {}, [&] { energy_method(x); }},
        {"-E -e frob", {"-E", "-e", "frob"}, {}, [&] { frobenius_method(x); }},
        {"-E -e realloc", {"-E", "-e", "realloc"}, {}, [&] { realloc_method(x, 0); }},
        {"--trans -e realloc",
         {"--trans", "-e", "realloc"},
         {"--voice", "-e", "realloc"},
         [&] { realloc_method(x, 1); }},
    };
    for (const Timed& t : runs) {
      const int prepared = t.prepare.empty() ? 0 : run(sound(t.prepare), root.string()).status;
      if (prepared != 0) {
        std::printf("%s: preparation ended with status %d\n", t.label, prepared);
        ok = false;
        continue;
      }
      const RunResult r = run(sound(t.words), root.string());
      if (r.status != 0) {
        std::printf("%s: glotmark ended with status %d\n", t.label, r.status);
        ok = false;
        continue;
      }
      const double analysis_s = cpu_seconds_of(t.analysis);
      const double mb = r.peak_kb / 1024.0;
      std::printf("%-20s %7.1f %7.2f %7.2f %7.3f %9.3f %8.1f %7.3f %8.1f %18.3f\n", t.label, m,
                  r.wall_s, r.cpu_s, r.wall_s / (audio_s / 60.0), r.cpu_s / (audio_s / 60.0), mb,
                  mb / audio_s, r.peak_kb * 1024.0 / samples, analysis_s / (audio_s / 60.0));
      std::fflush(stdout);
    }
    std::string outdir = name;
    outdir.resize(name.size() - 4);  // without ".wav"
    fs::remove_all(root / ("PSO" + outdir));
    if (!keep) fs::remove(root / name);
  }
  if (!keep) fs::remove_all(root);
  return ok ? 0 : 1;
}
