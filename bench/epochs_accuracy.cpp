// Where each epoch method's curve peaks relative to the true glottal closures.
//
// Reproduce (from the repository root):
//   cmake -S . -B build-epochs -DCMAKE_BUILD_TYPE=Release
//   cmake --build build-epochs --target bench_epochs_accuracy glotmark -j2
//   build-epochs/bin/bench_epochs_accuracy        # --keep leaves the sounds and analyses
//
// Material: voices from the project's generator of test sounds at 44.1 kHz with their true
// closure instants: low, middle and high speaking ranges, glides and vibrato, LF and Rosenberg
// sources, jitter and shimmer, clean and with white or babble-like noise, voiced stretches
// separated by fricatives or silences. Each voice is analysed by the built program with
// -E -e ener|frob|realloc and its true f0 given as an f0 file (-I), so that the window lengths
// come from the true median f0; the 1ECS file is read back.
//
// Figures, over the true closures g of steady voiced stretches (both neighbouring closures
// within 25 ms, and at least 30 ms from the stretch's first and last closure): the offset d of
// the curve's largest value within half a period on either side of g (from g - (g - g_prev) / 2
// to g + (g_next - g) / 2), in samples, positive when the peak comes after the closure:
//   mean, sd      mean and standard deviation of d
//   median |d|    median of |d|
//   |d|<=5 %      share of closures whose peak lies within 5 samples (0.11 ms)
// The methods are measured as they are defined; nothing here tunes them.
#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include "bench_util.h"
#include "glotsynth.h"
#include "sdif/EPCtovector.h"

namespace {

namespace fs = std::filesystem;
using benchutil::Voice;
constexpr double kSr = 44100.0;          // Hz
constexpr double kMaxGapS = 0.025;       // closures further apart belong to different stretches
constexpr double kSteadyMarginS = 0.03;  // closures this close to a stretch's ends are left out
constexpr long kNearSamples = 5;         // "near" offset, samples

const Voice kVoices[] = {
    {"low", "s:0.1,v:0.9:95-120:a-o,u:0.12,v:0.8:110-85:e-u,s:0.1", glotsynth::Source::lf, 0.005,
     0.03, 0.0, glotsynth::Noise::none, INFINITY},
    {"middle", "s:0.1,v:0.8:150-210:e-i,u:0.1,v:0.9:190-140:a-e,s:0.1", glotsynth::Source::lf,
     0.008, 0.04, 30.0, glotsynth::Noise::none, INFINITY},
    {"high", "s:0.1,v:0.8:240-320:i-e,u:0.1,v:0.9:300-230:a-i,s:0.1", glotsynth::Source::lf, 0.005,
     0.03, 40.0, glotsynth::Noise::none, INFINITY},
    {"rosenberg", "s:0.1,v:0.9:120-160:a-e,u:0.12,v:0.8:170-120:o-a,s:0.1",
     glotsynth::Source::rosenberg, 0.01, 0.05, 0.0, glotsynth::Noise::none, INFINITY},
    {"white20", "s:0.1,v:0.9:105-145:a-e,u:0.12,v:0.8:160-120:i-o,s:0.1", glotsynth::Source::lf,
     0.005, 0.03, 0.0, glotsynth::Noise::white, 20.0},
    {"babble10", "s:0.1,v:0.9:130-170:o-a,u:0.12,v:0.8:200-150:e-i,s:0.1", glotsynth::Source::lf,
     0.005, 0.03, 0.0, glotsynth::Noise::babble, 10.0},
};

struct Tally {
  std::vector<double> d;  // offsets, samples
  void merge(const Tally& o) { d.insert(d.end(), o.d.begin(), o.d.end()); }
};

// Offsets of the curve's largest value around each closure of the steady stretches.
Tally score(const std::vector<long>& gci, const tessel::TesselVector<double>& curve) {
  Tally t;
  const long gap = std::lround(kMaxGapS * kSr), margin = std::lround(kSteadyMarginS * kSr);
  std::size_t start = 0;  // first closure of the current stretch
  for (std::size_t i = 0; i < gci.size(); ++i) {
    if (i > 0 && gci[i] - gci[i - 1] > gap) start = i;
    std::size_t end = i;  // last closure of the current stretch
    while (end + 1 < gci.size() && gci[end + 1] - gci[end] <= gap) ++end;
    if (i == start || i == end) continue;
    if (gci[i] - gci[start] < margin || gci[end] - gci[i] < margin) continue;
    const long lo = gci[i] - (gci[i] - gci[i - 1]) / 2;
    const long hi = gci[i] + (gci[i + 1] - gci[i]) / 2;
    if (lo < 0 || hi >= curve.size()) continue;
    long best = lo;
    for (long k = lo + 1; k <= hi; ++k) {
      if (curve[k] > curve[best]) best = k;
    }
    t.d.push_back(static_cast<double>(best - gci[i]));
  }
  return t;
}

void print_row(const std::string& label, const Tally& t) {
  const std::size_t n = t.d.size();
  double sum = 0.0, sum2 = 0.0;
  long near = 0;
  std::vector<double> a(n);
  for (std::size_t i = 0; i < n; ++i) {
    sum += t.d[i];
    sum2 += t.d[i] * t.d[i];
    a[i] = std::fabs(t.d[i]);
    if (a[i] <= kNearSamples) ++near;
  }
  const double mean = n > 0 ? sum / n : 0.0;
  const double sd = n > 1 ? std::sqrt(std::max(0.0, (sum2 - n * mean * mean) / (n - 1))) : 0.0;
  std::sort(a.begin(), a.end());
  const double med = n > 0 ? (n % 2 ? a[n / 2] : 0.5 * (a[n / 2 - 1] + a[n / 2])) : 0.0;
  std::printf("%-20s %6zu %8.2f %8.2f %10.1f %9.1f\n", label.c_str(), n, mean, sd, med,
              n > 0 ? 100.0 * near / n : 0.0);
}

}  // namespace

int main(int argc, char** argv) {
  const bool keep = argc > 1 && std::string(argv[1]) == "--keep";
  std::string dir = (fs::temp_directory_path() / "glotmark-epochs-acc-XXXXXX").string();
  if (mkdtemp(dir.data()) == nullptr) return 1;
  const std::string glotmark = std::string(GLOTMARK_BIN_DIR) + "/glotmark";
  const char* methods[] = {"ener", "frob", "realloc"};

  std::printf("epoch-curve peaks against true closures (samples at 44.1 kHz); scratch %s\n",
              dir.c_str());
  std::printf("%-20s %6s %8s %8s %10s %9s\n", "method / voice", "GCIs", "mean", "sd", "median|d|",
              "|d|<=5 %");
  int failures = 0;
  for (const char* method : methods) {
    Tally all;
    for (const Voice& v : kVoices) {
      const glotsynth::Result r = glotsynth::synthesize(benchutil::voice_options(v, kSr, 7));
      const std::string base = v.name;
      const std::string wav = dir + "/" + base + ".wav";
      const std::string f0 = dir + "/" + base + ".f0.sdif";
      if (!glotsynth::write_wav(wav, r.signal, kSr, glotsynth::Encoding::float32) ||
          !benchutil::write_true_f0(f0, r)) {
        std::fprintf(stderr, "cannot write %s\n", wav.c_str());
        return 1;
      }
      tessel::TesselVector<double> curve;
      const std::string ecs = dir + "/PSO" + base + "/" + base + ".1ECS.sdif";
      if (benchutil::run_program({glotmark, "-i", wav, "-E", "-e", method, "-I", f0}).status != 0 ||
          !EPCtovector(ecs, curve, ":1EPC/1ECS").ok()) {
        std::printf("%s %s: run failed\n", method, v.name);
        ++failures;
        continue;
      }
      const Tally t = score(r.gci_n, curve);
      all.merge(t);
      print_row(std::string(method) + " " + v.name, t);
    }
    print_row(std::string(method) + " ALL", all);
    std::printf("\n");
  }
  if (!keep) fs::remove_all(dir);
  return failures == 0 ? 0 : 1;
}
