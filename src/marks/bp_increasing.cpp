#include "marks/bp_increasing.h"

bool bp_increasing(const tessel::TesselMatrix<double>& bp_m) {
  const long n = bp_m.nrows();
  if (n == 0 || bp_m.ncols() == 0) return true;
  const double* t = bp_m.data();
  if (!(t[0] == t[0])) return false;
  for (long r = 1; r < n; ++r) {
    if (!(t[r - 1] < t[r])) return false;
  }
  return true;
}
