// Sound-file scan: what identifies a sound, without keeping its samples.
#pragma once

#include <string>

#include "core/failure.h"

struct SoundScan {
  long frames = 0;
  std::string fingerprint;  // sound_fingerprint() of the samples readsf would give
};

// Reads the sound file at path as readsf does, with the same checks and failures, but keeps
// only the number of frames and the fingerprint of the samples (a few kilobytes whatever the
// length). Writes the sampling rate (Hz) into rate.
[[nodiscard]] Expected<SoundScan> scansf(const std::string& path, double& rate);
