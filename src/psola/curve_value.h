// Value of a break-point curve.
#pragma once

#include "psola/psola_types.h"

// The curve at time t (seconds): linear between break points, the first value before the
// first point and the last after the last. The curve must not be empty.
[[nodiscard]] double curve_value(const Curve& curve, double t);
