#include "voicing/fthreshold.h"

#include "voicing/fthresholdcalcul.h"
#include "voicing/norm.h"

tessel::TesselVector<double> fthreshold(const tessel::TesselVector<tessel::cplx<double>>& track,
                                        double threshold, int mode, int normalise) {
  const int n = track.size();
  tessel::TesselVector<double> times(n, 0.0);
  tessel::TesselVector<double> values(n, 0.0);
  for (int i = 0; i < n; ++i) {
    times(i) = track(i).re;
    values(i) = track(i).im;
  }
  if (normalise == 1) {
    const tessel::TesselVector<double> none;
    values = norm(values, none, none);
  }
  if (mode == 1 && n > 0) {
    double mean = 0.0;
    for (int i = 0; i < n; ++i) mean += values(i);
    mean /= n;
    for (int i = 0; i < n; ++i) values(i) -= mean;
  }
  return fthresholdcalcul(times, values, threshold, mode);
}
