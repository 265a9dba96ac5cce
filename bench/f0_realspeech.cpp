// Accuracy of harmex on real recordings against their reference f0, optionally beside peers.
//
// Reproduce (from the repository root):
//   cmake -S . -B build -DCMAKE_BUILD_TYPE=Release
//   cmake --build build --target bench_f0_realspeech -j2
//   build/bin/bench_f0_realspeech                 # harmex alone
//   build/bin/bench_f0_realspeech --peers         # beside Praat and SPTK RAPT / SWIPE
// Options: --sounds=DIR (the recordings, default /work/realspeech-sounds), --reference=DIR (the
// reference tracks NAME.f0.csv, default /work/shared/realspeech/reference), --files=a,b,...
// (only these), --worst=N (files listed by gross errors, default 5), --dump=DIR (one CSV per
// file and tracker: time, reference, estimate).
//
// harmex runs as the analysis driver runs it: the driver builds its command line for the sound
// (f0 50-1000 Hz, its window and analysis band for the sound's rate), harmex parses it, and the
// estimator runs in this process on the sound as harmex reads it.
//
// Scoring (on the frames the reference calls voiced, the estimate sampled at the frame's time by
// linear interpolation between its own frames; an estimate of 0 there is a gross error):
//   GPE  share of frames off by more than 20 %;
//   FPE  standard deviation, in cents, of 1200 log2(estimate / reference) on the other frames.
// All files' frames are pooled. Per file: GPE, FPE and the medians of the estimate and of the
// reference over the same frames (an octave error shows as a median twice or half the other).
//
// Peers (--peers; skipped with a note when absent): Praat's autocorrelation pitch
// (praat --run, "To Pitch (ac)" at 5 ms, 75-600 Hz, its other settings at their defaults) and
// SPTK's pitch command, RAPT and SWIPE (5 ms, 50-600 Hz, default thresholds).
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <map>
#include <sstream>
#include <string>
#include <vector>

#include "bench_util.h"
#include "driver/f0_command.h"
#include "harmex/harmex.h"

namespace fs = std::filesystem;

namespace {

constexpr double kHop = 0.005;  // frame step of the reference and of every tracker, s

struct Reference {
  std::vector<double> t, f0;
  std::vector<char> voiced;
};

Reference read_reference(const fs::path& path) {
  Reference r;
  std::ifstream in(path);
  std::string line;
  std::getline(in, line);  // header
  while (std::getline(in, line)) {
    double t = 0.0, f = 0.0;
    int v = 0;
    if (std::sscanf(line.c_str(), "%lf,%lf,%d", &t, &f, &v) != 3) continue;
    r.t.push_back(t);
    r.f0.push_back(f);
    r.voiced.push_back(static_cast<char>(v != 0));
  }
  return r;
}

// An f0 track: value f0[i] at time t[i] (0: unvoiced).
struct Estimate {
  std::vector<double> t, f0;
  std::vector<char> voiced;  // harmex: frames found voiced (the others are filled)
  bool ok = false;
  std::string note;  // why it is missing
};

// The estimate at time t: linear between its neighbouring frames when both are voiced, else the
// nearer one; 0 outside the track.
double sample(const Estimate& e, double t) {
  if (e.t.empty()) return 0.0;
  const auto it = std::lower_bound(e.t.begin(), e.t.end(), t - 1e-9);
  if (it == e.t.end()) return t - e.t.back() <= kHop ? e.f0.back() : 0.0;
  const auto i = static_cast<std::size_t>(it - e.t.begin());
  if (std::abs(e.t[i] - t) < 1e-9 || i == 0) return std::abs(e.t[i] - t) <= kHop ? e.f0[i] : 0.0;
  const double a = e.f0[i - 1], b = e.f0[i];
  const double f = (t - e.t[i - 1]) / (e.t[i] - e.t[i - 1]);
  if (a > 0.0 && b > 0.0) return a + f * (b - a);
  return f < 0.5 ? a : b;
}

struct Score {
  std::size_t voiced = 0, gross = 0, fine = 0;
  double sum = 0.0, sum2 = 0.0;
  std::vector<double> est, ref;  // per-frame values, for the medians
  void add(double e, double r) {
    ++voiced;
    est.push_back(e);
    ref.push_back(r);
    if (!(e > 0.0) || std::abs(e / r - 1.0) > 0.2) {
      ++gross;
      return;
    }
    const double c = 1200.0 * std::log2(e / r);
    ++fine;
    sum += c;
    sum2 += c * c;
  }
  void pool(const Score& s) {
    voiced += s.voiced, gross += s.gross, fine += s.fine, sum += s.sum, sum2 += s.sum2;
  }
  double gpe() const { return voiced ? 100.0 * static_cast<double>(gross) / voiced : 0.0; }
  double fpe() const {
    if (fine < 2) return 0.0;
    const double m = sum / static_cast<double>(fine);
    return std::sqrt(std::max(0.0, sum2 / static_cast<double>(fine) - m * m));
  }
};

double median(std::vector<double> v) {
  if (v.empty()) return 0.0;
  const auto mid = v.begin() + static_cast<long>(v.size() / 2);
  std::nth_element(v.begin(), mid, v.end());
  return *mid;
}

// Runs a shell command; true when it exits with status 0.
bool run(const std::string& cmd) {
  const int st = std::system(cmd.c_str());
  return st != -1 && WIFEXITED(st) && WEXITSTATUS(st) == 0;
}

// harmex as the driver runs it, in this process. cpu_s receives the analysis time.
Estimate run_harmex(const std::string& wav, double& audio_s, double& cpu_s) {
  Estimate e;
  harmex::Sound sound = harmex::read_sound(wav);
  audio_s = static_cast<double>(sound.samples.size()) / sound.sr;
  const F0Command cmd = f0_command(wav, 50.0, 1000.0, sound.sr, "f0", "harmex");
  std::vector<const char*> argv;
  for (const std::string& a : cmd.argv) argv.push_back(a.c_str());
  const harmex::Request req =
      harmex::parse_command_line(static_cast<int>(argv.size()), argv.data());
  const auto t0 = std::chrono::steady_clock::now();
  const harmex::Track t = harmex::estimate_f0(std::move(sound.samples), sound.sr, req.options);
  cpu_s = benchutil::seconds_since(t0);
  e.t = t.t_s;
  e.f0 = t.f0_hz;
  e.voiced = t.voiced;
  e.ok = true;
  return e;
}

// Reads "time value" lines (value 0 or non-numeric: unvoiced).
Estimate read_pairs(const fs::path& path) {
  Estimate e;
  std::ifstream in(path);
  std::string line;
  while (std::getline(in, line)) {
    std::istringstream ss(line);
    double t = 0.0;
    std::string v;
    if (!(ss >> t >> v)) continue;
    char* end = nullptr;
    const double f = std::strtod(v.c_str(), &end);
    e.t.push_back(t);
    e.f0.push_back(end != v.c_str() && std::isfinite(f) ? f : 0.0);
  }
  e.ok = !e.t.empty();
  return e;
}

Estimate run_praat(const std::string& wav, const fs::path& tmp) {
  const fs::path script = tmp / "pitch.praat", out = tmp / "praat.txt";
  std::ofstream(script) << "form Pitch\n  sentence wav\n  sentence out\nendform\n"
                           "Read from file: wav$\n"
                           "To Pitch (ac): 0.005, 75, 15, \"no\", 0.03, 0.45, 0.01, 0.35, 0.14, "
                           "600\n"
                           "n = Get number of frames\n"
                           "deleteFile: out$\n"
                           "for i to n\n"
                           "  t = Get time from frame number: i\n"
                           "  f = Get value in frame: i, \"Hertz\"\n"
                           "  if f = undefined\n    f = 0\n  endif\n"
                           "  appendFileLine: out$, fixed$(t, 6), \" \", fixed$(f, 3)\n"
                           "endfor\n";
  Estimate e;
  if (!run("praat --run '" + script.string() + "' '" + wav + "' '" + out.string() +
           "' >/dev/null 2>&1")) {
    e.note = "praat failed";
    return e;
  }
  return read_pairs(out);
}

// SPTK's pitch command; algorithm 0 RAPT, 1 SWIPE. Frame i is at time i * hop.
Estimate run_sptk(const std::string& wav, int algorithm, const fs::path& tmp) {
  Estimate e;
  const harmex::Sound sound = harmex::read_sound(wav);
  const fs::path raw = tmp / "sound.f32", out = tmp / "pitch.f32";
  {
    std::vector<float> scaled(sound.samples);
    for (float& v : scaled) v *= 32768.0f;
    std::ofstream(raw, std::ios::binary)
        .write(reinterpret_cast<const char*>(scaled.data()),
               static_cast<std::streamsize>(scaled.size() * sizeof(float)));
  }
  const int hop = static_cast<int>(std::lround(kHop * sound.sr));
  char cmd[1024];
  std::snprintf(cmd, sizeof cmd,
                "/usr/libexec/sptk/bin/pitch -a %d -s %.3f -p %d -L 50 -H 600 -o 1 '%s' > '%s' "
                "2>/dev/null",
                algorithm, sound.sr / 1000.0, hop, raw.c_str(), out.c_str());
  if (!run(cmd)) {
    e.note = "sptk pitch failed";
    return e;
  }
  std::ifstream in(out, std::ios::binary);
  float v = 0.0f;
  for (std::size_t i = 0; in.read(reinterpret_cast<char*>(&v), sizeof v); ++i) {
    e.t.push_back(static_cast<double>(i) * hop / sound.sr);
    e.f0.push_back(v);
  }
  e.ok = !e.t.empty();
  return e;
}

// The track with its unvoiced frames filled as harmex fills its own: linear between the voiced
// neighbours, held before the first and after the last.
Estimate filled(Estimate e) {
  long last = -1;
  for (std::size_t k = 0; k < e.f0.size(); ++k) {
    if (!(e.f0[k] > 0.0)) continue;
    const auto kk = static_cast<long>(k);
    for (long i = last < 0 ? 0 : last + 1; i < kk; ++i) {
      const double a = last < 0 ? e.f0[k] : e.f0[static_cast<std::size_t>(last)];
      const double f =
          last < 0 ? 0.0 : static_cast<double>(i - last) / static_cast<double>(kk - last);
      e.f0[static_cast<std::size_t>(i)] = a + f * (e.f0[k] - a);
    }
    last = kk;
  }
  if (last >= 0) {
    for (std::size_t i = static_cast<std::size_t>(last) + 1; i < e.f0.size(); ++i) {
      e.f0[i] = e.f0[static_cast<std::size_t>(last)];
    }
  }
  return e;
}

std::vector<std::string> split(const std::string& text) {
  std::vector<std::string> out;
  std::stringstream ss(text);
  std::string item;
  while (std::getline(ss, item, ',')) out.push_back(item);
  return out;
}

}  // namespace

int main(int argc, char** argv) {
  fs::path sounds = "/work/realspeech-sounds", refdir = "/work/shared/realspeech/reference";
  fs::path dump;
  std::vector<std::string> only;
  bool peers = false;
  int worst = 5;
  for (int i = 1; i < argc; ++i) {
    const std::string a = argv[i];
    if (a == "--peers") {
      peers = true;
    } else if (a.rfind("--sounds=", 0) == 0) {
      sounds = a.substr(9);
    } else if (a.rfind("--reference=", 0) == 0) {
      refdir = a.substr(12);
    } else if (a.rfind("--files=", 0) == 0) {
      only = split(a.substr(8));
    } else if (a.rfind("--worst=", 0) == 0) {
      worst = std::atoi(a.c_str() + 8);
    } else if (a.rfind("--dump=", 0) == 0) {
      dump = a.substr(7);
    } else {
      std::fprintf(stderr,
                   "usage: bench_f0_realspeech [--peers] [--sounds=DIR] [--reference=DIR] "
                   "[--files=a,b,...] [--worst=N] [--dump=DIR]\n");
      return 2;
    }
  }
  std::vector<std::string> names;
  std::error_code ec;
  for (const auto& entry : fs::directory_iterator(refdir, ec)) {
    const std::string f = entry.path().filename().string();
    if (f.size() > 7 && f.compare(f.size() - 7, 7, ".f0.csv") == 0) {
      const std::string name = f.substr(0, f.size() - 7);
      if (only.empty() || std::find(only.begin(), only.end(), name) != only.end()) {
        names.push_back(name);
      }
    }
  }
  if (ec || names.empty()) {
    std::fprintf(stderr, "no reference tracks NAME.f0.csv in %s\n", refdir.c_str());
    return 1;
  }
  std::sort(names.begin(), names.end());
  const fs::path tmp =
      fs::temp_directory_path() / ("bench_f0_realspeech." + std::to_string(getpid()));
  fs::create_directories(tmp);
  if (!dump.empty()) fs::create_directories(dump);

  std::vector<std::string> trackers = {"harmex"};
  if (peers) {
    if (run("command -v praat >/dev/null 2>&1"))
      trackers.push_back("praat-ac");
    else
      std::printf("note: praat not found, skipped\n");
    if (run("test -x /usr/libexec/sptk/bin/pitch")) {
      trackers.push_back("sptk-rapt");
      trackers.push_back("sptk-swipe");
    } else {
      std::printf("note: SPTK's pitch not found, skipped\n");
    }
  }
  // harmex fills its unvoiced frames; the peers are also scored with theirs filled the same way.
  for (std::size_t i = 1, n = trackers.size(); i < n; ++i)
    trackers.push_back(trackers[i] + "-filled");
  std::printf("f0 on %zu real recordings in %s against %s\n", names.size(), sounds.c_str(),
              refdir.c_str());
  std::printf("harmex as the driver runs it (f0 50-1000 Hz, its window and band per rate)\n\n");
  std::printf(
      "per file: GPE %%, FPE cents and median f0 (Hz) of each tracker; the reference's median\n");
  for (std::size_t i = 0; i < trackers.size(); ++i)
    std::printf("  [%zu] %s\n", i + 1, trackers[i].c_str());
  std::printf("%-12s %6s %6s", "file", "rate", "frames");
  for (std::size_t i = 0; i < trackers.size(); ++i)
    std::printf(" |[%zu]  GPE%%   FPE    med", i + 1);
  std::printf(" | %6s\n", "ref");

  std::map<std::string, Score> pooled;
  std::map<std::string, std::vector<std::pair<double, std::string>>> by_file;  // gross, file
  double audio_total = 0.0, cpu_total = 0.0;
  for (const std::string& name : names) {
    const std::string wav = (sounds / (name + ".wav")).string();
    if (!fs::exists(wav)) {
      std::fprintf(stderr, "missing sound %s (see get_sounds.sh)\n", wav.c_str());
      return 1;
    }
    const Reference ref = read_reference(refdir / (name + ".f0.csv"));
    double audio_s = 0.0, cpu_s = 0.0;
    std::map<std::string, Estimate> est;
    est["harmex"] = run_harmex(wav, audio_s, cpu_s);
    audio_total += audio_s;
    cpu_total += cpu_s;
    for (const auto& t : trackers) {
      if (t == "praat-ac") est[t] = run_praat(wav, tmp);
      if (t == "sptk-rapt") est[t] = run_sptk(wav, 0, tmp);
      if (t == "sptk-swipe") est[t] = run_sptk(wav, 1, tmp);
      if (t.size() > 7 && t.compare(t.size() - 7, 7, "-filled") == 0) {
        est[t] = filled(est[t.substr(0, t.size() - 7)]);
      }
    }
    const harmex::Sound probe = harmex::read_sound(wav);
    std::size_t ref_voiced = 0;
    for (char v : ref.voiced) ref_voiced += v != 0;
    std::printf("%-12s %6.0f %6zu", name.c_str(), probe.sr, ref_voiced);
    std::vector<double> ref_values;
    for (const auto& t : trackers) {
      Score s;
      std::ofstream csv;
      if (!dump.empty()) {
        csv.open(dump / (name + "." + t + ".csv"));
        csv << "time_s,ref_hz,est_hz,found_voiced\n";
      }
      for (std::size_t k = 0; k < ref.t.size(); ++k) {
        if (!ref.voiced[k]) continue;
        const double e = est[t].ok ? sample(est[t], ref.t[k]) : 0.0;
        s.add(e, ref.f0[k]);
        if (csv) {
          const auto i = static_cast<std::size_t>(std::lround(ref.t[k] / kHop));
          const int found =
              est[t].voiced.empty() ? e > 0.0 : i < est[t].voiced.size() && est[t].voiced[i];
          csv << ref.t[k] << ',' << ref.f0[k] << ',' << e << ',' << found << '\n';
        }
      }
      if (ref_values.empty()) ref_values = s.ref;
      if (!est[t].ok) std::printf(" [%s: %s]", t.c_str(), est[t].note.c_str());
      std::printf(" |%s%6.2f %5.1f %6.1f", "    ", s.gpe(), s.fpe(), median(s.est));
      pooled[t].pool(s);
      by_file[t].push_back({static_cast<double>(s.gross), name});
    }
    std::printf(" | %6.1f\n", median(ref_values));
  }
  std::printf("\npooled over all files:\n%-18s %8s %8s %8s\n", "tracker", "frames", "GPE %",
              "FPE c");
  for (const auto& t : trackers) {
    std::printf("%-18s %8zu %8.2f %8.1f\n", t.c_str(), pooled[t].voiced, pooled[t].gpe(),
                pooled[t].fpe());
  }
  for (const auto& t : trackers) {
    auto& files = by_file[t];
    std::sort(files.begin(), files.end(),
              [](const auto& a, const auto& b) { return a.first > b.first; });
    std::printf("\n%s: files with most gross errors:", t.c_str());
    for (int i = 0; i < worst && i < static_cast<int>(files.size()); ++i) {
      std::printf(" %s (%.0f)", files[static_cast<std::size_t>(i)].second.c_str(),
                  files[static_cast<std::size_t>(i)].first);
    }
    std::printf("\n");
  }
  std::printf("\nharmex analysis time: %.2f s for %.1f s of sound (%.0fx real time, wall clock)\n",
              cpu_total, audio_total, audio_total / cpu_total);
  fs::remove_all(tmp, ec);
  return 0;
}
