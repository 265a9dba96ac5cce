// The voicing-coefficient track as a curve of sample positions.
#pragma once

#include <tessel/tessel.h>

// One element per row r of coef (column 0 time in s, column 1 coefficient): real part
// sr * time(r) - 1 (a sample position), imaginary part coefficient(r). Used for the voiced
// zones and by the mark positioning.
tessel::TesselVector<tessel::cplx<double>> voicingcurve(const tessel::TesselMatrix<double>& coef,
                                                        double sr);
