#pragma once

#include <vector>

#include "tessel/tessel.h"

// Sets out_m to an n x 2 matrix: column 0 the times, column 1 the values (same length n).
void tracktomatrix(const std::vector<double>& times, const std::vector<double>& values,
                   tessel::TesselMatrix<double>& out_m);
