#include "voicing/fc.h"

int fc(const double* ratio, int n, double threshold) {
  // Running counts make the scan linear in the number of harmonics.
  int below_total = 0;
  for (int j = 0; j < n; ++j) below_total += (ratio[j] < threshold) ? 1 : 0;
  int harmonic_upto = 0;  // r[j] >= threshold for j <= i
  int below_upto = 0;     // r[j] < threshold for j <= i
  int best = -1;
  int best_i = 0;
  for (int i = 0; i < n; ++i) {
    harmonic_upto += (ratio[i] >= threshold) ? 1 : 0;
    below_upto += (ratio[i] < threshold) ? 1 : 0;
    const int score = harmonic_upto + (below_total - below_upto);
    if (score > best) {
      best = score;
      best_i = i;
    }
  }
  return best_i;
}

tessel::TesselVector<int> fc(const tessel::TesselVector<double>& r, double threshold) {
  if (r.size() == 0) return tessel::TesselVector<int>();
  return tessel::TesselVector<int>(1, fc(r.data(), r.size(), threshold));
}
