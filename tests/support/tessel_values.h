// Conversions between the vectors of the numeric core and std::vector, for building inputs and
// comparing results in tests.
#pragma once

#include <cstddef>
#include <vector>

#include "tessel/tessel.h"

namespace testsupport {

// A TesselVector holding the values of v, in order.
inline tessel::TesselVector<double> vec(const std::vector<double>& v) {
  tessel::TesselVector<double> out(static_cast<long>(v.size()), 0.0);
  for (std::size_t i = 0; i < v.size(); ++i) out[static_cast<long>(i)] = v[i];
  return out;
}

// The elements of a vector or a view (anything with size() and operator[]) as doubles.
template <class V>
std::vector<double> values_of(const V& v) {
  std::vector<double> out;
  for (int i = 0; i < v.size(); ++i) out.push_back(static_cast<double>(v[i]));
  return out;
}

}  // namespace testsupport
