#include "sdif/MRKsegtomatrix.h"

#include <cstdlib>
#include <iostream>
#include <vector>

#include "lumbra/lumbra.h"
#include "sdif/sdif_messages.h"
#include "sdif/tracktomatrix.h"

namespace {

[[noreturn]] void fail(const char* message) {
  std::cout << message << std::endl;
  std::exit(1);
}

// Next frame of the selection that holds a begin or an end matrix; false at the end.
bool next_marker(SDIFEntity& entity, SDIFFrame& f, SdifSignature begin, SdifSignature end) {
  while (!entity.eof()) {
    if (entity.ReadNextFrame(f) == 0) continue;
    if (f.MatrixExists(begin) || f.MatrixExists(end)) return true;
  }
  return false;
}

}  // namespace

int MRKsegtomatrix(const std::string& path, tessel::TesselMatrix<double>& out_m,
                   const std::string& frame, const std::string& begin, const std::string& end) {
  std::vector<double> starts, ends;
  long n_begin = 0, n_end = 0;
  try {
    SDIFEntity entity;
    if (!entity.OpenRead(path)) return 1;
    entity.ChangeSelection(":" + frame + "/" + begin + "," + end);
    const SdifSignature bsig = SdifStringToSignature(begin);
    const SdifSignature esig = SdifStringToSignature(end);
    SDIFFrame f;
    while (next_marker(entity, f, bsig, esig)) {
      if (!f.MatrixExists(bsig)) {
        ++n_end;  // an end without its begin: the counts will differ
        continue;
      }
      ++n_begin;
      const double start = f.GetTime();
      const double id = f.GetMatrixWithSig(bsig).GetDouble(0, 0);
      if (!next_marker(entity, f, bsig, esig) || !f.MatrixExists(esig)) {
        fail(sdif_messages::kMrkNoEnd);
      }
      ++n_end;
      if (f.GetMatrixWithSig(esig).GetDouble(0, 0) != id) fail(sdif_messages::kMrkWrongId);
      starts.push_back(start);
      ends.push_back(f.GetTime());
    }
  } catch (const SDIFUnDefined& e) {
    std::cout << sdif_messages::catch_undefined("MRKsegtomatrix");
    e.ErrorMessage();
    std::exit(1);
  } catch (const SDIFException& e) {
    std::cout << sdif_messages::catch_other("MRKsegtomatrix");
    e.ErrorMessage();
    std::exit(1);
  }
  if (n_begin != n_end) fail(sdif_messages::kMrkCountsDiffer);
  // A file without any zone (an empty zone table) reads as 0 rows.
  tracktomatrix(starts, ends, out_m);
  return 0;
}
