#include "sound/frames_in_file.h"

#include <sys/stat.h>

#include <algorithm>
#include <cmath>
#include <limits>

long long frames_in_file(AFfilehandle file, const std::string& path) {
  constexpr long long kNoBound = std::numeric_limits<long long>::max();
  const AFframecount announced = afGetFrameCount(file, AF_DEFAULT_TRACK);
  if (announced <= 0) return kNoBound;
  const double frame_bytes = afGetFrameSize(file, AF_DEFAULT_TRACK, 0);
  const AFfileoffset offset = afGetDataOffset(file, AF_DEFAULT_TRACK);
  struct stat st {};
  if (!(frame_bytes > 0.0) || offset < 0 || stat(path.c_str(), &st) != 0) return announced;
  const double held = std::floor(static_cast<double>(st.st_size - offset) / frame_bytes);
  return held < static_cast<double>(announced) ? std::max(0LL, static_cast<long long>(held))
                                               : announced;
}
