// What an analysis file does not hold itself: the sampling rate and the duration of the sound
// it was made from, looked up beside it.
#pragma once

#include <optional>
#include <string>

struct SoundContext {
  std::optional<double> rate_hz;     // sampling rate of the analysed sound
  std::optional<double> duration_s;  // its duration (frames / rate)
  std::string sound_path;            // the sound file found, empty when none
};

// Looks, for the analysis file at path (or the analysis folder PSO<base>/), for the sound it was
// made from: the `FileName` of its information table as given, then that file's name in the
// folder that holds PSO<base>/; failing that, takes the rate from the folder's 1PSO file. Fields
// stay empty where nothing is found. Never throws.
SoundContext sound_context(const std::string& path);

// The folder an analysis file lives in and its base name: "d/PSOx/x.1FQ0.sdif" gives
// {"d/PSOx/", "x"}; a folder path "d/PSOx" or "d/PSOx/" gives {"d/PSOx/", "x"}. The base is
// empty when the name does not follow the pattern.
struct AnalysisFolder {
  std::string dir;  // ends with "/" (or is empty for the current directory)
  std::string base;
};
AnalysisFolder analysis_folder(const std::string& path);
