#include "marks/tooclose.h"

#include <vector>

void tooclose(const tessel::TesselVector<double>& times_v, double min_gap,
              tessel::TesselVector<double>& kept_v, tessel::TesselVector<int>& kept_idx) {
  const int size = times_v.size();
  const double* t = times_v.data();
  std::vector<int> kept;
  bool open = false;  // the last kept boundary started a zone
  for (int i = 0; i + 1 < size; ++i) {
    const bool is_start = (i % 2) == 0;
    if (t[i + 1] - t[i] > min_gap && open != is_start) {
      kept.push_back(i);
      open = is_start;
    }
  }
  if (open) kept.push_back(size - 1);

  const int n = static_cast<int>(kept.size());
  kept_v.resize(n);
  kept_idx.resize(n);
  for (int k = 0; k < n; ++k) {
    kept_idx(k) = kept[k];
    kept_v(k) = t[kept[k]];
  }
}
