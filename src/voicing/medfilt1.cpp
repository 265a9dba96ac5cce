#include "voicing/medfilt1.h"

#include <algorithm>
#include <vector>

#include "voicing/fail.h"
#include "voicing/messages.h"

Expected<tessel::TesselVector<double>> medfilt1(const tessel::TesselVector<double>& x, int n) {
  if (n < 1) return voicing_detail::fail("medfilt1", voicing_msg::kMedfiltBadOrder);
  const int m = x.size();
  tessel::TesselVector<double> y(m, 0.0);
  if (m <= 2) return y;

  // Offset of the window's first sample from the centre, in samples.
  const int left = (n % 2 == 1) ? (n - 1) / 2 : n / 2;
  std::vector<double> window(static_cast<size_t>(n));
  const double* in = x.data();
  double* out = y.data();
  for (int i = 0; i < m; ++i) {
    for (int j = 0; j < n; ++j) {
      const int p = i - left + j;
      window[j] = (p >= 0 && p < m) ? in[p] : 0.0;
    }
    std::sort(window.begin(), window.end());
    out[i] = (n % 2 == 1) ? window[n / 2] : (window[n / 2 - 1] + window[n / 2]) * 0.5;
  }
  return y;
}
