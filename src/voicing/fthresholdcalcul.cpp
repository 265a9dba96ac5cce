#include "voicing/fthresholdcalcul.h"

#include <vector>

std::vector<long> fthresholdcalcul(const double* v, long n, double threshold, int mode) {
  std::vector<long> picked;
  if (mode == 2) {
    bool inside = false;
    for (long k = 0; k < n; ++k) {
      if (!inside && v[k] > threshold) {
        picked.push_back(k);
        inside = true;
      } else if (inside && v[k] < threshold) {
        picked.push_back(k);
        inside = false;
      }
    }
  } else if (mode == 1) {
    // The first element has no predecessor: its rise counts as 0.
    for (long k = 1; k < n; ++k) {
      if (v[k] > threshold && v[k] - v[k - 1] > 0.0) picked.push_back(k);
    }
  }
  return picked;
}

tessel::TesselVector<double> fthresholdcalcul(const tessel::TesselVector<double>& times,
                                              const tessel::TesselVector<double>& values,
                                              double threshold, int mode) {
  const std::vector<long> picked = fthresholdcalcul(values.data(), values.size(), threshold, mode);
  tessel::TesselVector<double> result(static_cast<int>(picked.size()), 0.0);
  for (size_t i = 0; i < picked.size(); ++i) result(static_cast<int>(i)) = times(picked[i]);
  return result;
}
