#pragma once

#include <vector>

#include "lumbra/lumbra.h"

// Reads the selected frames of an entity opened for reading, until the end or the first frame
// later than t_max (seconds): for every row of every matrix, appends the frame time to times
// and the element of the matrix's last column to values (matrices without columns add
// nothing). Throws the library's exceptions on a malformed file; what was read stays appended.
void readtrack(SDIFEntity& entity, double t_max, std::vector<double>& times,
               std::vector<double>& values);
