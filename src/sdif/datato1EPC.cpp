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
  return write_analysis_file(filename, facts, header, [&](SDIFEntity& entity) {
    SDIFMatrix m = SDIFMatrix::Unset(matrix_sig, static_cast<int>(n), 1, eFloat4);
    m.SetCol(0, data_v.data());
    SDIFFrame frame;
    frame.SetHeader(k1EPC, 0, 0.0);
    frame.AddMatrix(std::move(m));
    frame.Write(entity);
  });
}
