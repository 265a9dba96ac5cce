#include "sdif/sdiftomatrix.h"

#include <limits>

#include "sdif/read_analysis_file.h"
#include "sdif/readtrack.h"
#include "sdif/tracktomatrix.h"

Status sdiftomatrix(const std::string& path, tessel::TesselMatrix<double>& out_m,
                    const std::string& selection) {
  std::vector<double> times, values;
  Status read = read_analysis_file("sdiftomatrix", path, selection, [&](SDIFEntity& entity) {
    readtrack(entity, std::numeric_limits<double>::infinity(), times, values);
    return Status{};
  });
  if (read) tracktomatrix(times, values, out_m);
  return read;
}
