#include "sdif/tracktomatrix.h"

#include <algorithm>

void tracktomatrix(const std::vector<double>& times, const std::vector<double>& values,
                   tessel::TesselMatrix<double>& out_m) {
  const long n = static_cast<long>(times.size());
  out_m.resize(n, 2);
  double* d = out_m.data();
  if (n == 0) return;
  std::copy(times.begin(), times.end(), d);        // column 0
  std::copy(values.begin(), values.end(), d + n);  // column 1 (column-major)
}
