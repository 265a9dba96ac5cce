#include "voicing/matlabversf.h"

tessel::TesselVector<double> matlabversf(const tessel::TesselVector<double>& k, double sr, int n) {
  tessel::TesselVector<double> freqs(k.size(), 0.0, k.iscol());
  for (int i = 0; i < k.size(); ++i) freqs(i) = matlabversf(k(i), sr, n);
  return freqs;
}
