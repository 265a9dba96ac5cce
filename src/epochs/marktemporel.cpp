#include "epochs/marktemporel.h"

#include <cmath>

void marktemporel(const tessel::TesselVector<double>& frame, double& centre_offset,
                  double& concentration) {
  const int len = frame.size();
  const double* x = frame.data();
  const double c0 = (len - 1) * 0.5;

  double energy = 0.0, moment = 0.0;
  for (int i = 0; i < len; ++i) {
    const double p = x[i] * x[i];
    energy += p;
    moment += p * (i - c0);
  }

  double sigma;
  if (energy <= 0.0) {
    centre_offset = 0.0;
    sigma = len / 2;
  } else {
    const double tc = moment / energy;
    double spread = 0.0;
    for (int i = 0; i < len; ++i) {
      const double d = (i - c0) - tc;
      spread += x[i] * x[i] * (d * d);
    }
    centre_offset = tc;
    sigma = std::sqrt(spread / energy);
  }
  concentration = sigma / (-0.5 * len) + 1.0;
}
