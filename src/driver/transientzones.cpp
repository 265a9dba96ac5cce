#include "driver/transientzones.h"

#include <cstdio>
#include <vector>

#include "voicing/fthreshold.h"

tessel::TesselMatrix<double> transientzones(const tessel::TesselVector<double>& curve, double sr,
                                            double threshold, long nsamples) {
  const int n = curve.size();
  tessel::TesselVector<tessel::cplx<double>> track(n, tessel::cplx<double>(0.0, 0.0));
  for (int i = 0; i < n; ++i) track(i) = tessel::cplx<double>(static_cast<double>(i), curve(i));
  const tessel::TesselVector<double> crossings = fthreshold(track, threshold, 2, 0);
  std::vector<double> b(crossings.data(), crossings.data() + crossings.size());
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
