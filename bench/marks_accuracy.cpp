// How well the voiced pitch marks sit on the true glottal closures, per epoch method.
//
// Reproduce (from the repository root):
//   cmake -S . -B build-marks -DCMAKE_BUILD_TYPE=Release
//   cmake --build build-marks --target bench_marks_accuracy glotmark harmex_program -j2
//   build-marks/bin/bench_marks_accuracy          # --keep leaves the sounds and analyses
//
// Material: voices from the project's generator of test sounds at 44.1 kHz with their true
// closure instants: low, middle and high speaking ranges, glides and vibrato, LF and Rosenberg
// sources, jitter and shimmer, clean and with white or babble-like noise, each stretch of
// voice separated by fricatives, bursts or silences. Every voice is analysed by the built
// program with -M and each epoch method (-e ener, frob, realloc), with the f0 of harmex (the
// default chain) and with the true f0 given as an f0 file (-I), which isolates the marks from
// f0 errors.
//
// Figures, over the true closures g[i] (the window of g[i] runs from half the period before it
// to half the period after it; at the ends of a voiced stretch the inner half-period is
// mirrored):
//   one      share of closures with exactly one voiced mark in their window (identification)
//   none     share with no voiced mark (miss)
//   several  share with more than one (false alarm)
//   bias, spread   mean and standard deviation of mark time - closure time over the
//                  identified closures, in milliseconds
//   |d|<0.25 share of identified closures whose mark lies within 0.25 ms
//   stray    share of voiced marks that fall in no closure window (marks in unvoiced stretches
//            or silences)
#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include "bench_util.h"
#include "glotsynth.h"
#include "sdif/sdiftomatrix.h"

namespace {

namespace fs = std::filesystem;
using benchutil::Voice;
constexpr double kSr = 44100.0;      // Hz
constexpr double kMaxGapS = 0.025;   // closures further apart belong to different stretches (s)
constexpr double kCloseS = 0.00025;  // "close" offset, s

const Voice kVoices[] = {
    {"low", "s:0.1,v:0.9:95-120:a-o,u:0.12,v:0.8:110-85:e-u,s:0.1,b:0.03,v:0.7:100-130:o-a,s:0.1",
     glotsynth::Source::lf, 0.005, 0.03, 0.0, glotsynth::Noise::none, INFINITY},
    {"middle", "s:0.1,v:0.8:150-210:e-i,u:0.1,v:0.9:190-140:a-e,s:0.08,v:0.6:160-180:i-o,s:0.1",
     glotsynth::Source::lf, 0.008, 0.04, 30.0, glotsynth::Noise::none, INFINITY},
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
  long closures = 0, one = 0, none = 0, several = 0, close = 0;
  long marks = 0, stray = 0;
  double sum = 0.0, sum2 = 0.0;
  void merge(const Tally& o) {
    closures += o.closures, one += o.one, none += o.none, several += o.several;
    close += o.close, marks += o.marks, stray += o.stray, sum += o.sum, sum2 += o.sum2;
  }
};

// Counts the voiced marks (sorted times) around each true closure.
Tally score(const std::vector<double>& gci, const std::vector<double>& marks) {
  Tally t;
  std::vector<char> used(marks.size(), 0);
  for (std::size_t i = 0; i < gci.size(); ++i) {
    const double before = i > 0 ? gci[i] - gci[i - 1] : INFINITY;
    const double after = i + 1 < gci.size() ? gci[i + 1] - gci[i] : INFINITY;
    const bool has_before = before <= kMaxGapS, has_after = after <= kMaxGapS;
    if (!has_before && !has_after) continue;  // an isolated pulse has no period
    const double left = 0.5 * (has_before ? before : after);
    const double right = 0.5 * (has_after ? after : before);
    const auto lo = std::lower_bound(marks.begin(), marks.end(), gci[i] - left);
    const auto hi = std::lower_bound(marks.begin(), marks.end(), gci[i] + right);
    const long count = hi - lo;
    for (auto it = lo; it != hi; ++it) used[it - marks.begin()] = 1;
    ++t.closures;
    if (count == 0) {
      ++t.none;
    } else if (count > 1) {
      ++t.several;
    } else {
      const double d = *lo - gci[i];
      ++t.one;
      t.sum += d;
      t.sum2 += d * d;
      if (std::fabs(d) <= kCloseS) ++t.close;
    }
  }
  t.marks = static_cast<long>(marks.size());
  t.stray = static_cast<long>(std::count(used.begin(), used.end(), 0));
  return t;
}

void print_row(const char* label, const Tally& t) {
  const auto pct = [](long a, long b) { return b > 0 ? 100.0 * a / b : 0.0; };
  const double mean = t.one > 0 ? t.sum / t.one : 0.0;
  const double sd =
      t.one > 1 ? std::sqrt(std::max(0.0, (t.sum2 - t.one * mean * mean) / (t.one - 1))) : 0.0;
  std::printf("%-22s %7ld %7.1f %6.1f %8.1f %8.3f %8.3f %9.1f %7.1f\n", label, t.closures,
              pct(t.one, t.closures), pct(t.none, t.closures), pct(t.several, t.closures),
              1e3 * mean, 1e3 * sd, pct(t.close, t.one), pct(t.stray, t.marks));
}

}  // namespace

int main(int argc, char** argv) {
  const bool keep = argc > 1 && std::string(argv[1]) == "--keep";
  std::string dir = (fs::temp_directory_path() / "glotmark-acc-XXXXXX").string();
  if (mkdtemp(dir.data()) == nullptr) return 1;
  const std::string glotmark = std::string(GLOTMARK_BIN_DIR) + "/glotmark";
  const char* methods[] = {"ener", "frob", "realloc"};

  std::printf("voiced marks against true closures, 44.1 kHz; scratch %s\n", dir.c_str());
  std::printf("%-22s %7s %7s %6s %8s %8s %8s %9s %7s\n", "method / f0 / voice", "GCIs", "one %",
              "none%", "several%", "bias ms", "sprd ms", "|d|<.25%", "stray%");
  int failures = 0;
  for (const bool true_f0 : {false, true}) {
    for (const char* method : methods) {
      Tally all;
      for (const Voice& v : kVoices) {
        const glotsynth::Result r = glotsynth::synthesize(benchutil::voice_options(v, kSr, 5));
        const std::string base = std::string(v.name);
        const std::string wav = dir + "/" + base + ".wav";
        const std::string f0 = dir + "/" + base + ".f0.sdif";
        if (!glotsynth::write_wav(wav, r.signal, kSr, glotsynth::Encoding::pcm16) ||
            !benchutil::write_true_f0(f0, r)) {
          std::fprintf(stderr, "cannot write %s\n", wav.c_str());
          return 1;
        }
        fs::remove_all(dir + "/PSO" + base);
        std::vector<std::string> cmd = {glotmark, "-i", wav, "-M", "-e", method};
        if (true_f0) cmd.insert(cmd.end(), {"-I", f0});
        tessel::TesselMatrix<double> kinds;
        const std::string vut = dir + "/PSO" + base + "/" + base + ".1VUT.sdif";
        if (benchutil::run_program(cmd).status != 0 ||
            !sdiftomatrix(vut, kinds, ":1VUV/1VUT").ok()) {
          std::printf("%s %s: run failed\n", method, v.name);
          ++failures;
          continue;
        }
        std::vector<double> voiced;
        for (int i = 0; i < kinds.nrows(); ++i) {
          if (kinds(i, 1) == 1.0) voiced.push_back(kinds(i, 0));
        }
        const Tally t = score(r.gci_s, voiced);
        all.merge(t);
        const std::string label = std::string(method) + (true_f0 ? " true " : " harmex ") + v.name;
        print_row(label.c_str(), t);
      }
      const std::string label = std::string(method) + (true_f0 ? " true" : " harmex") + " ALL";
      print_row(label.c_str(), all);
      std::printf("\n");
    }
  }
  if (!keep) fs::remove_all(dir);
  return failures == 0 ? 0 : 1;
}
