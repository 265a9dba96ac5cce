#include <algorithm>

#include "psola/time_map.h"

double map_back(const TimeMap& t, double out_pos) {
  const auto hi = std::upper_bound(t.out.begin(), t.out.end(), out_pos);
  const std::size_t i = hi == t.out.begin() ? 0
                        : hi == t.out.end() ? t.out.size() - 2
                                            : static_cast<std::size_t>(hi - t.out.begin()) - 1;
  return t.marks[i].pos + (out_pos - t.out[i]) / t.rates[i];
}
