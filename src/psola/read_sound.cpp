#include "psola/read_sound.h"

#include <audiofile.h>

#include <cmath>
#include <memory>

#include "psola/psola_types.h"

namespace {

constexpr int kBlockFrames = 65536;  // frames per library call

struct CloseFile {
  void operator()(AFfilehandle f) const { afCloseFile(f); }
};

}  // namespace

Sound read_sound(const std::string& path) {
  const std::unique_ptr<std::remove_pointer_t<AFfilehandle>, CloseFile> f(
      afOpenFile(path.c_str(), "r", AF_NULL_FILESETUP));
  if (!f) throw PsolaError("cannot open the sound file " + path);
  Sound s;
  s.sr = afGetRate(f.get(), AF_DEFAULT_TRACK);
  if (!(s.sr > 0.0) || !std::isfinite(s.sr)) {
    throw PsolaError("the sound file " + path + " gives no valid sampling rate");
  }
  afGetSampleFormat(f.get(), AF_DEFAULT_TRACK, &s.sample_format, &s.sample_width);
  afSetVirtualSampleFormat(f.get(), AF_DEFAULT_TRACK, AF_SAMPFMT_FLOAT, 32);
  afSetVirtualChannels(f.get(), AF_DEFAULT_TRACK, 1);
  const AFframecount announced = afGetFrameCount(f.get(), AF_DEFAULT_TRACK);
  if (announced > 0) s.x.reserve(static_cast<std::size_t>(announced));
  std::vector<float> block(kBlockFrames);
  for (;;) {
    const int got = afReadFrames(f.get(), AF_DEFAULT_TRACK, block.data(), kBlockFrames);
    if (got < 0) throw PsolaError("cannot decode the sound file " + path);
    if (got == 0) break;
    for (int i = 0; i < got; ++i) {
      if (!std::isfinite(block[i])) {
        throw PsolaError("the sound file " + path + " holds samples that are not finite numbers");
      }
    }
    s.x.insert(s.x.end(), block.begin(), block.begin() + got);
  }
  return s;
}
