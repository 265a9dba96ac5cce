#include "sdif/datatosdif.h"

#include "sdif/frame_times_ok.h"
#include "sdif/sdif_messages.h"
#include "sdif/sdif_signatures.h"
#include "sdif/write_analysis_file.h"

Status datatosdif(const tessel::TesselVector<double>& time_v,
                  const tessel::TesselVector<double>& data_v, SdifSignature frame_sig,
                  SdifSignature matrix_sig, const std::string& filename, const HeaderFacts& facts) {
  // One frame per element, whatever the orientation of the vectors.
  const long n = time_v.size();
  if (data_v.size() != n) return Failure(sdif_messages::datatosdif_wrong_size(filename) + "\n");
  if (Status times = frame_times_ok("datatosdif", filename, time_v.data(), n); !times) return times;

  SdifHeaderOptions header;
  header.declare_vut = matrix_sig == k1VUT;
  return write_analysis_file(filename, facts, header, [&](SDIFEntity& entity) {
    SDIFFrame frame;
    frame.SetSignature(frame_sig);
    frame.AddMatrix(SDIFMatrix(matrix_sig, 1, 1, eFloat4));
    SDIFMatrix& m = frame.GetMatrix(0);
    const double* t = time_v.data();
    const double* v = data_v.data();
    for (long i = 0; i < n; ++i) {
      frame.SetTime(t[i]);
      m.Set(0, 0, v[i]);
      frame.Write(entity);
    }
  });
}
