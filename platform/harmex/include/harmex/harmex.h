// harmex: fundamental-frequency (f0) analysis of speech and singing.
//
// The estimator low-passes and decimates the sound to the analysis band, measures for every
// 5 ms frame a normalised difference function (how unlike the signal is to itself one lag
// later) over a window centred on the frame, keeps its dips as period candidates, weighs each
// by how far its harmonics stand above the spectrum between them, chooses one candidate or
// "unvoiced" per frame by dynamic programming (periodicity, harmonic contrast, octave
// preference, continuity), refines each chosen period on a window of a few periods by
// band-limited interpolation, and fills unvoiced frames from their voiced neighbours.
#pragma once

#include <cstddef>
#include <string>
#include <utility>
#include <vector>

namespace harmex {

struct Options {
  double f0min_hz = 50.0;          // lowest f0 searched, Hz
  double f0max_hz = 1000.0;        // highest f0 searched, Hz
  double window_samples = 0.0;     // analysis window, samples of the sound (0: the larger of
                                   // 20 ms and 4 periods of f0min)
  double f0ana_hz = 0.0;           // highest frequency analysed, Hz (0: 2.5 f0max, at most sr)
  double hop_s = 0.005;            // frame spacing, seconds
  double voicing_threshold = 0.5;  // difference (0 periodic .. 1 noise) at which voiced and
                                   // unvoiced cost the same
  double silence_db = -30.0;       // frame level (dB below the loudest frame) under which being
                                   // unvoiced gets cheaper, by 1 per silence_slope_db
  double silence_slope_db = 15.0;
  double mid_penalty = 0.03;   // periods of which two fit in 25 ms are also measured on a 25 ms
  double mid_min_level = 0.3;  // window centred on the frame, that difference counting this much
                               // more, where that window's mean power is at least mid_min_level
                               // times the analysis window's
  double octave_cost = 0.04;   // cost per octave below f0max (prefers the shortest period)
  double octave_voicing_share = 0.5;  // share of the most periodic candidate's octave cost
                                      // that being unvoiced costs too
  double multiple_cost = 0.3;         // cost of a period whose half or third is nearly as periodic
  double multiple_margin = 0.03;      // that cost fades out when the fraction's difference exceeds
  double multiple_margin_rel = 0.6;   // the period's by multiple_margin + multiple_margin_rel * d
  double harmonic_weight = 0.15;      // bonus of a candidate whose harmonics stand out in the
  double harmonic_full_np = 5.0;      // spectrum, full at this contrast (nepers of power)
  double octave_check_cost = 0.5;     // cost of a candidate whose octave above or below has the
                                      // stronger harmonic contrast (scaled by the shortfall)
  double interleaved_cost = 0.3;      // cost of a candidate whose harmonics between every 2nd or
  double interleaved_none = 0.55;     // 3rd are weak (a multiple of the period): none above this
  double interleaved_full = 0.3;      // amplitude ratio, all of it at or below interleaved_full
  double ring_cost = 0.3;             // cost of a short period that is not periodic over three
  double ring_margin = 0.1;           // of itself (a formant's ringing): its difference near there
  double ring_width = 0.2;            // exceeds its own by ring_margin, in full by + ring_width
  double jump_cost = 1.2;             // cost per octave of f0 change between neighbouring frames
  double voicing_change_cost = 0.4;   // cost of a voiced/unvoiced change between frames
  double follow_octaves = 0.1;        // an unvoiced frame beside a voiced one takes the candidate
  double follow_max_d = 0.8;          // continuing its period within this many octaves, when its
                                      // difference is at most follow_max_d
  double refine_periods = 2.5;        // refinement window, in periods, at least refine_min_s and
  double refine_min_s = 0.02;         // at most the analysis window; seconds
  double refine_reach = 0.06;         // the refined period may lie this share of it away from
                                      // the chosen one (whose longer window averages a moving
                                      // period)
  double refined_max_d = 0.6;         // a frame whose refined difference stays above this is
                                      // treated as unvoiced
  int threads = 0;  // threads analysing blocks of frames (0: GLOTMARK_THREADS when it is a
                    // positive integer, else every core); the track is the same for any number
};

struct Track {
  std::vector<double> t_s;      // frame times: 0, hop, 2 hop, ... up to the sound's duration
  std::vector<double> f0_hz;    // f0 of each frame; unvoiced frames interpolated between voiced
                                // neighbours (held at the ends); all 0 when nothing is voiced
  std::vector<char> voiced;     // 1 where the frame was found voiced
  double window_samples = 0.0;  // analysis window used, samples of the sound
  double band_hz = 0.0;         // analysis band used (low-pass edge), Hz
  double analysis_sr = 0.0;     // rate of the decimated signal analysed, Hz
};

// Analyses n samples x (any scale) at sampling rate sr (Hz). Every f0 lies in
// [f0min, f0max] or is 0. Cost grows linearly with n. Throws std::invalid_argument when the
// options or the rate are unusable (non-positive or non-finite values, f0max <= f0min, f0min
// below 10 Hz, f0min not below sr / 4).
[[nodiscard]] Track estimate_f0(const float* x, std::size_t n, double sr, const Options& options);
// The same, taking the sound over: its memory is released as soon as it has been decimated,
// which halves the peak memory on long recordings.
[[nodiscard]] Track estimate_f0(std::vector<float>&& x, double sr, const Options& options);

struct Sound {
  std::vector<float> samples;  // one value per frame, channels mixed down, full scale +-1
  double sr = 0.0;             // sampling rate, Hz
  std::string warning;         // what was odd but not fatal (a file that ends early), or empty
};

// Reads any sound file the audio file library knows, mixed down to one channel; a file that
// ends before its announced length is read as far as it goes (with a warning). Throws
// std::runtime_error whose text says what failed and names the path.
[[nodiscard]] Sound read_sound(const std::string& path);

// Writes the track as an SDIF file of 1FQ0 frames (one 1 x 1 float32 1FQ0 matrix per frame,
// the f0 in Hz) with a name-value table of params. The file appears complete or not at all.
// Throws std::runtime_error naming the path on failure.
void write_f0_sdif(const std::string& path, const Track& track,
                   const std::vector<std::pair<std::string, std::string>>& params);

// What the command line asks for.
struct Request {
  Options options;
  std::string sound_path;
  std::string output_path;
  bool help = false;     // --help or -h: print the usage, nothing else
  bool version = false;  // --version or -V: print the version, nothing else
};

// Thrown by parse_command_line; its text is the message for the user (the program exits with
// status 2, and adds the usage when the command line is malformed).
struct UsageError {
  std::string message;
  bool malformed = true;  // false: well formed, but a value is out of its range (the message
                          // alone says what is wrong)
};

// Parses "harmex -Af0 -S<sound> --f0min=<Hz> --f0max=<Hz> -M<samples> --f0ana=<Hz> <output>"
// (options in any order; "-S path", "--f0min 50" and "-M 882" forms also accepted). Throws
// UsageError on anything else: unknown or repeated options, bad numbers, a missing sound or
// output path, extra arguments, f0max not above f0min.
[[nodiscard]] Request parse_command_line(int argc, const char* const* argv);

// The usage text printed by --help and after usage errors.
[[nodiscard]] const char* usage();

}  // namespace harmex
