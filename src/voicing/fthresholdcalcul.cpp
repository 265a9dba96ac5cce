#include "voicing/fthresholdcalcul.h"

#include <vector>

tessel::TesselVector<double> fthresholdcalcul(const tessel::TesselVector<double>& times,
                                              const tessel::TesselVector<double>& values,
                                              double threshold, int mode) {
  const int n = values.size();
  const double* v = values.data();
  std::vector<int> picked;
  if (mode == 2) {
    bool inside = false;
    for (int k = 0; k < n; ++k) {
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
    for (int k = 1; k < n; ++k) {
      if (v[k] > threshold && v[k] - v[k - 1] > 0.0) picked.push_back(k);
    }
  }
  tessel::TesselVector<double> result(static_cast<int>(picked.size()), 0.0);
  for (size_t i = 0; i < picked.size(); ++i) result(static_cast<int>(i)) = times(picked[i]);
  return result;
}
