// glotsynth: synthetic voiced speech with known glottal closure instants and f0.
//
// A glottal source (LF model or Rosenberg pulse, as a flow derivative) drives a cascade of
// formant resonators; voiced segments follow an f0 contour (log-linear glide plus vibrato)
// with jitter and shimmer; unvoiced segments are shaped noise, bursts are short decaying noise,
// silences are zeros. Optional white or babble-like noise is added at a chosen SNR. Everything
// is deterministic for a given seed.
//
// Library use:
//   glotsynth::Options o;                       // defaults: a 2 s phrase at 44.1 kHz
//   o.segments = glotsynth::parse_segments("v:0.5:100-140,u:0.1,s:0.05,v:0.4:140-90");
//   o.noise = glotsynth::Noise::white; o.snr_db = 10;
//   const glotsynth::Result r = glotsynth::synthesize(o);
//   // r.signal (float, full scale 1), r.gci_s / r.gci_n (closures), r.f0_t / r.f0_hz (5 ms grid)
//   glotsynth::write_wav("x.wav", r.signal, o.sr, glotsynth::Encoding::pcm16);
//   glotsynth::write_truth("x.wav", r);   // x.gci.txt and x.f0.txt beside the sound
//
// Program: `glotsynth --help` lists the options; see tools/glotsynth/main.cpp.
#pragma once

#include <cstdint>
#include <limits>
#include <string>
#include <vector>

namespace glotsynth {

enum class Source { lf, rosenberg };
enum class Noise { none, white, babble };
enum class Encoding { pcm16, float32 };

// One stretch of the phrase.
struct Segment {
  enum class Kind { voiced, unvoiced, silence, burst };
  Kind kind = Kind::voiced;
  double duration_s = 0.3;     // length of the stretch, seconds
  double f0_start_hz = 120.0;  // voiced only: f0 at the start of the stretch, Hz
  double f0_end_hz = 120.0;    // voiced only: f0 at the end (log-linear glide between), Hz
  char vowel_start = 'a';      // voiced only: vowel at the start, one of a e i o u
  char vowel_end = 'a';        // voiced only: vowel at the end (formants glide between)
};

struct Options {
  double sr = 44100.0;  // sampling rate, Hz
  // The phrase, in order. Default: a 2 s speech-like phrase.
  std::vector<Segment> segments = {
      {Segment::Kind::silence, 0.10, 0, 0, 'a', 'a'},
      {Segment::Kind::voiced, 0.45, 110.0, 150.0, 'a', 'e'},
      {Segment::Kind::unvoiced, 0.12, 0, 0, 'a', 'a'},
      {Segment::Kind::voiced, 0.40, 160.0, 130.0, 'i', 'o'},
      {Segment::Kind::silence, 0.08, 0, 0, 'a', 'a'},
      {Segment::Kind::burst, 0.03, 0, 0, 'a', 'a'},
      {Segment::Kind::voiced, 0.62, 135.0, 90.0, 'o', 'u'},
      {Segment::Kind::silence, 0.20, 0, 0, 'a', 'a'},
  };
  Source source = Source::lf;
  double rd = 1.0;               // LF shape parameter Rd (0.3 tense .. 2.7 lax), dimensionless
  double open_quotient = 0.6;    // Rosenberg: open phase / period
  double speed_quotient = 2.0;   // Rosenberg: opening time / closing time
  double jitter = 0.005;         // standard deviation of the period, relative (0.005 = 0.5 %)
  double shimmer = 0.03;         // standard deviation of the pulse amplitude, relative
  double vibrato_rate_hz = 0.0;  // vibrato frequency, Hz (0: none)
  double vibrato_cents = 0.0;    // vibrato depth, cents (peak deviation)
  double ramp_s = 0.015;         // amplitude fade-in and fade-out of each stretch, seconds
  double unvoiced_level = 0.25;  // level of fricatives and bursts relative to the voice (rms)
  Noise noise = Noise::none;     // additive noise kind
  double snr_db = std::numeric_limits<double>::infinity();  // voice power / noise power, dB
  int babble_talkers = 6;  // number of synthetic talkers in babble-like noise
  double peak = 0.8;       // peak amplitude of the final signal (full scale 1)
  std::uint64_t seed = 1;  // random seed; same seed and options give the same sound
  // Transformed versions of the same voice, the true targets of pitch and duration changes:
  // every f0 of the phrase times pitch_scale, every stretch except the bursts (which keep their
  // length) times time_scale. 1 leaves the phrase as given.
  double pitch_scale = 1.0;
  double time_scale = 1.0;
};

struct Result {
  std::vector<float> signal;  // the sound, one sample per element, full scale +-1
  std::vector<double> gci_s;  // glottal closure instants, seconds, increasing
  std::vector<long> gci_n;    // the same as 0-based sample indices (rounded)
  std::vector<double> f0_t;   // times of the f0 truth: 0, 5 ms, 10 ms, ... <= duration
  std::vector<double> f0_hz;  // f0 at f0_t, 0 unvoiced: 1 / cycle length, taken at the middle
                              // of each cycle and interpolated between middles
  double voiced_power = 0.0;  // mean square of the clean voice over its voiced samples
  double noise_power = 0.0;   // mean square of the added noise (0 without noise)
};

constexpr double kF0StepS = 0.005;  // spacing of the f0 truth, seconds

// Builds the sound and its truth from the options. Throws std::invalid_argument on impossible
// options (non-positive rate or durations, f0 outside (0, sr/4), unknown vowel, ...).
[[nodiscard]] Result synthesize(const Options& options);

// Parses a segment list "kind:duration[:f0start[-f0end][:vowelstart[-vowelend]]],..." where
// kind is v (voiced), u (unvoiced noise), s (silence) or b (burst), durations in seconds, f0 in
// Hz, vowels among a e i o u. Throws std::invalid_argument with a message naming the bad item.
[[nodiscard]] std::vector<Segment> parse_segments(const std::string& text);

// Writes a mono WAV file. Returns false (and leaves no file) when it cannot be written.
[[nodiscard]] bool write_wav(const std::string& path, const std::vector<float>& signal, double sr,
                             Encoding encoding);

// Path of the truth files of a sound: the sound path without its extension + ".gci.txt" or
// ".f0.txt".
[[nodiscard]] std::string gci_path(const std::string& sound_path);
[[nodiscard]] std::string f0_path(const std::string& sound_path);

// Writes the closures ("time_s sample_index" per line) and the f0 track ("time_s f0_hz" per
// line) beside the sound, each after one '#' comment line naming the columns. Returns false
// when a file cannot be written.
[[nodiscard]] bool write_truth(const std::string& sound_path, const Result& result);

}  // namespace glotsynth
