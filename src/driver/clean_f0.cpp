// f0 cleaning and median.
#include "driver/clean_f0.h"

namespace {
constexpr double kHighestF0Hz = 2000.0;  // above: taken as an analysis error
constexpr double kLowestF0Hz = 20.0;     // below: taken as an analysis error
constexpr double kFallbackF0Hz = 150.0;  // value put in place of an error
}  // namespace

double clean_f0(tessel::TesselMatrix<double>& track) {
  const long rows = track.nrows();
  double* f0 = track.data() + rows;  // column 1 (column-major)
  // Above the highest or below the lowest f0; a value that is not a number (possible in a
  // user's f0 file) is as wrong and would otherwise reach the median and every later step.
  for (long r = 0; r < rows; ++r)
    if (f0[r] > kHighestF0Hz || !(f0[r] >= kLowestF0Hz)) f0[r] = kFallbackF0Hz;
  return tessel::basic_ops::median(track(1));
}
