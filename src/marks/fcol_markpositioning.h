// Column copy of a mark list.
#pragma once

#include <tessel/tessel.h>

// A copy of v (own storage) oriented as a column vector.
[[nodiscard]] tessel::TesselVector<tessel::cplx<double>> fcol_markpositioning(
    const tessel::TesselVector<tessel::cplx<double>>& v);
