// Axis ticks at round values.
#pragma once

#include <string>
#include <vector>

struct Ticks {
  std::vector<double> values;  // ascending, inside [lo, hi]
  double step = 0.0;
};

// Ticks at multiples of 1, 2 or 5 times a power of ten, about `wanted` (>= 2) of them in
// [lo, hi] (lo < hi). Never more than 2 * wanted + 1.
[[nodiscard]] Ticks nice_ticks(double lo, double hi, int wanted);

// Label of a tick value with as many decimals as the step needs ("0.25", "100", "-0.5").
[[nodiscard]] std::string tick_label(double value, double step);
