#include "sdif/EPCtovector.h"

#include <vector>

#include "lumbra/lumbra.h"
#include "sdif/read_analysis_file.h"

Status EPCtovector(const std::string& path, tessel::TesselVector<double>& out_v,
                   const std::string& selection) {
  // The matrices are kept as read (float32) and converted once, straight into out_v.
  std::vector<SDIFMatrix> kept;
  long total = 0;
  Status read = read_analysis_file("EPCtovector", path, selection, [&](SDIFEntity& entity) {
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
    return Status{};
  });
  if (!read) return read;
  out_v.resize(total, tessel::uninitialized);
  double* at = out_v.data();
  for (const SDIFMatrix& m : kept) {
    m.GetCol(0, at);
    at += m.GetNbRows();
  }
  return read;
}
