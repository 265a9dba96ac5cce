#include "epochs/fcol_frob.h"

using tessel::cplx;
using tessel::TesselVector;

void fcol_frob(const TesselVector<cplx<double>>& src, TesselVector<cplx<double>>& dst) {
  const int n = src.size();
  dst.resize(n);
  for (int i = 0; i < n; ++i) dst[i] = cplx<double>(src[i].re, -src[i].im);
  dst.setcol(src.iscol());
}
