// Speed and memory of the voicing analysis and of the zone steps on long recordings.
//
// Reproduce (from the repository root):
//   cmake -S . -B build-voicing -DCMAKE_BUILD_TYPE=Release
//   cmake --build build-voicing --target bench_voicing glotmark -j2
//   build-voicing/bin/bench_voicing                 # --minutes=1,10 (default) --no-program
//
// For each length, a synthetic 44.1 kHz voice (the generator's default phrase repeated, white
// noise at 30 dB SNR) is
//   in process: analysed by analysevoise with the generator's f0 truth, then cut into zones
//     (voiced zones from its coefficient track, transient zones from |signal| as the curve),
//     and the voiced zones are compared with the generator's voicing truth;
//   program:    written as a WAV file with its f0 as an SDIF file, analysed once with
//     "glotmark -E -I f0 --force" (f0 and epochs), then timed with --voice (voicing only), -U
//     (voicing and transients) and -T (zones; every earlier step read back).
// Figures: seconds per minute of audio (wall clock and CPU time of the process, one run each;
// on a shared machine the CPU figure is the steadier one) and peak resident memory per
// second of audio (kB/s, the whole process, signal included; a double signal alone is
// 44100 x 8 bytes = 345 kB/s). Ratios of one run are comparable; absolute figures depend on
// the load of the machine.
#include <unistd.h>

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <filesystem>
#include <string>
#include <vector>

#include "bench_util.h"
#include "driver/cmdline.h"
#include "driver/transientzones.h"
#include "driver/voicedzones.h"
#include "glotsynth.h"
#include "sdif/datatosdif.h"
#include "sdif/sdif_signatures.h"
#include "tessel/tessel.h"
#include "voicing/analysevoise.h"

namespace {

constexpr double kSr = 44100.0;  // sampling rate of the test sounds, Hz

// Default phrase of the generator repeated to at least `minutes` of sound, with white noise
// 30 dB below the voice (so that silences are not digital zeros).
glotsynth::Result make_voice(double minutes) {
  glotsynth::Options o;
  o.sr = kSr;
  o.noise = glotsynth::Noise::white;
  o.snr_db = 30.0;
  const std::vector<glotsynth::Segment> phrase = o.segments;
  o.segments.clear();
  double total = 0.0;
  while (total < minutes * 60.0) {
    for (const auto& seg : phrase) {
      o.segments.push_back(seg);
      total += seg.duration_s;
    }
  }
  return glotsynth::synthesize(o);
}

// The f0 truth (0 where unvoiced) cleaned as the driver cleans a track: values above 2000 Hz
// or below 20 Hz become 150 Hz.
tessel::TesselMatrix<double> f0_track(const glotsynth::Result& r) {
  const int n = static_cast<int>(r.f0_t.size());
  tessel::TesselMatrix<double> m(n, 2, 0.0);
  for (int i = 0; i < n; ++i) {
    const double f = r.f0_hz[i];
    m(i, 0) = r.f0_t[i];
    m(i, 1) = (f > 2000.0 || f < 20.0) ? 150.0 : f;
  }
  return m;
}

using benchutil::in_child;
using benchutil::RunResult;

// The program's standard error stays visible.
RunResult run_program(const std::vector<std::string>& argv) {
  benchutil::RunOptions options;
  options.keep_stderr = true;
  return benchutil::run_program(argv, options);
}

void report(const char* what, const RunResult& m, double audio_s) {
  if (m.status != 0) {
    std::printf("  %-44s failed\n", what);
    return;
  }
  const double minutes = audio_s / 60.0;
  std::printf("  %-42s %7.3f s/min wall %7.3f s/min cpu %8.1f kB/s peak\n", what,
              m.wall_s / minutes, m.cpu_s / minutes, static_cast<double>(m.peak_kb) / audio_s);
}

// Share of the truth's 5 ms instants whose voicing (f0 > 0) agrees with the voiced zones found
// at the default threshold.
void report_agreement(const tessel::TesselMatrix<double>& coef, const glotsynth::Result& truth,
                      long nsamples) {
  tessel::TesselMatrix<double> voiced, unvoiced;
  voicedzones(coef, kSr, 0.6, nsamples, nsamples, voiced, unvoiced);
  long agree = 0;
  int zone = 0;
  const long n = static_cast<long>(truth.f0_t.size());
  for (long i = 0; i < n; ++i) {
    const double t = truth.f0_t[i];
    while (zone < voiced.nrows() && voiced(zone, 1) < t) ++zone;
    const bool found = zone < voiced.nrows() && voiced(zone, 0) <= t;
    agree += (found == (truth.f0_hz[i] > 0.0)) ? 1 : 0;
  }
  std::printf("  %-42s %7.1f %% of %ld instants (%d voiced zones)\n",
              "voiced zones agree with the truth on", 100.0 * agree / n, n, voiced.nrows());
}

void bench_length(double minutes, bool program) {
  std::printf("\n%.0f minute(s) at %.0f Hz\n", minutes, kSr);
  const glotsynth::Result voice = make_voice(minutes);
  const double audio_s = static_cast<double>(voice.signal.size()) / kSr;
  tessel::TesselVector<double> signal(static_cast<int>(voice.signal.size()), 0.0);
  for (int i = 0; i < signal.size(); ++i) signal(i) = voice.signal[i];
  const tessel::TesselMatrix<double> f0 = f0_track(voice);

  // Baseline: the same child doing nothing but touching the signal.
  const RunResult base = in_child([&] {
    volatile double sink = tessel::basic_ops::sum(signal);
    (void)sink;
  });
  report("in process: signal only (baseline)", base, audio_s);

  int frames = 0;
  const RunResult voicing = in_child([&] {
    tessel::TesselMatrix<double> coef, cut;
    double fcmax = 0.0;
    if (!analysevoise(signal, kSr, f0, coef, cut, fcmax).ok() || coef.nrows() == 0) _exit(1);
  });
  report("in process: analysevoise", voicing, audio_s);
  {
    tessel::TesselMatrix<double> coef, cut;
    double fcmax = 0.0;
    const std::clock_t c0 = std::clock();
    if (!analysevoise(signal, kSr, f0, coef, cut, fcmax).ok()) return;
    const double cpu = static_cast<double>(std::clock() - c0) / CLOCKS_PER_SEC;
    frames = coef.nrows();
    std::printf("  %-42s %7.1f us cpu per frame (%d frames)\n", "in process: analysevoise",
                1e6 * cpu / frames, frames);
    report_agreement(coef, voice, signal.size());

    const RunResult zones = in_child([&] {
      tessel::TesselMatrix<double> voiced, unvoiced;
      voicedzones(coef, kSr, 0.6, signal.size(), signal.size(), voiced, unvoiced);
      tessel::TesselVector<double> curve(signal.size(), 0.0);
      for (int i = 0; i < signal.size(); ++i) curve(i) = std::abs(signal(i));
      const tessel::TesselMatrix<double> trans = transientzones(curve, kSr, 0.2, signal.size());
      if (voiced.nrows() == 0) _exit(1);
    });
    report("in process: voiced and transient zones", zones, audio_s);
  }

  const std::string glotmark = std::string(GLOTMARK_BIN_DIR) + "/glotmark";
  if (!program || !std::filesystem::exists(glotmark)) {
    if (program) std::printf("  (no %s: program runs skipped)\n", glotmark.c_str());
    return;
  }
  char tmpl[] = "/tmp/bench_voicing_XXXXXX";
  if (mkdtemp(tmpl) == nullptr) return;
  const std::string dir = tmpl;
  const std::string wav = dir + "/voice.wav";
  const std::string f0_file = dir + "/voice_f0.sdif";
  if (!glotsynth::write_wav(wav, voice.signal, kSr, glotsynth::Encoding::pcm16)) {
    std::printf("  cannot write %s\n", wav.c_str());
    return;
  }
  tessel::TesselVector<double> t(f0.nrows(), 0.0), v(f0.nrows(), 0.0);
  for (int i = 0; i < f0.nrows(); ++i) {
    t(i) = f0(i, 0);
    v(i) = f0(i, 1);
  }
  const gengetopt_args_info header_args{};
  if (!datatosdif(t, v, k1FQ0, k1FQ0, f0_file, header_args).ok()) return;

  const std::vector<std::string> base_args = {glotmark, "-i", wav, "-I", f0_file, "--force"};
  auto with = [&](const char* flag) {
    std::vector<std::string> a = base_args;
    a.push_back(flag);
    return a;
  };
  report("glotmark -E (f0 and epochs, set-up)", run_program(with("-E")), audio_s);
  report("glotmark --voice (voicing computed)", run_program(with("--voice")), audio_s);
  report("glotmark -U (voicing and transients)", run_program(with("-U")), audio_s);
  report("glotmark -T (zones; steps 1-4 read back)", run_program(with("-T")), audio_s);
  std::error_code ec;
  std::filesystem::remove_all(dir, ec);
}

}  // namespace

int main(int argc, char** argv) {
  std::vector<double> lengths = {1.0, 10.0};
  bool program = true;
  for (int i = 1; i < argc; ++i) {
    if (std::strncmp(argv[i], "--minutes=", 10) == 0) {
      lengths.clear();
      for (char* p = argv[i] + 10; *p != '\0';) {
        char* end = nullptr;
        const double m = std::strtod(p, &end);
        if (end == p || !(m > 0.0)) {
          std::fprintf(stderr, "bench_voicing: bad --minutes list\n");
          return 2;
        }
        lengths.push_back(m);
        p = (*end == ',') ? end + 1 : end;
      }
    } else if (std::strcmp(argv[i], "--no-program") == 0) {
      program = false;
    } else {
      std::fprintf(stderr, "usage: bench_voicing [--minutes=1,10] [--no-program]\n");
      return 2;
    }
  }
  for (const double m : lengths) bench_length(m, program);
  return 0;
}
