// glotsynth: writes a synthetic voice sound with its true glottal closures and f0 beside it.
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <exception>
#include <stdexcept>
#include <string>
#include <vector>

#include "core/option_table.h"
#include "glotsynth.h"

namespace {

// The command line as given: every value as its text, counted by its `given` field.
struct Args {
  std::string sr, segments, source, rd, oq, sq, jitter, shimmer, vibrato_rate, vibrato_cents;
  std::string ramp, unvoiced_level, noise, snr, talkers, peak, seed, pitch_scale, time_scale;
  int float_flag = 0;
  unsigned sr_given = 0, segments_given = 0, source_given = 0, rd_given = 0, oq_given = 0;
  unsigned sq_given = 0, jitter_given = 0, shimmer_given = 0, vibrato_rate_given = 0;
  unsigned vibrato_cents_given = 0, ramp_given = 0, unvoiced_level_given = 0, noise_given = 0;
  unsigned snr_given = 0, talkers_given = 0, peak_given = 0, seed_given = 0;
  unsigned pitch_scale_given = 0, time_scale_given = 0, float_given = 0, help_given = 0;
};

using A = Args;
using K = OptionKind;

// clang-format off
const OptionRow<A> kOptions[] = {
  {0, "sr", K::text, "  --sr=HZ              sampling rate (default 44100)", &A::sr_given, nullptr, &A::sr},
  {0, "segments", K::text,
   "  --segments=LIST      phrase as kind:duration[:f0a[-f0b][:vowela[-vowelb]]],...\n"
   "                       kind v voiced, u unvoiced noise, s silence, b burst; seconds, Hz,\n"
   "                       vowels a e i o u (f0 glides log-linearly from f0a to f0b)\n"
   "                       (default: a 2 s phrase of three voiced stretches, a fricative,\n"
   "                       silences and a burst)", &A::segments_given, nullptr, &A::segments},
  {0, "source", K::text, "  --source=lf|rosenberg  glottal pulse model (default lf)", &A::source_given, nullptr, &A::source},
  {0, "rd", K::text, "  --rd=X               LF shape parameter Rd, 0.3..2.7 (default 1.0)", &A::rd_given, nullptr, &A::rd},
  {0, "oq", K::text, "  --oq=X               Rosenberg open quotient (default 0.6)", &A::oq_given, nullptr, &A::oq},
  {0, "sq", K::text, "  --sq=X               Rosenberg speed quotient (default 2.0)", &A::sq_given, nullptr, &A::sq},
  {0, "jitter", K::text, "  --jitter=X           relative standard deviation of the period (default 0.005)", &A::jitter_given, nullptr, &A::jitter},
  {0, "shimmer", K::text, "  --shimmer=X          relative standard deviation of the amplitude (default 0.03)", &A::shimmer_given, nullptr, &A::shimmer},
  {0, "vibrato-rate", K::text, "  --vibrato-rate=HZ    vibrato frequency (default 0: none)", &A::vibrato_rate_given, nullptr, &A::vibrato_rate},
  {0, "vibrato-cents", K::text, "  --vibrato-cents=C    vibrato depth in cents (default 0)", &A::vibrato_cents_given, nullptr, &A::vibrato_cents},
  {0, "ramp", K::text, "  --ramp=S             fade in/out of each stretch, seconds (default 0.015)", &A::ramp_given, nullptr, &A::ramp},
  {0, "unvoiced-level", K::text, "  --unvoiced-level=X   fricative level relative to the voice (default 0.25)", &A::unvoiced_level_given, nullptr, &A::unvoiced_level},
  {0, "noise", K::text, "  --noise=none|white|babble  additive noise (default none)", &A::noise_given, nullptr, &A::noise},
  {0, "snr", K::text,
   "  --snr=DB             voice-to-noise power ratio over voiced stretches (default 20\n"
   "                       when --noise is given)", &A::snr_given, nullptr, &A::snr},
  {0, "talkers", K::text, "  --talkers=N          talkers in babble noise (default 6)", &A::talkers_given, nullptr, &A::talkers},
  {0, "peak", K::text, "  --peak=X             peak amplitude, full scale 1 (default 0.8)", &A::peak_given, nullptr, &A::peak},
  {0, "seed", K::text, "  --seed=N             random seed (default 1)", &A::seed_given, nullptr, &A::seed},
  {0, "pitch-scale", K::text, "  --pitch-scale=K      every f0 of the phrase times K (default 1)", &A::pitch_scale_given, nullptr, &A::pitch_scale},
  {0, "time-scale", K::text, "  --time-scale=R       every stretch but the bursts R times as long (default 1)", &A::time_scale_given, nullptr, &A::time_scale},
  {0, "float", K::flag, "  --float              write 32-bit float samples instead of 16-bit integers", &A::float_given, &A::float_flag},
  {0, "help", K::help, "  --help               print this help", &A::help_given},
};
// clang-format on

constexpr const char* kUsageHead =
    "usage: glotsynth [options] OUTPUT.wav\n"
    "Writes a synthetic voice (glottal source through formant resonators) to OUTPUT.wav and,\n"
    "beside it, OUTPUT.gci.txt (true glottal closures: time_s sample_index per line) and\n"
    "OUTPUT.f0.txt (true f0 every 5 ms: time_s f0_hz, 0 where unvoiced). Each option at most\n"
    "once.\n"
    "\n";

void print_usage(std::FILE* to) {
  std::fputs(kUsageHead, to);
  for (const auto& row : kOptions) std::fprintf(to, "%s\n", row.help_line);
}

// The value of --name; throws std::invalid_argument when text is not a finite number.
double number(const char* name, const std::string& text) {
  char* end = nullptr;
  const double v = std::strtod(text.c_str(), &end);
  if (end == text.c_str() || *end != '\0' || !std::isfinite(v))
    throw std::invalid_argument(std::string("--") + name + ": '" + text + "' is not a number");
  return v;
}

// Sets target from --name when it was given.
void set_number(double& target, const char* name, unsigned given, const std::string& text) {
  if (given != 0) target = number(name, text);
}

glotsynth::Source source_of(const std::string& text) {
  if (text == "lf") return glotsynth::Source::lf;
  if (text == "rosenberg") return glotsynth::Source::rosenberg;
  throw std::invalid_argument("--source must be lf or rosenberg");
}

glotsynth::Noise noise_of(const std::string& text) {
  if (text == "none") return glotsynth::Noise::none;
  if (text == "white") return glotsynth::Noise::white;
  if (text == "babble") return glotsynth::Noise::babble;
  throw std::invalid_argument("--noise must be none, white or babble");
}

// The synthesis options of a parsed command line; throws std::invalid_argument on a bad value.
glotsynth::Options options_of(const Args& a) {
  glotsynth::Options o;
  set_number(o.sr, "sr", a.sr_given, a.sr);
  if (a.segments_given) o.segments = glotsynth::parse_segments(a.segments);
  if (a.source_given) o.source = source_of(a.source);
  set_number(o.rd, "rd", a.rd_given, a.rd);
  set_number(o.open_quotient, "oq", a.oq_given, a.oq);
  set_number(o.speed_quotient, "sq", a.sq_given, a.sq);
  set_number(o.jitter, "jitter", a.jitter_given, a.jitter);
  set_number(o.shimmer, "shimmer", a.shimmer_given, a.shimmer);
  set_number(o.vibrato_rate_hz, "vibrato-rate", a.vibrato_rate_given, a.vibrato_rate);
  set_number(o.vibrato_cents, "vibrato-cents", a.vibrato_cents_given, a.vibrato_cents);
  set_number(o.ramp_s, "ramp", a.ramp_given, a.ramp);
  set_number(o.unvoiced_level, "unvoiced-level", a.unvoiced_level_given, a.unvoiced_level);
  if (a.noise_given) o.noise = noise_of(a.noise);
  set_number(o.snr_db, "snr", a.snr_given, a.snr);
  if (a.talkers_given) o.babble_talkers = static_cast<int>(number("talkers", a.talkers));
  set_number(o.peak, "peak", a.peak_given, a.peak);
  if (a.seed_given) o.seed = static_cast<std::uint64_t>(number("seed", a.seed));
  set_number(o.pitch_scale, "pitch-scale", a.pitch_scale_given, a.pitch_scale);
  set_number(o.time_scale, "time-scale", a.time_scale_given, a.time_scale);
  if (o.noise != glotsynth::Noise::none && !a.snr_given) o.snr_db = 20.0;
  return o;
}

// Synthesises and writes the sound and its truth files; returns the exit status.
int write_outputs(const glotsynth::Options& o, const std::string& out, bool float_samples) {
  const glotsynth::Result r = glotsynth::synthesize(o);
  const auto enc = float_samples ? glotsynth::Encoding::float32 : glotsynth::Encoding::pcm16;
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

}  // namespace

int main(int argc, char** argv) {
  Args args;
  std::vector<std::string> operands;
  const OptionParserSettings settings{"glotsynth", "", false};
  switch (parse_option_table<Args>(argc, argv, kOptions, settings, args, operands)) {
    case OptionParse::help:
    case OptionParse::version:
      print_usage(stdout);
      return 0;
    case OptionParse::refused:
      if (optind > 0 && optind <= argc)
        std::fprintf(stderr, "glotsynth: unknown or incomplete option '%s'\n", argv[optind - 1]);
      print_usage(stderr);
      return 2;
    case OptionParse::repeated:
      return 2;
    case OptionParse::ok:
      break;
  }
  if (operands.size() != 1) {
    std::fputs("glotsynth: expected exactly one output path\n", stderr);
    print_usage(stderr);
    return 2;
  }
  try {
    return write_outputs(options_of(args), operands[0], args.float_flag != 0);
  } catch (const std::exception& e) {
    std::fprintf(stderr, "glotsynth: %s\n", e.what());
    return 2;
  }
}
