// Types shared by the resynthesis: the marks of the 1PSO file, curves, settings and grains.
#pragma once

#include <cstdint>
#include <optional>
#include <stdexcept>
#include <string>
#include <utility>
#include <vector>

// Any refusal of the resynthesis: bad settings, a curve file that does not parse, an analysis
// that does not fit the sound, a file that cannot be read or written. what() is the message.
struct PsolaError : std::runtime_error {
  using std::runtime_error::runtime_error;
};

// One pitch mark of the analysis, as the 1PSO file gives it.
struct PsoMark {
  double pos = 0.0;        // position in samples, 0-based, fractional
  double f0 = 0.0;         // fundamental frequency at the mark, Hz
  bool voiced = false;     // VoicingFlag 1
  double cutoff = 0.0;     // voicing cut-off frequency, Hz
  double mod = 0.0;        // f0 / median f0 - 1
  bool transient = false;  // TransitoireFlag 1
};

struct PsoAnalysis {
  double sr = 0.0;  // sampling rate the analysis was made at, Hz
  std::vector<PsoMark> marks;
};

// Break points (time in seconds of the input, value), times strictly increasing.
using Curve = std::vector<std::pair<double, double>>;

// What the resynthesis changes. Factors multiply: the pitch factor, the curve's factor and the
// intonation or target-f0 factor all apply together.
struct PsolaSettings {
  double pitch = 1.0;                // f0 factor K
  Curve pitch_curve;                 // K over input time; empty: none
  double time = 1.0;                 // duration factor R
  Curve time_curve;                  // R over input time; empty: none
  std::optional<double> intonation;  // A: f0' = median * (1 + A * Mod)
  Curve f0_curve;                    // target f0 (Hz) over input time, 0 = keep; empty: none
  bool hybrid = false;               // above the cut-off, move in time without pitch change
  std::uint64_t seed = 1;            // variation of repeated unvoiced grains
};

inline constexpr double kMinFactor = 0.25;      // smallest pitch or duration factor
inline constexpr double kMaxFactor = 4.0;       // largest pitch or duration factor
inline constexpr double kMaxIntonation = 4.0;   // |A| limit: 4 times the melody's excursions
inline constexpr double kMaxTargetF0 = 2000.0;  // Hz, highest target f0 of an f0 curve

// One grain of the output: the input around in_pos, windowed, added at out_pos. The window
// rises over `left` samples before the mark, stays at 1 for `flat` samples after it (a
// transient copied whole) and falls over `right` samples; a reversed grain is read backwards.
struct Grain {
  double out_pos = 0.0;  // output samples
  double in_pos = 0.0;   // input samples
  double left = 0.0;     // samples
  double right = 0.0;    // samples
  double flat = 0.0;     // samples
  bool reversed = false;
  double moved = 0.0;  // samples in_pos was moved from its mark (variation of a repeat)
};
