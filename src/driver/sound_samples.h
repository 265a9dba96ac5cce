// The samples of the analysed sound, read at once or only when a step first asks for them.
#pragma once

#include <memory>
#include <mutex>
#include <optional>
#include <string>

#include "core/failure.h"
#include "tessel/tessel.h"

// A run that will reuse every step that computes from the samples (epochs, voicing,
// transients) only scans the sound for its fingerprint and length; the samples are read when a
// step does compute after all (once, whichever thread asks first), and must then still be the
// samples that were scanned.
class SoundSamples {
 public:
  // Samples read already.
  explicit SoundSamples(tessel::TesselVector<double> held);
  // Samples to read from path when first asked for; fingerprint and sr are those of the scan.
  SoundSamples(std::string path, std::string fingerprint, double sr);

  // The samples, or the failure of reading them (the sound no longer reads, or no longer gives
  // the scanned samples). Safe to call from several threads.
  [[nodiscard]] Expected<const tessel::TesselVector<double>*> get() const;
  [[nodiscard]] bool held() const { return path_.empty(); }

 private:
  std::string path_, fingerprint_;
  double sr_ = 0.0;
  mutable std::once_flag once_;
  mutable tessel::TesselVector<double> samples_;
  mutable std::optional<Failure> failure_;
};
