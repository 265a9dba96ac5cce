#include "sdif/datato1EPC.h"

#include "sdif/sdif_messages.h"
#include "sdif/sdif_signatures.h"
#include "sdif/write_analysis_file.h"

Status datato1EPC(const tessel::TesselVector<double>& data_v, SdifSignature matrix_sig,
                  const std::string& filename, const HeaderFacts& facts) {
  const long n = data_v.size();
  if (n > kMaxFloatColumnRows)
    return Failure(sdif_messages::too_big("datato1EPC", filename) + "\n");

  SdifHeaderOptions header;
  header.declare_epc = true;
  // One frame at time 0 holding the whole curve, converted to float32 as it is written.
  return write_analysis_file(filename, facts, header, [&](SDIFEntity& entity) {
    entity.WriteColumnFrame(k1EPC, 0, 0.0, matrix_sig, data_v.data(), n);
  });
}
