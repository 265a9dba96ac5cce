// The sound-file decoder on libaudiofile.
#include "sound/decode_sound.h"

#include <audiofile.h>
#include <sys/stat.h>

#include <algorithm>
#include <cmath>
#include <functional>
#include <vector>

#include "audioview/audioview.h"

namespace {

constexpr int kBlockFrames = 1024;       // frames read per library call
constexpr long kMaxFrames = 2147483647;  // a signal holds at most 2^31 - 1 samples
// Most channels a file may have: the limit of the WAV and AIFF headers' 16-bit field. The
// library's mix-down takes memory in proportion to the channel count a header announces (a
// 400-byte file announcing 151 million channels asked for 1.2 GB).
constexpr int kMaxChannels = 65535;

const char kOpenError[] = "\n *** Error : readsf ***\n -> error openning file ";
const char kFormatError[] =
    "\n *** Error : readsf ***\n -> file is not supported by the AF library\n *** Exiting "
    "program ***\n";
const char kCloseError[] =
    "\n *** Error : readsf ***\n -> error closing file \n *** Exiting program ***\n";
const char kRateError[] =
    "\n *** Error : readsf ***\n -> the file gives no valid sampling rate \n *** Exiting "
    "program ***\n";
const char kChannelsError[] =
    "\n *** Error : readsf ***\n -> the file gives no valid number of channels \n *** Exiting "
    "program ***\n";
const char kTooLongError[] =
    "\n *** Error : readsf ***\n -> file too long: more than 2147483647 frames \n *** Exiting "
    "program ***\n";
const char kNotFiniteError[] =
    "\n *** Error : readsf ***\n -> the file holds samples that are not finite numbers (NaN or "
    "infinity) \n *** Exiting program ***\n";

Failure fail(const std::string& message) {
  return Failure{message + "\n"};
}

// The library's file handle, closed by its destructor unless close() took it.
class SoundFile {
 public:
  explicit SoundFile(const std::string& path) : handle_(audioview::open_sound(path)) {}
  SoundFile(const SoundFile&) = delete;
  SoundFile& operator=(const SoundFile&) = delete;
  ~SoundFile() {
    if (is_open()) afCloseFile(handle_);
  }
  [[nodiscard]] bool is_open() const { return handle_ != AF_NULL_FILEHANDLE; }
  [[nodiscard]] AFfilehandle get() const { return handle_; }
  // Closes now; false when the library reports an error.
  [[nodiscard]] bool close() {
    const AFfilehandle h = handle_;
    handle_ = AF_NULL_FILEHANDLE;
    return afCloseFile(h) >= 0;
  }

 private:
  AFfilehandle handle_;
};

// Capacity to reserve before reading: the frame count the file announces, bounded by its size
// in bytes (no format stores a frame in less than one byte), so a header that lies cannot make
// us reserve more than a few times the file's size.
std::size_t reserve_hint(AFfilehandle file, const std::string& path) {
  const AFframecount announced = afGetFrameCount(file, AF_DEFAULT_TRACK);
  struct stat st {};
  if (announced <= 0 || stat(path.c_str(), &st) != 0 || st.st_size <= 0) return 0;
  const auto bytes = static_cast<std::size_t>(st.st_size);
  return std::min(static_cast<std::size_t>(announced), bytes);
}

// Frames to ask for in one call: a block, or what is left.
int block_size(long long left) {
  return static_cast<int>(std::min<long long>(kBlockFrames, left));
}

}  // namespace

Status decode_sound(const std::string& path, double& rate,
                    const std::function<void(std::size_t)>& expect,
                    const std::function<void(const float*, int)>& take) {
  std::vector<float> block(kBlockFrames);

  SoundFile sound(path);
  if (!sound.is_open()) return fail(kOpenError + path + "\n *** Exiting program ***\n");
  const AFfilehandle file = sound.get();
  if (afGetFileFormat(file, nullptr) < 0) return fail(kFormatError);
  rate = afGetRate(file, AF_DEFAULT_TRACK);
  if (!(rate > 0.0) || !std::isfinite(rate)) return fail(kRateError);
  const int channels = afGetChannels(file, AF_DEFAULT_TRACK);
  if (channels < 1 || channels > kMaxChannels) return fail(kChannelsError);
  afSetVirtualSampleFormat(file, AF_DEFAULT_TRACK, AF_SAMPFMT_FLOAT, 32);
  afSetVirtualChannels(file, AF_DEFAULT_TRACK, 1);

  expect(reserve_hint(file, path));
  long count = 0;
  bool finite = true;
  long long left = audioview::frames_in_file(file, path);
  int n = afReadFrames(file, AF_DEFAULT_TRACK, block.data(), block_size(left));
  while (n > 0) {
    if (count > kMaxFrames - n) return fail(kTooLongError);
    for (int i = 0; i < n; ++i) finite = finite && std::isfinite(block[i]);
    take(block.data(), n);
    count += n;
    left -= n;
    n = left > 0 ? afReadFrames(file, AF_DEFAULT_TRACK, block.data(), block_size(left)) : 0;
  }
  if (!sound.close()) return fail(kCloseError);
  if (!finite) return fail(kNotFiniteError);
  return Status{};
}
