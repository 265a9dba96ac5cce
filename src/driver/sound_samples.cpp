#include "driver/sound_samples.h"

#include <utility>

#include "sound/readsf.h"
#include "sound/sound_fingerprint.h"

SoundSamples::SoundSamples(tessel::TesselVector<double> held) : samples_(std::move(held)) {}

SoundSamples::SoundSamples(std::string path, std::string fingerprint, double sr)
    : path_(std::move(path)), fingerprint_(std::move(fingerprint)), sr_(sr) {}

Expected<const tessel::TesselVector<double>*> SoundSamples::get() const {
  if (path_.empty()) return &samples_;
  std::call_once(once_, [this] {
    double rate = 0.0;
    auto read = readsf(path_, rate);
    if (!read) {
      failure_ = std::move(read).error();
      return;
    }
    samples_ = std::move(read).value();
    const auto n = static_cast<std::size_t>(samples_.size());
    if (rate != sr_ || sound_fingerprint({samples_.data(), n}, rate) != fingerprint_) {
      samples_ = tessel::TesselVector<double>();
      failure_ = Failure{"\n *** Error *** \n -> the sound file " + path_ +
                         " changed while it was being analysed \n *** Exiting from the program "
                         "***\n"};
    }
  });
  if (failure_) return *failure_;
  return &samples_;
}
