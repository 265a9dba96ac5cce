#include "sdif/datato1PSO.h"

#include "sdif/frame_times_ok.h"
#include "sdif/sdif_messages.h"
#include "sdif/sdif_signatures.h"
#include "sdif/write_analysis_file.h"

Status datato1PSO(
    const std::string& filename, double sr, const tessel::TesselVector<double>& time_v,
    const tessel::TesselVector<double>& position, const tessel::TesselVector<double>& f0,
    const tessel::TesselVector<double>& voicing_flag,
    const tessel::TesselVector<double>& voicing_coef, const tessel::TesselVector<double>& cutoff,
    const tessel::TesselVector<double>& periods, const tessel::TesselVector<double>& mod,
    const tessel::TesselVector<double>& transient_flag, const HeaderFacts& facts) {
  const long n = time_v.size();
  const tessel::TesselVector<double>* columns[8] = {
      &position, &f0, &voicing_flag, &voicing_coef, &cutoff, &periods, &mod, &transient_flag};
  for (const auto* c : columns) {
    if (c->size() != n) {
      return Failure(sdif_messages::datato1pso_wrong_size(filename) + "\n");
    }
  }
  if (Status times = frame_times_ok("datato1PSO", filename, time_v.data(), n); !times) return times;

  SdifHeaderOptions header;
  header.declare_pso = true;
  return write_analysis_file(filename, facts, header, [&](SDIFEntity& entity) {
    SDIFFrame frame;
    frame.SetSignature(k1PSO);
    frame.AddMatrix(SDIFMatrix(kITDS, 1, 1, eFloat4));
    frame.AddMatrix(SDIFMatrix(k1PSO, 1, 8, eFloat4));
    frame.GetMatrix(0).Set(0, 0, sr);
    SDIFMatrix& row = frame.GetMatrix(1);
    for (long i = 0; i < n; ++i) {
      frame.SetTime(time_v[i]);
      for (int c = 0; c < 8; ++c) row.Set(0, c, (*columns[c])[i]);
      frame.Write(entity);
    }
  });
}
