// The data the converters carry between formats: an f0 track, pitch marks with their kinds,
// zones, and the time domain of the sound.
#pragma once

#include <string>
#include <vector>

// f0 track: one point per frame, times in seconds (strictly increasing), f0 in Hz. Points where
// the source says unvoiced have voiced false (their f0 is then meaningless).
struct F0Track {
  std::vector<double> t;
  std::vector<double> f0;
  std::vector<bool> voiced;
};

// Mark kinds as the analysis stores them.
enum MarkKind : int { kUnvoiced = 0, kVoiced = 1, kTransient = 2, kUnknownKind = -1 };

struct Mark {
  double t = 0.0;  // seconds
  int kind = kUnknownKind;
};

struct Zone {
  double begin = 0.0, end = 0.0;  // seconds
};

// Time domain of the objects written for Praat: [xmin, xmax] seconds.
struct Domain {
  double xmin = 0.0, xmax = 1.0;
};

// Fills the unvoiced points of a track as the f0 program does: linearly between the neighbouring
// voiced points, the first (last) voiced value before the first (after the last) voiced point;
// every point voiced afterwards. A track with no voiced point gets 0 Hz everywhere; returns the
// number of points filled.
std::size_t fill_unvoiced(F0Track& track);

// Checks a track read from path: finite times and values, times strictly increasing. Throws
// ConvertError naming path and, where lines is given (one line number per point), the line.
void check_track(const F0Track& track, const std::string& path, const std::vector<int>& lines);
