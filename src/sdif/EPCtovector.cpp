#include "sdif/EPCtovector.h"

#include <cstdlib>
#include <iostream>
#include <vector>

#include "lumbra/lumbra.h"
#include "sdif/sdif_messages.h"

int EPCtovector(const std::string& path, tessel::TesselVector<double>& out_v,
                const std::string& selection) {
  // The matrices are kept as read (float32) and converted once, straight into out_v.
  std::vector<SDIFMatrix> kept;
  long total = 0;
  try {
    SDIFEntity entity;
    if (!entity.OpenRead(path)) return 1;
    entity.ChangeSelection(selection);
    SDIFFrame frame;
    while (!entity.eof()) {
      if (entity.ReadNextFrame(frame) == 0) continue;
      for (std::size_t k = 0; k < frame.GetNbMatrix(); ++k) {
        SDIFMatrix& m = frame.GetMatrix(k);
        if (m.GetNbCols() == 0 || m.GetNbRows() == 0) continue;
        total += m.GetNbRows();
        kept.push_back(std::move(m));
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
  out_v.resize(total);
  double* at = out_v.data();
  for (const SDIFMatrix& m : kept) {
    m.GetCol(0, at);
    at += m.GetNbRows();
  }
  return 0;
}
