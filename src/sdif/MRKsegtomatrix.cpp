#include "sdif/MRKsegtomatrix.h"

#include <vector>

#include "lumbra/lumbra.h"
#include "sdif/read_analysis_file.h"
#include "sdif/sdif_messages.h"
#include "sdif/tracktomatrix.h"

namespace {

// Next frame of the selection that holds a begin or an end matrix; false at the end.
bool next_marker(SDIFEntity& entity, SDIFFrame& f, SdifSignature begin, SdifSignature end) {
  while (!entity.eof()) {
    if (entity.ReadNextFrame(f) == 0) continue;
    if (f.MatrixExists(begin) || f.MatrixExists(end)) return true;
  }
  return false;
}

}  // namespace

Status MRKsegtomatrix(const std::string& path, tessel::TesselMatrix<double>& out_m,
                      const std::string& frame, const std::string& begin, const std::string& end) {
  std::vector<double> starts, ends;
  long n_begin = 0, n_end = 0;
  const SdifSignature bsig = SdifStringToSignature(begin);
  const SdifSignature esig = SdifStringToSignature(end);
  const std::string selection = ":" + frame + "/" + begin + "," + end;
  Status read = read_analysis_file("MRKsegtomatrix", path, selection, [&](SDIFEntity& entity) {
    SDIFFrame f;
    while (next_marker(entity, f, bsig, esig)) {
      if (!f.MatrixExists(bsig)) {
        ++n_end;  // an end without its begin: the counts will differ
        continue;
      }
      ++n_begin;
      const double start = f.GetTime();
      const double id = f.GetMatrixWithSig(bsig).GetDouble(0, 0);
      if (!next_marker(entity, f, bsig, esig) || !f.MatrixExists(esig))
        return Status{reader_failure(sdif_messages::kMrkNoEnd + sdif_messages::in_file(path))};
      ++n_end;
      if (f.GetMatrixWithSig(esig).GetDouble(0, 0) != id)
        return Status{reader_failure(sdif_messages::kMrkWrongId + sdif_messages::in_file(path))};
      starts.push_back(start);
      ends.push_back(f.GetTime());
    }
    return Status{};
  });
  if (!read) return read;
  if (n_begin != n_end)
    return reader_failure(std::string(sdif_messages::kMrkCountsDiffer) + "\n" +
                          sdif_messages::in_file(path));
  // A file without any zone (an empty zone table) reads as 0 rows.
  tracktomatrix(starts, ends, out_m);
  return read;
}
