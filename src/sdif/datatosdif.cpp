#include "sdif/datatosdif.h"

#include <iostream>

#include "sdif/sdif_messages.h"
#include "sdif/sdif_signatures.h"
#include "sdif/sdifheader.h"
#include "sdif/timeorder.h"

int datatosdif(const tessel::TesselVector<double>& time_v,
               const tessel::TesselVector<double>& data_v, SdifSignature frame_sig,
               SdifSignature matrix_sig, const std::string& filename,
               const gengetopt_args_info& args) {
  // One frame per element, whatever the orientation of the vectors.
  const long n = time_v.size();
  if (data_v.size() != n) {
    std::cout << sdif_messages::datatosdif_wrong_size(filename) << std::endl;
    return -1;
  }
  if (n >= kMaxSdifCount) {
    std::cout << sdif_messages::too_big("datatosdif", filename) << std::endl;
    return -1;
  }
  if (!finite_nondecreasing(time_v.data(), n)) {
    std::cout << sdif_messages::times_not_increasing("datatosdif", filename) << std::endl;
    return -1;
  }

  SDIFEntity entity;
  SdifHeaderOptions header;
  header.declare_vut = matrix_sig == k1VUT;
  sdifheader(entity, args, header);
  if (!entity.OpenWrite(filename)) {
    std::cout << sdif_messages::cannot_create(filename) << std::endl;
    return 1;
  }
  try {
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
    entity.Close();
  } catch (const SDIFException& e) {
    std::cout << sdif_messages::cannot_write(filename) << std::endl;
    e.ErrorMessage();
    return 1;
  }
  return 0;
}
