// harmex: writes the f0 track of a sound as an SDIF file of 1FQ0 frames.
#include <unistd.h>
#ifdef __linux__
#include <sys/prctl.h>

#include <csignal>
#endif

#include <cstdio>
#include <cstdlib>
#include <exception>
#include <new>
#include <stdexcept>
#include <string>
#include <utility>

#include "harmex/harmex.h"

namespace {

constexpr const char* kVersion = "1.0";

std::string format(const char* fmt, double v) {
  char buf[64];
  std::snprintf(buf, sizeof buf, fmt, v);
  return buf;
}

// Run by another program that names itself in GLOTMARK_PARENT_PID: end with it, so that a run
// killed while its f0 analysis goes on leaves nothing running. False when that parent is gone
// already (before the death signal was armed).
bool follow_parent() {
  const char* parent = std::getenv("GLOTMARK_PARENT_PID");
  if (parent == nullptr || *parent == '\0') return true;
#ifdef __linux__
  if (::prctl(PR_SET_PDEATHSIG, SIGTERM) != 0) return true;
#endif
  return std::strtol(parent, nullptr, 10) == static_cast<long>(::getppid());
}

}  // namespace

int main(int argc, char** argv) {
  if (!follow_parent()) return 1;
  harmex::Request req;
  try {
    req = harmex::parse_command_line(argc, argv);
  } catch (const harmex::UsageError& e) {
    std::fprintf(stderr, "harmex: %s\n%s", e.message.c_str(), e.malformed ? harmex::usage() : "");
    return 2;
  }
  if (req.help) {
    std::fputs(harmex::usage(), stdout);
    return 0;
  }
  if (req.version) {
    std::printf("harmex %s\n", HARMEX_VERSION);
    return 0;
  }
  try {
    harmex::Sound sound = harmex::read_sound(req.sound_path);
    if (!sound.warning.empty()) {
      std::fprintf(stderr, "harmex: warning: %s\n", sound.warning.c_str());
    }
    harmex::Track track;
    try {
      // Handing the samples over lets the estimator free them once decimated.
      track = harmex::estimate_f0(std::move(sound.samples), sound.sr, req.options);
    } catch (const std::invalid_argument& e) {
      // A well-formed value that this sound cannot be analysed with (an f0 floor too low for
      // the estimator, or too high for the rate): the reason alone, the usage would not help.
      std::fprintf(stderr, "harmex: %s (sampling rate %g Hz)\n", e.what(), sound.sr);
      return 2;
    }
    std::size_t voiced = 0;
    for (char v : track.voiced) voiced += v != 0;
    const std::vector<std::pair<std::string, std::string>> params = {
        {"Program", "harmex"},
        {"Version", kVersion},
        {"Analysis", "f0"},
        {"Sound", req.sound_path},
        {"SamplingRate", format("%.2f", sound.sr)},
        {"f0min", format("%.2f", req.options.f0min_hz)},
        {"f0max", format("%.2f", req.options.f0max_hz)},
        {"WindowSamples", format("%.2f", track.window_samples)},
        {"f0ana", format("%.2f", track.band_hz)},
        {"FrameStep", format("%.3f", req.options.hop_s)},
        {"Frames", std::to_string(track.t_s.size())},
        {"VoicedFrames", std::to_string(voiced)},
    };
    harmex::write_f0_sdif(req.output_path, track, params);
  } catch (const std::bad_alloc&) {
    std::fprintf(stderr, "harmex: out of memory\n");
    return 1;
  } catch (const std::exception& e) {
    std::fprintf(stderr, "harmex: %s\n", e.what());
    return 1;
  }
  return 0;
}
