// Complex conjugate copy of a vector.
#pragma once

#include <tessel/tessel.h>

// Resizes dst to src's length and fills it with the complex conjugates of src's elements
// (imaginary parts negated), taking src's orientation. Real data pass unchanged.
void fcol_frob(const tessel::TesselVector<tessel::cplx<double>>& src,
               tessel::TesselVector<tessel::cplx<double>>& dst);
