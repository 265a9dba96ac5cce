// Peak or energy normalisation of a vector.
#pragma once

#include <tessel/tessel.h>

// Scaled copy of x (same length and orientation). The target a is level[0], or 1.0 when level
// is empty. With energy empty: x * a / max|x| (an all-zero x is returned unchanged); an empty
// x throws tessel::error ("max_elem called for empty vector"). With energy non-empty:
// x * sqrt(a / sum(x^2)), so that the sum of squares becomes a.
tessel::TesselVector<double> norm(const tessel::TesselVector<double>& x,
                                  const tessel::TesselVector<double>& level,
                                  const tessel::TesselVector<double>& energy);
