// Speed and memory of glotmark-plot on a long recording.
//
// Reproduce (from the repository root):
//   cmake -S . -B build -DCMAKE_BUILD_TYPE=Release && cmake --build build -j2
//   build/bin/bench_plot                 # 10 minutes of 44.1 kHz audio
//   build/bin/bench_plot --minutes=60
//   build/bin/bench_plot --minutes=60 --old=/tmp/old/glotmark-plot   # against another build
//
// Writes, in a scratch directory, a sweep as a 16-bit WAV file and the analysis files of that
// length (per-sample epoch and transient curves, f0 every 5 ms, voicing every 10 ms, a mark
// every 8 ms, a zone every second), then times in one run:
//   read     reading what a figure of the whole recording needs (the sound decoded block by
//            block, both curves and the tracks read with the SDIF library), nothing drawn;
//   whole    glotmark-plot of the whole recording (PNG, 85 mm at 300 dpi);
//   second   glotmark-plot of one second in the middle.
// Prints wall time, peak memory, whole/read (the cost of binning and drawing on top of the
// reading that cannot be avoided; target under 1.5) and second/whole. With --old=PROGRAM, that
// other build of glotmark-plot draws the same two figures in the same run, and the ratios of
// its times and peaks to this build's are printed. --keep leaves the scratch directory (its
// name is printed) with the files and figures.
#include <audiofile.h>

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "bench_util.h"
#include "lumbra/lumbra.h"

namespace {

using benchutil::in_child;
using benchutil::run_program;
using benchutil::RunResult;

constexpr int kRate = 44100;  // Hz

void write_sound(const std::string& path, long frames) {
  AFfilesetup setup = afNewFileSetup();
  afInitFileFormat(setup, AF_FILE_WAVE);
  afInitChannels(setup, AF_DEFAULT_TRACK, 1);
  afInitSampleFormat(setup, AF_DEFAULT_TRACK, AF_SAMPFMT_TWOSCOMP, 16);
  afInitRate(setup, AF_DEFAULT_TRACK, kRate);
  AFfilehandle f = afOpenFile(path.c_str(), "w", setup);
  afFreeFileSetup(setup);
  if (f == AF_NULL_FILEHANDLE) std::exit(1);
  std::vector<short> block(65536);
  double phase = 0.0;
  for (long done = 0; done < frames; done += static_cast<long>(block.size())) {
    const int n = static_cast<int>(std::min<long>(static_cast<long>(block.size()), frames - done));
    for (int i = 0; i < n; ++i) {
      phase += 2.0 * M_PI * (100.0 + 100.0 * std::sin((done + i) * 1e-5)) / kRate;
      block[i] = static_cast<short>(12000.0 * std::sin(phase));
    }
    afWriteFrames(f, AF_DEFAULT_TRACK, block.data(), n);
  }
  afCloseFile(f);
}

void write_curve(const std::string& path, const char* sig, long frames) {
  SDIFEntity e;
  if (!e.OpenWrite(path)) std::exit(1);
  SDIFFrame f;
  f.SetHeader(SdifStringToSignature("1EPC"), 0, 0.0);
  SDIFMatrix m(SdifStringToSignature(sig), static_cast<int>(frames), 1);
  float* v = reinterpret_cast<float*>(m.MutableData().data());
  for (long i = 0; i < frames; ++i) v[i] = static_cast<float>(std::fabs(std::sin(i * 0.004)));
  f.AddMatrix(std::move(m));
  f.Write(e);
  e.Close();
}

// One frame per step seconds, value(k) in a 1 x 1 matrix.
template <class F>
void write_track(const std::string& path, const char* frame, const char* matrix, double step,
                 double duration, F value) {
  SDIFEntity e;
  if (!e.OpenWrite(path)) std::exit(1);
  SDIFFrame f;
  SDIFMatrix m(SdifStringToSignature(matrix), 1, 1);
  for (long k = 0; k * step <= duration; ++k) {
    f.ClearData();
    f.SetHeader(SdifStringToSignature(frame), 0, k * step);
    m.Set(0, 0, static_cast<double>(value(k)));
    f.AddMatrix(m);
    f.Write(e);
  }
  e.Close();
}

void write_zones(const std::string& path, double duration, double offset) {
  SDIFEntity e;
  if (!e.OpenWrite(path)) std::exit(1);
  for (long k = 0; k + 1 < duration; ++k) {
    for (const char* sig : {"1BEG", "1END"}) {
      SDIFFrame f;
      f.SetHeader(SdifStringToSignature("1MRK"), 0, k + offset + (sig[1] == 'E' ? 0.4 : 0.0));
      SDIFMatrix m(SdifStringToSignature(sig), 1, 1);
      m.Set(0, 0, static_cast<double>(k));
      f.AddMatrix(m);
      f.Write(e);
    }
  }
  e.Close();
}

void read_everything(const std::string& dir) {
  AFfilehandle f = afOpenFile((dir + "/long.wav").c_str(), "r", AF_NULL_FILESETUP);
  afSetVirtualSampleFormat(f, AF_DEFAULT_TRACK, AF_SAMPFMT_FLOAT, 32);
  std::vector<float> block(65536);
  double sum = 0.0;
  int n = 0;
  while ((n = afReadFrames(f, AF_DEFAULT_TRACK, block.data(), 65536)) > 0) sum += block[n - 1];
  afCloseFile(f);
  for (const char* s : {"1ECS", "1ECL", "1FQ0", "1VUN", "1VUF", "1VUT", "1VOI", "1UVI", "1TRA"}) {
    SDIFEntity e;
    if (!e.OpenRead(dir + "/PSOlong/long." + s + ".sdif")) _exit(1);
    SDIFFrame fr;
    while (!e.eof()) {
      if (e.ReadNextFrame(fr) != 0) sum += fr.GetMatrix(0).GetDouble(0, 0);
    }
  }
  if (sum == 1234.5) std::puts("");  // keeps the reads
}

void report(const char* what, const RunResult& r) {
  std::printf("%-8s %7.2f s  %8.1f MB  status %d\n", what, r.wall_s, r.peak_kb / 1024.0, r.status);
}

}  // namespace

int main(int argc, char** argv) {
  double minutes = 10.0;
  std::string old;
  bool keep = false;  // leaves the scratch directory for a look at the figures
  for (int i = 1; i < argc; ++i) {
    const std::string a = argv[i];
    if (a.rfind("--minutes=", 0) == 0) minutes = std::atof(argv[i] + 10);
    if (a.rfind("--old=", 0) == 0) old = a.substr(6);
    if (a == "--keep") keep = true;
  }
  char tmpl[] = "/tmp/bench-plot-XXXXXX";
  if (mkdtemp(tmpl) == nullptr) return 1;
  const std::string dir = tmpl;
  const long frames = static_cast<long>(minutes * 60.0 * kRate);
  const double d = (frames - 1.0) / kRate;
  const std::string stem = dir + "/PSOlong/long";
  std::system(("mkdir -p " + dir + "/PSOlong").c_str());
  write_sound(dir + "/long.wav", frames);
  write_curve(stem + ".1ECS.sdif", "1ECS", frames);
  write_curve(stem + ".1ECL.sdif", "1ECL", frames);
  write_track(stem + ".1FQ0.sdif", "1FQ0", "1FQ0", 0.005, d, [](long k) { return 120.0 + k % 50; });
  write_track(stem + ".1VUN.sdif", "1VUV", "1VUN", 0.01, d,
              [](long k) { return (k % 100) / 100.0; });
  write_track(stem + ".1VUF.sdif", "1VUV", "1VUF", 0.01, d,
              [](long k) { return 40.0 * (k % 100); });
  write_track(stem + ".1VUT.sdif", "1VUV", "1VUT", 0.008, d, [](long k) { return k % 3; });
  write_zones(stem + ".1VOI.sdif", d, 0.0);
  write_zones(stem + ".1UVI.sdif", d, 0.4);
  write_zones(stem + ".1TRA.sdif", d, 0.8);

  const std::string plot = std::string(GLOTMARK_BIN_DIR) + "/glotmark-plot";
  const RunResult read = in_child([&] { read_everything(dir); });
  const double mid = d / 2;
  const auto figures = [&](const std::string& program) {
    const RunResult whole = run_program({program, "long.wav", "-o", "whole.png"}, {dir});
    const RunResult second = run_program({program, "long.wav", "--from", std::to_string(mid),
                                          "--to", std::to_string(mid + 1), "-o", "s.png"},
                                         {dir});
    return std::pair{whole, second};
  };
  const auto [whole, second] = figures(plot);
  std::printf("%.0f minutes of %d Hz audio\n", minutes, kRate);
  report("read", read);
  report("whole", whole);
  report("second", second);
  std::printf("whole/read %.2f (target under 1.5)   second/whole %.2f\n",
              whole.wall_s / read.wall_s, second.wall_s / whole.wall_s);
  if (!old.empty()) {
    const auto [old_whole, old_second] = figures(old);
    report("old-whole", old_whole);
    report("old-second", old_second);
    std::printf("old/new: whole %.2f time %.2f memory   second %.2f time %.2f memory\n",
                old_whole.wall_s / whole.wall_s, 1.0 * old_whole.peak_kb / whole.peak_kb,
                old_second.wall_s / second.wall_s, 1.0 * old_second.peak_kb / second.peak_kb);
  }
  if (keep) {
    std::printf("figures and files kept in %s\n", dir.c_str());
  } else {
    std::system(("rm -rf " + dir).c_str());
  }
  return whole.status == 0 && second.status == 0 ? 0 : 1;
}
