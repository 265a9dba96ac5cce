// Sound input of the figures, block by block on libaudiofile.
#include "plot/read_sound_bins.h"

#include <audiofile.h>

#include <algorithm>
#include <cmath>
#include <memory>
#include <vector>

#include "audioview/audioview.h"
#include "plot/plot_error.h"

namespace {

constexpr int kBlockFrames = 65536;  // frames per library call

struct FileCloser {
  void operator()(AFfilehandle f) const { afCloseFile(f); }
};
using AudioFile = std::unique_ptr<std::remove_pointer_t<AFfilehandle>, FileCloser>;

AudioFile open_audio(const std::string& path) {
  afSetErrorHandler(nullptr);  // the library's own messages would only repeat ours
  AudioFile f(audioview::open_sound(path));
  if (f.get() == AF_NULL_FILEHANDLE) {
    f.release();
    throw PlotError("cannot read the sound " + path + " (not a sound file this program decodes)");
  }
  // libaudiofile's mix-down takes memory in proportion to the channels a header announces (1.2
  // GB for a 400-byte file announcing 151 million); WAV and AIFF cannot announce more than 65535.
  const int channels = afGetChannels(f.get(), AF_DEFAULT_TRACK);
  if (channels < 1 || channels > 65535) {
    throw PlotError("the sound " + path + " gives no valid number of channels");
  }
  afSetVirtualSampleFormat(f.get(), AF_DEFAULT_TRACK, AF_SAMPFMT_FLOAT, 32);
  afSetVirtualChannels(f.get(), AF_DEFAULT_TRACK, 1);
  return f;
}

}  // namespace

SoundInfo sound_info(const std::string& path) {
  const AudioFile f = open_audio(path);
  SoundInfo info;
  info.sr = afGetRate(f.get(), AF_DEFAULT_TRACK);
  info.samples = static_cast<long>(afGetFrameCount(f.get(), AF_DEFAULT_TRACK));
  if (!(info.sr > 0.0) || !std::isfinite(info.sr))
    throw PlotError("the sound " + path + " gives no valid sampling rate");
  if (info.samples <= 0) throw PlotError("the sound " + path + " holds no sample");
  return info;
}

void read_sound_bins(const std::string& path, ColumnBins& bins) {
  const AudioFile f = open_audio(path);
  const double sr = afGetRate(f.get(), AF_DEFAULT_TRACK);
  const long total = static_cast<long>(afGetFrameCount(f.get(), AF_DEFAULT_TRACK));
  const long first = std::clamp(static_cast<long>(std::floor(bins.t0() * sr)), 0L, total);
  const long last = std::clamp(static_cast<long>(std::ceil(bins.t1() * sr)), 0L, total - 1);
  if (first > 0 && afSeekFrame(f.get(), AF_DEFAULT_TRACK, first) != first)
    throw PlotError("cannot seek in the sound " + path);
  std::vector<float> block(kBlockFrames);
  long at = first;
  while (at <= last) {
    const int want = static_cast<int>(std::min<long>(kBlockFrames, last - at + 1));
    const int n = afReadFrames(f.get(), AF_DEFAULT_TRACK, block.data(), want);
    if (n <= 0) break;  // the file is shorter than its header says: show what there is
    bins.add_samples(at, sr, block.data(), n);
    at += n;
  }
}
