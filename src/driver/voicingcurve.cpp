#include "driver/voicingcurve.h"

tessel::TesselVector<tessel::cplx<double>> voicingcurve(const tessel::TesselMatrix<double>& coef,
                                                        double sr) {
  const int rows = coef.nrows();
  tessel::TesselVector<tessel::cplx<double>> curve(rows, tessel::cplx<double>(0.0, 0.0));
  for (int r = 0; r < rows; ++r) curve(r) = tessel::cplx<double>(sr * coef(r, 0) - 1.0, coef(r, 1));
  return curve;
}
