#include "driver/transientzones.h"

#include <cstdio>
#include <vector>

#include "voicing/fthresholdcalcul.h"

tessel::TesselMatrix<double> transientzones(const tessel::TesselVector<double>& curve, double sr,
                                            double threshold, long nsamples) {
  // The crossings of fthreshold(curve as (index, value), threshold, 2, 0): the positions are
  // the indices themselves, so the scan runs on the curve in place instead of on a complex
  // copy 16 bytes a sample long.
  const std::vector<long> crossings = fthresholdcalcul(curve.data(), curve.size(), threshold, 2);
  std::vector<double> b(crossings.begin(), crossings.end());
  if (b.size() % 2 == 1) {
    std::fputs(kTransientEndMissing, stderr);
    b.push_back(static_cast<double>(nsamples - 1));
  }
  const int rows = static_cast<int>(b.size() / 2);
  tessel::TesselMatrix<double> zones(rows, 2, 0.0);
  for (int r = 0; r < rows; ++r) {
    zones(r, 0) = b[2 * r] / sr;
    zones(r, 1) = b[2 * r + 1] / sr;
  }
  return zones;
}
