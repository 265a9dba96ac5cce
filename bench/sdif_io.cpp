// Speed of the SDIF layer on hour-scale files, as ratios to plain stdio on the same bytes.
//
//   cmake --build build --target bench_sdif_io && build/bin/bench_sdif_io [minutes]
//
// Writes and reads back (1) an epoch curve of `minutes` of 44.1 kHz samples (one 1EPC frame,
// datato1EPC / EPCtovector) and (2) a track of one value every 10 ms for an hour (360000
// frames, datatosdif / sdiftomatrix), checks each file with SdifCheckFileFormat, and prints
// the seconds taken and the ratio to writing and reading the file's bytes with fwrite/fread.
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include "bench_util.h"
#include "driver/cmdline.h"
#include "lumbra/lumbra.h"
#include "sdif/EPCtovector.h"
#include "sdif/datato1EPC.h"
#include "sdif/datatosdif.h"
#include "sdif/sdif_signatures.h"
#include "sdif/sdiftomatrix.h"

namespace {

using benchutil::seconds_since;

// Seconds to write then read n bytes with stdio (the floor the SDIF layer is compared with).
std::pair<double, double> stdio_floor(const std::string& path, std::size_t n) {
  std::vector<char> buf(n, 1);
  auto t0 = std::chrono::steady_clock::now();
  std::FILE* f = std::fopen(path.c_str(), "wb");
  std::fwrite(buf.data(), 1, n, f);
  std::fclose(f);
  const double w = seconds_since(t0);
  t0 = std::chrono::steady_clock::now();
  f = std::fopen(path.c_str(), "rb");
  const std::size_t got = std::fread(buf.data(), 1, n, f);
  std::fclose(f);
  const double r = seconds_since(t0);
  if (got != n) std::fprintf(stderr, "short read\n");
  std::filesystem::remove(path);
  return {w, r};
}

gengetopt_args_info args() {
  gengetopt_args_info a;
  a.input_arg = "bench.wav";
  a.method_epocs_arg = "ener";
  return a;
}

}  // namespace

int main(int argc, char** argv) {
  const double minutes = argc > 1 ? std::atof(argv[1]) : 10.0;
  const std::string dir = std::filesystem::temp_directory_path() / "glotmark-bench-sdif";
  std::filesystem::create_directories(dir);

  {
    const long n = static_cast<long>(minutes * 60 * 44100);
    tessel::TesselVector<double> curve(n);
    for (long i = 0; i < n; ++i) curve[i] = static_cast<double>(i % 441) * 0.5;
    const std::string path = dir + "/curve.1ECS.sdif";
    auto t0 = std::chrono::steady_clock::now();
    if (!datato1EPC(curve, k1ECS, path, args()).ok()) return 1;
    const double w = seconds_since(t0);
    t0 = std::chrono::steady_clock::now();
    const bool ok = SdifCheckFileFormat(path);
    const double c = seconds_since(t0);
    tessel::TesselVector<double> back;
    t0 = std::chrono::steady_clock::now();
    if (!EPCtovector(path, back, ":1EPC/1ECS").ok() || back.size() != n || !ok) return 1;
    const double r = seconds_since(t0);
    const auto bytes = std::filesystem::file_size(path);
    std::filesystem::remove(path);
    const auto [fw, fr] = stdio_floor(path, bytes);
    std::printf("epoch curve, %.0f min at 44.1 kHz (%ld values, %.1f MB):\n", minutes, n,
                bytes / 1e6);
    std::printf("  write %.3f s (%.2f x stdio), check %.4f s, read %.3f s (%.2f x stdio)\n", w,
                w / fw, c, r, r / fr);
  }
  {
    const long n = 360000;  // one hour of 10 ms frames
    tessel::TesselVector<double> t(n), v(n);
    for (long i = 0; i < n; ++i) {
      t[i] = 0.01 * static_cast<double>(i);
      v[i] = 0.5;
    }
    const std::string path = dir + "/track.1VUN.sdif";
    auto t0 = std::chrono::steady_clock::now();
    if (!datatosdif(t, v, k1VUV, k1VUN, path, args()).ok()) return 1;
    const double w = seconds_since(t0);
    t0 = std::chrono::steady_clock::now();
    const bool ok = SdifCheckFileFormat(path);
    const double c = seconds_since(t0);
    tessel::TesselMatrix<double> back;
    t0 = std::chrono::steady_clock::now();
    if (!sdiftomatrix(path, back, ":1VUV/1VUN").ok() || back.nrows() != n || !ok) return 1;
    const double r = seconds_since(t0);
    const auto bytes = std::filesystem::file_size(path);
    std::filesystem::remove(path);
    const auto [fw, fr] = stdio_floor(path, bytes);
    std::printf("track, one hour of 10 ms frames (%ld frames, %.1f MB):\n", n, bytes / 1e6);
    std::printf("  write %.3f s (%.1f x stdio), check %.3f s, read %.3f s (%.1f x stdio)\n", w,
                w / fw, c, r, r / fr);
  }
  std::filesystem::remove_all(dir);
  return 0;
}
