#include "sdif/EPCrows.h"

#include "lumbra/lumbra.h"
#include "sdif/read_analysis_file.h"

Status EPCrows(const std::string& path, long& rows, const std::string& selection) {
  long total = 0;
  // Named as the reader whose refusals these are, so that a damaged file reads the same.
  Status read = read_analysis_file("EPCtovector", path, selection, [&](SDIFEntity& entity) {
    SDIFFrameHeader frame;
    while (!entity.eof()) {
      if (entity.ReadNextFrameHeader(frame) == 0) continue;
      for (const SDIFMatrixHeader& m : frame.matrices) {
        if (m.cols != 0 && m.rows != 0) total += m.rows;
      }
    }
    return Status{};
  });
  if (read) rows = total;
  return read;
}
