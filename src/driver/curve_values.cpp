#include "driver/curve_values.h"

#include <string>

#include "sdif/EPCtovector.h"

Expected<const tessel::TesselVector<double>*> curve_values(const SampleCurve& curve,
                                                           tessel::TesselVector<double>& storage) {
  if (curve.file.empty()) return &curve.values;
  if (Status read = EPCtovector(curve.file, storage, curve.selection); !read)
    return std::move(read).error();
  // The run holds the folder's lock, so only another program can have changed the file since.
  if (storage.size() != curve.size) {
    return Failure{"\n *** Error *** \n -> " + curve.file +
                   " changed while the analysis was running \n *** Exiting from the program "
                   "***\n"};
  }
  return &storage;
}
