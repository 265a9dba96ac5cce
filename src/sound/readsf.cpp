// Sound-file reader on libaudiofile.
#include "sound/readsf.h"

#include <audiofile.h>
#include <sys/stat.h>

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <iostream>
#include <vector>

namespace {

constexpr int kBlockFrames = 1024;       // frames read per library call
constexpr long kMaxFrames = 2147483647;  // a signal holds at most 2^31 - 1 samples

const char kOpenError[] = "\n *** Error : readsf ***\n -> error openning file ";
const char kFormatError[] =
    "\n *** Error : readsf ***\n -> file is not supported by the AF library\n *** Exiting "
    "program ***\n";
const char kCloseError[] =
    "\n *** Error : readsf ***\n -> error closing file \n *** Exiting program ***\n";
const char kRateError[] =
    "\n *** Error : readsf ***\n -> the file gives no valid sampling rate \n *** Exiting "
    "program ***\n";
const char kTooLongError[] =
    "\n *** Error : readsf ***\n -> file too long: more than 2147483647 frames \n *** Exiting "
    "program ***\n";
const char kNotFiniteError[] =
    "\n *** Error : readsf ***\n -> the file holds samples that are not finite numbers (NaN or "
    "infinity) \n *** Exiting program ***\n";

[[noreturn]] void fail(const std::string& message) {
  std::cout << message << std::endl;
  std::exit(1);
}

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

}  // namespace

tessel::TesselVector<double> readsf(const std::string& path, double& rate) {
  std::vector<float> block(kBlockFrames);

  AFfilehandle file = afOpenFile(path.c_str(), "r", AF_NULL_FILESETUP);
  if (file == AF_NULL_FILEHANDLE) fail(kOpenError + path + "\n *** Exiting program ***\n");
  if (afGetFileFormat(file, nullptr) < 0) {
    afCloseFile(file);
    fail(kFormatError);
  }
  rate = afGetRate(file, AF_DEFAULT_TRACK);
  if (!(rate > 0.0) || !std::isfinite(rate)) {
    afCloseFile(file);
    fail(kRateError);
  }
  afSetVirtualSampleFormat(file, AF_DEFAULT_TRACK, AF_SAMPFMT_FLOAT, 32);
  afSetVirtualChannels(file, AF_DEFAULT_TRACK, 1);

  // The signal grows block by block inside its own storage (amortised growth, one
  // reservation when the file announces its length): no second copy of the signal is made.
  tessel::TesselVector<double> signal;
  signal.reserve(static_cast<long>(reserve_hint(file, path)));
  long count = 0;
  bool finite = true;
  int n = afReadFrames(file, AF_DEFAULT_TRACK, block.data(), kBlockFrames);
  while (n > 0) {
    if (count > kMaxFrames - n) {
      afCloseFile(file);
      fail(kTooLongError);
    }
    signal.resize(count + n);
    double* out = signal.data() + count;
    const float* in = block.data();
    for (int i = 0; i < n; ++i) {
      finite = finite && std::isfinite(in[i]);
      out[i] = in[i];
    }
    count += n;
    n = afReadFrames(file, AF_DEFAULT_TRACK, block.data(), kBlockFrames);
  }
  if (afCloseFile(file) < 0) fail(kCloseError);
  if (!finite) fail(kNotFiniteError);
  return signal;
}
