// glotsynth: writes a synthetic voice sound with its true glottal closures and f0 beside it.
#include <getopt.h>

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <exception>
#include <stdexcept>
#include <string>

#include "glotsynth.h"

namespace {

constexpr const char* kUsage =
    "usage: glotsynth [options] OUTPUT.wav\n"
    "Writes a synthetic voice (glottal source through formant resonators) to OUTPUT.wav and,\n"
    "beside it, OUTPUT.gci.txt (true glottal closures: time_s sample_index per line) and\n"
    "OUTPUT.f0.txt (true f0 every 5 ms: time_s f0_hz, 0 where unvoiced).\n"
    "\n"
    "  --sr=HZ              sampling rate (default 44100)\n"
    "  --segments=LIST      phrase as kind:duration[:f0a[-f0b][:vowela[-vowelb]]],...\n"
    "                       kind v voiced, u unvoiced noise, s silence, b burst; seconds, Hz,\n"
    "                       vowels a e i o u (f0 glides log-linearly from f0a to f0b)\n"
    "                       (default: a 2 s phrase of three voiced stretches, a fricative,\n"
    "                       silences and a burst)\n"
    "  --source=lf|rosenberg  glottal pulse model (default lf)\n"
    "  --rd=X               LF shape parameter Rd, 0.3..2.7 (default 1.0)\n"
    "  --oq=X --sq=X        Rosenberg open and speed quotients (default 0.6, 2.0)\n"
    "  --jitter=X           relative standard deviation of the period (default 0.005)\n"
    "  --shimmer=X          relative standard deviation of the amplitude (default 0.03)\n"
    "  --vibrato-rate=HZ    vibrato frequency (default 0: none)\n"
    "  --vibrato-cents=C    vibrato depth in cents (default 0)\n"
    "  --ramp=S             fade in/out of each stretch, seconds (default 0.015)\n"
    "  --unvoiced-level=X   fricative level relative to the voice (default 0.25)\n"
    "  --noise=none|white|babble  additive noise (default none)\n"
    "  --snr=DB             voice-to-noise power ratio over voiced stretches (default 20\n"
    "                       when --noise is given)\n"
    "  --talkers=N          talkers in babble noise (default 6)\n"
    "  --peak=X             peak amplitude, full scale 1 (default 0.8)\n"
    "  --seed=N             random seed (default 1)\n"
    "  --pitch-scale=K      every f0 of the phrase times K (default 1)\n"
    "  --time-scale=R       every stretch but the bursts R times as long (default 1)\n"
    "  --float              write 32-bit float samples instead of 16-bit integers\n"
    "  --help               print this help\n";

double number(const char* name, const char* text) {
  char* end = nullptr;
  const double v = std::strtod(text, &end);
  if (end == text || *end != '\0' || !std::isfinite(v)) {
    std::fprintf(stderr, "glotsynth: --%s: '%s' is not a number\n", name, text);
    std::exit(2);
  }
  return v;
}

}  // namespace

int main(int argc, char** argv) {
  enum {
    kSr = 1000,
    kSegments,
    kSource,
    kRd,
    kOq,
    kSq,
    kJitter,
    kShimmer,
    kVibRate,
    kVibCents,
    kRamp,
    kUnvoiced,
    kNoise,
    kSnr,
    kTalkers,
    kPeak,
    kSeed,
    kFloat,
    kHelp,
    kPitchScale,
    kTimeScale
  };
  const option longopts[] = {
      {"sr", required_argument, nullptr, kSr},
      {"segments", required_argument, nullptr, kSegments},
      {"source", required_argument, nullptr, kSource},
      {"rd", required_argument, nullptr, kRd},
      {"oq", required_argument, nullptr, kOq},
      {"sq", required_argument, nullptr, kSq},
      {"jitter", required_argument, nullptr, kJitter},
      {"shimmer", required_argument, nullptr, kShimmer},
      {"vibrato-rate", required_argument, nullptr, kVibRate},
      {"vibrato-cents", required_argument, nullptr, kVibCents},
      {"ramp", required_argument, nullptr, kRamp},
      {"unvoiced-level", required_argument, nullptr, kUnvoiced},
      {"noise", required_argument, nullptr, kNoise},
      {"snr", required_argument, nullptr, kSnr},
      {"talkers", required_argument, nullptr, kTalkers},
      {"peak", required_argument, nullptr, kPeak},
      {"seed", required_argument, nullptr, kSeed},
      {"float", no_argument, nullptr, kFloat},
      {"help", no_argument, nullptr, kHelp},
      {"pitch-scale", required_argument, nullptr, kPitchScale},
      {"time-scale", required_argument, nullptr, kTimeScale},
      {nullptr, 0, nullptr, 0},
  };
  glotsynth::Options o;
  glotsynth::Encoding enc = glotsynth::Encoding::pcm16;
  bool snr_given = false;
  try {
    int c = 0;
    opterr = 0;
    while ((c = getopt_long(argc, argv, "", longopts, nullptr)) != -1) {
      const std::string arg = optarg ? optarg : "";
      const char* name = optind > 0 && optind <= argc ? argv[optind - 1] + 2 : "";
      switch (c) {
        case kSr:
          o.sr = number(name, optarg);
          break;
        case kSegments:
          o.segments = glotsynth::parse_segments(arg);
          break;
        case kSource:
          if (arg == "lf")
            o.source = glotsynth::Source::lf;
          else if (arg == "rosenberg")
            o.source = glotsynth::Source::rosenberg;
          else
            throw std::invalid_argument("--source must be lf or rosenberg");
          break;
        case kRd:
          o.rd = number(name, optarg);
          break;
        case kOq:
          o.open_quotient = number(name, optarg);
          break;
        case kSq:
          o.speed_quotient = number(name, optarg);
          break;
        case kJitter:
          o.jitter = number(name, optarg);
          break;
        case kShimmer:
          o.shimmer = number(name, optarg);
          break;
        case kVibRate:
          o.vibrato_rate_hz = number(name, optarg);
          break;
        case kVibCents:
          o.vibrato_cents = number(name, optarg);
          break;
        case kRamp:
          o.ramp_s = number(name, optarg);
          break;
        case kUnvoiced:
          o.unvoiced_level = number(name, optarg);
          break;
        case kNoise:
          if (arg == "none")
            o.noise = glotsynth::Noise::none;
          else if (arg == "white")
            o.noise = glotsynth::Noise::white;
          else if (arg == "babble")
            o.noise = glotsynth::Noise::babble;
          else
            throw std::invalid_argument("--noise must be none, white or babble");
          break;
        case kSnr:
          o.snr_db = number(name, optarg);
          snr_given = true;
          break;
        case kTalkers:
          o.babble_talkers = static_cast<int>(number(name, optarg));
          break;
        case kPeak:
          o.peak = number(name, optarg);
          break;
        case kSeed:
          o.seed = static_cast<std::uint64_t>(number(name, optarg));
          break;
        case kFloat:
          enc = glotsynth::Encoding::float32;
          break;
        case kPitchScale:
          o.pitch_scale = number(name, optarg);
          break;
        case kTimeScale:
          o.time_scale = number(name, optarg);
          break;
        case kHelp:
          std::fputs(kUsage, stdout);
          return 0;
        default:
          std::fprintf(stderr, "glotsynth: unknown or incomplete option '%s'\n%s", argv[optind - 1],
                       kUsage);
          return 2;
      }
    }
  } catch (const std::exception& e) {
    std::fprintf(stderr, "glotsynth: %s\n", e.what());
    return 2;
  }
  if (optind != argc - 1) {
    std::fprintf(stderr, "glotsynth: expected exactly one output path\n%s", kUsage);
    return 2;
  }
  if (o.noise != glotsynth::Noise::none && !snr_given) o.snr_db = 20.0;
  const std::string out = argv[optind];
  glotsynth::Result r;
  try {
    r = glotsynth::synthesize(o);
  } catch (const std::exception& e) {
    std::fprintf(stderr, "glotsynth: %s\n", e.what());
    return 2;
  }
  if (!glotsynth::write_wav(out, r.signal, o.sr, enc)) {
    std::fprintf(stderr, "glotsynth: cannot write %s\n", out.c_str());
    return 1;
  }
  if (!glotsynth::write_truth(out, r)) {
    std::fprintf(stderr, "glotsynth: cannot write the truth files beside %s\n", out.c_str());
    return 1;
  }
  std::printf("%s: %zu samples at %g Hz, %zu glottal closures\n", out.c_str(), r.signal.size(),
              o.sr, r.gci_s.size());
  return 0;
}
