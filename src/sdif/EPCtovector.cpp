#include "sdif/EPCtovector.h"

#include <algorithm>
#include <cstdlib>
#include <iostream>
#include <vector>

#include "lumbra/lumbra.h"
#include "sdif/sdif_messages.h"

int EPCtovector(const std::string& path, tessel::TesselVector<double>& out_v,
                const std::string& selection) {
  std::vector<double> values;
  try {
    SDIFEntity entity;
    if (!entity.OpenRead(path)) return 1;
    entity.ChangeSelection(selection);
    SDIFFrame frame;
    while (!entity.eof()) {
      if (entity.ReadNextFrame(frame) == 0) continue;
      for (std::size_t k = 0; k < frame.GetNbMatrix(); ++k) {
        const SDIFMatrix& m = frame.GetMatrix(k);
        if (m.GetNbCols() == 0 || m.GetNbRows() == 0) continue;
        const std::size_t at = values.size();
        values.resize(at + static_cast<std::size_t>(m.GetNbRows()));
        m.GetCol(0, values.data() + at);
      }
      frame.ClearData();
    }
  } catch (const SDIFUnDefined& e) {
    std::cout << sdif_messages::catch_undefined("EPCtovector");
    e.ErrorMessage();
    std::exit(1);
  } catch (const SDIFException& e) {
    std::cout << sdif_messages::catch_other("EPCtovector");
    e.ErrorMessage();
    std::exit(1);
  }
  out_v.resize(static_cast<long>(values.size()));
  std::copy(values.begin(), values.end(), out_v.data());
  return 0;
}
