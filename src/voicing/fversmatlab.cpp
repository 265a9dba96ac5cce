#include "voicing/fversmatlab.h"

tessel::TesselVector<double> fversmatlab(const tessel::TesselVector<double>& f, double sr, int n) {
  tessel::TesselVector<double> bins(f.size(), 0.0, f.iscol());
  for (int i = 0; i < f.size(); ++i) bins(i) = fversmatlab(f(i), sr, n);
  return bins;
}
