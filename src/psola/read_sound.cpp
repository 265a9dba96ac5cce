#include "psola/read_sound.h"

#include <audiofile.h>

#include <algorithm>
#include <cmath>
#include <filesystem>
#include <memory>

#include "audioview/audioview.h"
#include "psola/psola_types.h"

namespace {

constexpr int kBlockFrames = 65536;  // frames per library call

struct CloseFile {
  void operator()(AFfilehandle f) const { afCloseFile(f); }
};

}  // namespace

Sound read_sound(const std::string& path) {
  const std::unique_ptr<std::remove_pointer_t<AFfilehandle>, CloseFile> f(
      audioview::open_sound(path));
  if (!f) throw PsolaError("cannot open the sound file " + path);
  Sound s;
  s.sr = afGetRate(f.get(), AF_DEFAULT_TRACK);
  if (!(s.sr > 0.0) || !std::isfinite(s.sr)) {
    throw PsolaError("the sound file " + path + " gives no valid sampling rate");
  }
  // libaudiofile's mix-down takes memory in proportion to the channels a header announces (1.2
  // GB for a 400-byte file announcing 151 million); WAV and AIFF cannot announce more than 65535.
  const int channels = afGetChannels(f.get(), AF_DEFAULT_TRACK);
  if (channels < 1 || channels > 65535) {
    throw PsolaError("the sound file " + path + " gives no valid number of channels");
  }
  afGetSampleFormat(f.get(), AF_DEFAULT_TRACK, &s.sample_format, &s.sample_width);
  afSetVirtualSampleFormat(f.get(), AF_DEFAULT_TRACK, AF_SAMPFMT_FLOAT, 32);
  afSetVirtualChannels(f.get(), AF_DEFAULT_TRACK, 1);
  // A damaged header may announce billions of frames: no format stores a frame in less than a
  // byte, so the file's size bounds what is reserved.
  const AFframecount announced = afGetFrameCount(f.get(), AF_DEFAULT_TRACK);
  std::error_code ec;
  const std::uintmax_t bytes = std::filesystem::file_size(path, ec);
  if (announced > 0 && !ec) {
    s.x.reserve(static_cast<std::size_t>(std::min<std::uintmax_t>(announced, bytes)));
  }
  std::vector<float> block(kBlockFrames);
  // A file shorter than its header says is read as far as it goes: no read runs past its end.
  for (long long left = audioview::frames_in_file(f.get(), path); left > 0;) {
    const int want = static_cast<int>(std::min<long long>(kBlockFrames, left));
    const int got = afReadFrames(f.get(), AF_DEFAULT_TRACK, block.data(), want);
    if (got < 0) throw PsolaError("cannot decode the sound file " + path);
    if (got == 0) break;
    for (int i = 0; i < got; ++i) {
      if (!std::isfinite(block[i])) {
        throw PsolaError("the sound file " + path + " holds samples that are not finite numbers");
      }
    }
    s.x.insert(s.x.end(), block.begin(), block.begin() + got);
    left -= got;
  }
  return s;
}
