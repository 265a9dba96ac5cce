// Vote density of reassigned frames.
#pragma once

#include <tessel/tessel.h>

// From the frame records z (real part: reassigned position, a 1-based fractional sample
// number; imaginary part: concentration) of frames of `len` samples every `hop` samples, at
// sr Hz: samples = the 0-based sample numbers floor(min) - 1 .. ceil(max) - 1 covering every
// position; density = the votes, each a Gaussian of sigma G = round(10 (hop - 1) + 1) tenths
// of a sample placed at its position rounded to a tenth of a sample, summed at each sample
// number and scaled by sqrt(2 pi) G / ceil(len / hop) (about 1 where every overlapping frame
// agrees); concentration = the concentrations interpolated at those samples. scale =
// hop sqrt(2 pi) / len; ref_concentration = the concentration of a constant frame under the
// Hann window. Frames whose position is not finite are left out; with none, the three vectors
// are empty. Work proportional to the votes times the kernel span in samples, no fine grid.
void postmarktemporel(const tessel::TesselVector<tessel::cplx<double>>& z, const double& sr,
                      const long& len, const long& hop, tessel::TesselVector<int>& samples,
                      tessel::TesselVector<double>& density,
                      tessel::TesselVector<double>& concentration, double& scale,
                      double& ref_concentration);

// The same density and concentration placed on the sample grid from sample 0: curve(i) is the
// density at 0-based sample i, 0 before the first covered sample and where the density has no
// point, up to the last covered sample; *concentration likewise (not computed when null).
// Summed in place in the curve's own storage: no signal-long temporary.
void postmarkcurve(const tessel::TesselVector<tessel::cplx<double>>& z, double sr, long len,
                   long hop, tessel::TesselVector<double>& curve,
                   tessel::TesselVector<double>* concentration, double& scale,
                   double& ref_concentration);
