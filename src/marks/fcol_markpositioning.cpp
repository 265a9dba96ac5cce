#include "marks/fcol_markpositioning.h"

tessel::TesselVector<tessel::cplx<double>> fcol_markpositioning(
    const tessel::TesselVector<tessel::cplx<double>>& v) {
  tessel::TesselVector<tessel::cplx<double>> out;
  out = v;
  out.setcol(true);
  return out;
}
