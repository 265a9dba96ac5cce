// Speed and memory of the sound reader on a long recording.
//
// Reproduce (from the repository root):
//   cmake -S . -B build-driver -DCMAKE_BUILD_TYPE=Release
//   cmake --build build-driver --target bench_readsf -j2
//   build-driver/bin/bench_readsf              # 20 minutes of 44.1 kHz 16-bit mono
//   build-driver/bin/bench_readsf --minutes=60
//
// Writes a sine sweep as a WAV file in a scratch directory, then times, in one process and one
// run, (a) the bare library decode: afReadFrames into one reused 1024-float block, nothing kept;
// (b) the least a reader that keeps the signal can do: the same decode, each block converted
// into one array of doubles allocated beforehand at the exact size; and (c) readsf, timed
// before (b) so that its peak memory is measured first. Prints
//   keep/bare    (b) / (a): the cost of touching 8 bytes of fresh memory per frame
//   readsf/keep  (c) / (b): readsf's own overhead (target under 1.3)
//   B/frame      growth of the peak resident memory during readsf per frame (8 is the signal
//                itself; target under 12, i.e. no second copy and no doubling left over)
//   print/readsf the sound's fingerprint (taken by every analysis run on the samples read)
//                against readsf: what the reuse key costs next to reading alone
#include <audiofile.h>
#include <sys/resource.h>
#include <unistd.h>

#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "bench_util.h"
#include "sound/readsf.h"
#include "sound/sound_fingerprint.h"

namespace {

constexpr int kRate = 44100;  // Hz
constexpr int kBlock = 1024;  // frames per library call

long peak_rss_kb() {
  rusage u{};
  getrusage(RUSAGE_SELF, &u);
  return u.ru_maxrss;
}

void write_sweep(const std::string& path, long frames) {
  AFfilesetup setup = afNewFileSetup();
  afInitFileFormat(setup, AF_FILE_WAVE);
  afInitChannels(setup, AF_DEFAULT_TRACK, 1);
  afInitSampleFormat(setup, AF_DEFAULT_TRACK, AF_SAMPFMT_TWOSCOMP, 16);
  afInitRate(setup, AF_DEFAULT_TRACK, kRate);
  AFfilehandle f = afOpenFile(path.c_str(), "w", setup);
  afFreeFileSetup(setup);
  if (f == AF_NULL_FILEHANDLE) std::exit(1);
  std::vector<short> block(kBlock);
  double phase = 0.0;
  for (long done = 0; done < frames; done += kBlock) {
    const int n = static_cast<int>(std::min<long>(kBlock, frames - done));
    for (int i = 0; i < n; ++i) {
      const double f0 = 100.0 + 200.0 * ((done + i) % (kRate * 10)) / (kRate * 10.0);  // Hz
      phase += 2.0 * M_PI * f0 / kRate;
      block[i] = static_cast<short>(12000.0 * std::sin(phase));
    }
    afWriteFrames(f, AF_DEFAULT_TRACK, block.data(), n);
  }
  afCloseFile(f);
}

using benchutil::seconds_since;

}  // namespace

int main(int argc, char** argv) {
  double minutes = 20.0;
  for (int i = 1; i < argc; ++i)
    if (std::strncmp(argv[i], "--minutes=", 10) == 0) minutes = std::atof(argv[i] + 10);
  const long frames = static_cast<long>(minutes * 60.0 * kRate);

  char dir[] = "/tmp/bench-readsf-XXXXXX";
  if (mkdtemp(dir) == nullptr) return 1;
  const std::string path = std::string(dir) + "/sweep.wav";
  write_sweep(path, frames);

  // (a) bare decode.
  auto t0 = std::chrono::steady_clock::now();
  {
    AFfilehandle f = afOpenFile(path.c_str(), "r", AF_NULL_FILESETUP);
    afSetVirtualSampleFormat(f, AF_DEFAULT_TRACK, AF_SAMPFMT_FLOAT, 32);
    afSetVirtualChannels(f, AF_DEFAULT_TRACK, 1);
    std::vector<float> block(kBlock);
    volatile float sink = 0.0f;
    while (afReadFrames(f, AF_DEFAULT_TRACK, block.data(), kBlock) > 0) sink = sink + block[0];
    afCloseFile(f);
  }
  const double bare = seconds_since(t0);

  // (c) readsf.
  const long rss_before = peak_rss_kb();
  t0 = std::chrono::steady_clock::now();
  double rate = 0.0;
  const auto read = readsf(path, rate);
  const double full = seconds_since(t0);
  const long rss_after = peak_rss_kb();
  if (!read) {
    std::fputs(read.error().text.c_str(), stderr);
    return 1;
  }
  const auto& x = read.value();

  t0 = std::chrono::steady_clock::now();
  const std::string print = sound_fingerprint({x.data(), static_cast<std::size_t>(x.size())}, rate);
  const double fingerprint = seconds_since(t0);

  // (b) decode and keep, exact allocation.
  t0 = std::chrono::steady_clock::now();
  {
    AFfilehandle f = afOpenFile(path.c_str(), "r", AF_NULL_FILESETUP);
    afSetVirtualSampleFormat(f, AF_DEFAULT_TRACK, AF_SAMPFMT_FLOAT, 32);
    afSetVirtualChannels(f, AF_DEFAULT_TRACK, 1);
    std::vector<float> block(kBlock);
    double* kept = static_cast<double*>(std::malloc(sizeof(double) * frames));
    long count = 0;
    int n = 0;
    while ((n = afReadFrames(f, AF_DEFAULT_TRACK, block.data(), kBlock)) > 0) {
      for (int i = 0; i < n; ++i) kept[count + i] = block[i];
      count += n;
    }
    afCloseFile(f);
    volatile double sink = kept[count / 2];
    (void)sink;
    std::free(kept);
  }
  const double keep = seconds_since(t0);

  std::printf(
      "%.0f min, %ld frames: bare %.3f s, keep %.3f s, readsf %.3f s; keep/bare %.2f, "
      "readsf/keep %.2f, B/frame %.2f (signal %ld samples); fingerprint %.3f s, print/readsf "
      "%.3f (%s)\n",
      minutes, frames, bare, keep, full, keep / bare, full / keep,
      1024.0 * static_cast<double>(rss_after - rss_before) / static_cast<double>(frames),
      static_cast<long>(x.size()), fingerprint, fingerprint / full, print.c_str());
  std::remove(path.c_str());
  rmdir(dir);
  return x.size() == frames ? 0 : 1;
}
