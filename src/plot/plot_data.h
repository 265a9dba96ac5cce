// What a figure shows: the sound and the analysis files of one time range, each reduced to
// a bounded number of points per pixel column.
#pragma once

#include <array>
#include <optional>
#include <string>
#include <vector>

#include "plot/column_bins.h"

// Mark kinds as the analysis stores them.
enum MarkKind { kUnvoicedMark = 0, kVoicedMark = 1, kTransientMark = 2 };
// Zone kinds, in the order of their files.
enum ZoneKind { kVoicedZone = 0, kUnvoicedZone = 1, kTransientZone = 2 };

struct Zone {
  double begin;  // seconds
  double end;
};

struct PlotData {
  std::string title;      // name of the sound
  double sr = 0.0;        // sampling rate, Hz
  double duration = 0.0;  // seconds, (samples - 1) / sr
  double from = 0.0;      // shown range, seconds
  double to = 0.0;

  std::optional<ColumnBins> wave;
  std::optional<ColumnBins> f0;          // Hz
  std::optional<ColumnBins> voicing;     // normalised coefficient, 0..1
  std::optional<ColumnBins> cutoff;      // Hz
  std::optional<ColumnBins> epochs;      // epoch curve, one value per sample
  std::optional<ColumnBins> transients;  // transient curve, one value per sample
  // Marks by kind (index MarkKind); values unused. Empty when there is no mark file.
  std::vector<ColumnBins> marks;
  // Zones overlapping the range, by ZoneKind; a kind whose file is missing is empty.
  std::array<std::vector<Zone>, 3> zones;
  bool has_zones = false;
  std::optional<double> voice_threshold;  // from the zone or coefficient file's header
  std::optional<double> trans_threshold;
};
