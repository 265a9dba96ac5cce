#include "sdif/readtrack.h"

void readtrack(SDIFEntity& entity, double t_max, std::vector<double>& times,
               std::vector<double>& values) {
  SDIFFrame frame;
  while (!entity.eof()) {
    if (entity.ReadNextFrame(frame) == 0) continue;
    const double t = frame.GetTime();
    if (t > t_max) break;  // frame times never decrease: nothing later is wanted
    for (std::size_t k = 0; k < frame.GetNbMatrix(); ++k) {
      const SDIFMatrix& m = frame.GetMatrix(k);
      const int last = m.GetNbCols() - 1;
      if (last < 0) continue;
      for (int r = 0; r < m.GetNbRows(); ++r) {
        times.push_back(t);
        values.push_back(m.GetDouble(r, last));
      }
    }
  }
}
