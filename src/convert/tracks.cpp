#include "convert/tracks.h"

#include <cmath>

#include "convert/convert_error.h"
#include "convert/text_number.h"

std::size_t fill_unvoiced(F0Track& track) {
  const std::size_t n = track.t.size();
  std::size_t first = n, last = n;
  for (std::size_t i = 0; i < n; ++i) {
    if (track.voiced[i]) {
      if (first == n) first = i;
      last = i;
    }
  }
  std::size_t filled = 0;
  for (std::size_t i = 0; i < n; ++i) {
    if (track.voiced[i]) continue;
    ++filled;
    if (first == n) {
      track.f0[i] = 0.0;
    } else if (i < first) {
      track.f0[i] = track.f0[first];
    } else if (i > last) {
      track.f0[i] = track.f0[last];
    }
  }
  // Inner runs: between the voiced points a and b around them.
  std::size_t a = first;
  for (std::size_t i = first + 1; first != n && i <= last; ++i) {
    if (!track.voiced[i]) continue;
    for (std::size_t k = a + 1; k < i; ++k) {
      const double w = (track.t[k] - track.t[a]) / (track.t[i] - track.t[a]);
      track.f0[k] = track.f0[a] + w * (track.f0[i] - track.f0[a]);
    }
    a = i;
  }
  track.voiced.assign(n, true);
  return filled;
}

void check_track(const F0Track& track, const std::string& path, const std::vector<int>& lines) {
  const auto where = [&](std::size_t i) {
    return i < lines.size() ? path + ":" + std::to_string(lines[i]) : path;
  };
  for (std::size_t i = 0; i < track.t.size(); ++i) {
    if (!std::isfinite(track.t[i])) throw ConvertError(where(i) + ": time is not a number");
    if (track.voiced[i] && !std::isfinite(track.f0[i])) {
      throw ConvertError(where(i) + ": f0 is not a number");
    }
    if (i > 0 && !(track.t[i] > track.t[i - 1])) {
      throw ConvertError(where(i) + ": time " + shortest(track.t[i]) +
                         " s does not come after the previous one (" + shortest(track.t[i - 1]) +
                         " s)");
    }
  }
}
