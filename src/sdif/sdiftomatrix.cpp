#include "sdif/sdiftomatrix.h"

#include <cstdlib>
#include <iostream>
#include <limits>

#include "lumbra/lumbra.h"
#include "sdif/readtrack.h"
#include "sdif/sdif_messages.h"
#include "sdif/tracktomatrix.h"

int sdiftomatrix(const std::string& path, tessel::TesselMatrix<double>& out_m,
                 const std::string& selection) {
  std::vector<double> times, values;
  try {
    SDIFEntity entity;
    if (!entity.OpenRead(path)) return 1;
    entity.ChangeSelection(selection);
    readtrack(entity, std::numeric_limits<double>::infinity(), times, values);
  } catch (const SDIFUnDefined& e) {
    std::cout << sdif_messages::catch_undefined("sdiftomatrix");
    e.ErrorMessage();
    std::exit(1);
  } catch (const SDIFException& e) {
    std::cout << sdif_messages::catch_other("sdiftomatrix");
    e.ErrorMessage();
    std::exit(1);
  }
  tracktomatrix(times, values, out_m);
  return 0;
}
