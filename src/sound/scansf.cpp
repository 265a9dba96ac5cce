#include "sound/scansf.h"

#include <vector>

#include "sound/decode_sound.h"
#include "sound/sound_fingerprint.h"

Expected<SoundScan> scansf(const std::string& path, double& rate) {
  SoundScan scan;
  SoundFingerprinter print;
  std::vector<double> block;
  const Status read = decode_sound(
      path, rate, [](std::size_t) {},
      [&](const float* in, int n) {
        // The doubles readsf would hold, for their bits.
        block.assign(in, in + n);
        print.add(block);
        scan.frames += n;
      });
  if (!read) return read.error();
  scan.fingerprint = print.text(rate);
  return scan;
}
