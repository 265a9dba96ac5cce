// Sound input through the audio file library, mixed down to one channel of floats.
#include <audiofile.h>
#include <sys/stat.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <filesystem>
#include <limits>
#include <memory>
#include <stdexcept>
#include <string>
#include <type_traits>
#include <vector>

#include "audioview/audioview.h"
#include "harmex/harmex.h"

namespace harmex {
namespace {

// The library reports errors through a global handler; keep its last text for our message.
std::string& last_library_error() {
  static std::string text;
  return text;
}

void keep_error(long, const char* text) {
  last_library_error() = text ? text : "";
}

struct FileCloser {
  void operator()(AFfilehandle f) const { afCloseFile(f); }
};

}  // namespace

Sound read_sound(const std::string& path) {
  afSetErrorHandler(keep_error);
  last_library_error().clear();
  auto fail = [&](const std::string& what) {
    std::string msg = "cannot read sound file " + path + ": " + what;
    if (!last_library_error().empty()) msg += " (" + last_library_error() + ")";
    return std::runtime_error(msg);
  };
  std::unique_ptr<std::remove_pointer_t<AFfilehandle>, FileCloser> file(
      audioview::open_sound(path));
  if (file.get() == AF_NULL_FILEHANDLE) {
    file.release();
    throw fail("cannot open it or not a known sound format");
  }
  if (afGetFileFormat(file.get(), nullptr) < 0) throw fail("not a known sound format");
  Sound sound;
  sound.sr = afGetRate(file.get(), AF_DEFAULT_TRACK);
  if (!(sound.sr > 0.0) || !std::isfinite(sound.sr)) throw fail("no valid sampling rate");
  // The library's mix-down takes memory in proportion to the channel count the header announces;
  // WAV and AIFF headers cannot announce more than 65535.
  constexpr int kMaxChannels = 65535;
  const int channels = afGetChannels(file.get(), AF_DEFAULT_TRACK);
  if (channels < 1 || channels > kMaxChannels) throw fail("no valid number of channels");
  if (afSetVirtualSampleFormat(file.get(), AF_DEFAULT_TRACK, AF_SAMPFMT_FLOAT, 32) != 0 ||
      afSetVirtualChannels(file.get(), AF_DEFAULT_TRACK, 1) != 0) {
    throw fail("cannot convert its samples");
  }
  const AFframecount total = afGetFrameCount(file.get(), AF_DEFAULT_TRACK);
  long long left = audioview::frames_in_file(file.get(), path);
  // The announced length is only a hint: a damaged header may announce billions of frames. No
  // format stores a frame in less than a byte, so the file's size bounds what is reserved.
  std::error_code ec;
  const std::uintmax_t bytes = std::filesystem::file_size(path, ec);
  if (total > 0 && !ec) {
    sound.samples.reserve(static_cast<std::size_t>(std::min<std::uintmax_t>(left, bytes)));
  }
  constexpr int kBlock = 1024;  // frames per read, as the analysis program reads them
  std::vector<float> block(kBlock);
  while (left > 0) {
    const int want = static_cast<int>(std::min<long long>(kBlock, left));
    const int got = afReadFrames(file.get(), AF_DEFAULT_TRACK, block.data(), want);
    if (got <= 0) break;  // a read error ends the data, as the analysis program's reader does
    sound.samples.insert(sound.samples.end(), block.begin(), block.begin() + got);
    left -= got;
  }
  // Like the analysis program's own reader, a file that ends early is read as far as it goes.
  if (total > 0 && static_cast<AFframecount>(sound.samples.size()) < total) {
    sound.warning = path + " ends early: read " + std::to_string(sound.samples.size()) + " of " +
                    std::to_string(total) + " frames";
  }
  if (afCloseFile(file.release()) != 0) throw fail("error while closing it");
  return sound;
}

}  // namespace harmex
