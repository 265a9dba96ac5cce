// Praat's text formats: reading PitchTier and Pitch objects (long and short text files), writing
// PointProcess, PitchTier and TextGrid objects as Praat's "Save as text file" writes them.
#pragma once

#include <ostream>
#include <string>
#include <vector>

#include "convert/tracks.h"

// The values of a Praat text file in file order, labels dropped.
struct PraatText {
  std::string path;
  std::string object_class;  // "PitchTier", "Pitch 1", ...
  std::vector<double> numbers;
  std::vector<int> lines;  // line (1-based) of each number
};

// True when the bytes start like a Praat text or binary file.
bool looks_like_praat(const std::string& head);

// Reads a Praat text file (UTF-8 or UTF-16). Throws ConvertError naming the file and line on a
// binary file, a missing header or a value that is not a number.
PraatText read_praat_text(const std::string& path);

// The points of a PitchTier, all voiced; or the frames of a Pitch, the first candidate of each
// (frequency 0 or above the ceiling: unvoiced). Throw ConvertError with the line of the fault.
F0Track pitch_tier_track(const PraatText& text);
F0Track praat_pitch_track(const PraatText& text);

// Writers. Times are printed so that they read back to the same double; f0 values held as
// 32-bit floats are printed so that they read back to the same float.
void write_point_process(std::ostream& out, const Domain& d, const std::vector<double>& times);
void write_pitch_tier(std::ostream& out, const Domain& d, const F0Track& track);

struct IntervalTier {
  std::string name;
  std::vector<Zone> zones;  // labelled with label, the gaps between them left empty
  std::string label;
};
struct PointTier {
  std::string name;
  std::vector<double> times;
  std::vector<std::string> labels;
};
// A TextGrid of the interval tiers then the point tiers. Zones are clipped to the domain and
// to the end of the previous zone (Praat's intervals may not overlap).
void write_text_grid(std::ostream& out, const Domain& d, const std::vector<IntervalTier>& zones,
                     const std::vector<PointTier>& points);
