#include "sdif/segmentto1MRK.h"

#include <vector>

#include "sdif/sdif_messages.h"
#include "sdif/sdif_signatures.h"
#include "sdif/timeorder.h"
#include "sdif/write_analysis_file.h"

Status segmentto1MRK(const tessel::TesselMatrix<double>& segment_m, const std::string& filename,
                     SdifSignature begin_sig, SdifSignature end_sig,
                     const std::string& segment_type, const HeaderFacts& facts) {
  const long n = segment_m.nrows();
  if (n >= kMaxSdifCount) {
    return Failure(std::string(sdif_messages::kSegmentTooBig) + "\n");
  }
  if (n > 0 && segment_m.ncols() < 2) {
    return Failure(std::string(sdif_messages::kSegmentColumns) + "\n");
  }
  // The frames alternate start, end, start, end...: their times must not decrease.
  std::vector<double> times(static_cast<std::size_t>(2 * n));
  for (long i = 0; i < n; ++i) {
    times[2 * i] = segment_m(i, 0);
    times[2 * i + 1] = segment_m(i, 1);
  }
  if (!finite_nondecreasing(times.data(), 2 * n)) {
    return Failure(sdif_messages::times_not_increasing("segmentto1MRK", filename) + "\n");
  }

  SdifHeaderOptions header;
  header.segment_type = segment_type;
  return write_analysis_file(filename, facts, header, [&](SDIFEntity& entity) {
    SDIFFrame begin, end;
    begin.SetSignature(k1MRK);
    end.SetSignature(k1MRK);
    begin.AddMatrix(SDIFMatrix(begin_sig, 1, 1, eFloat4));
    end.AddMatrix(SDIFMatrix(end_sig, 1, 1, eFloat4));
    for (long i = 0; i < n; ++i) {
      begin.SetTime(times[2 * i]);
      begin.GetMatrix(0).Set(0, 0, static_cast<double>(i));
      begin.Write(entity);
      end.SetTime(times[2 * i + 1]);
      end.GetMatrix(0).Set(0, 0, static_cast<double>(i));
      end.Write(entity);
    }
  });
}
