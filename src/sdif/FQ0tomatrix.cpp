#include "sdif/FQ0tomatrix.h"

#include <iostream>

#include "lumbra/lumbra.h"
#include "sdif/readtrack.h"
#include "sdif/sdif_messages.h"
#include "sdif/tracktomatrix.h"

Status FQ0tomatrix(const std::string& path, tessel::TesselMatrix<double>& out_m,
                   const std::string& selection, double t_max) {
  std::vector<double> times, values;
  try {
    SDIFEntity entity;
    if (!entity.OpenRead(path)) return Failure{sdif_messages::cannot_open(path)};
    entity.ChangeSelection(selection);
    readtrack(entity, t_max, times, values);
  } catch (const SDIFUnDefined& e) {
    std::cout << sdif_messages::kFq0CatchUndefined << "\n"
              << sdif_messages::in_file(path) << std::flush;
    e.ErrorMessage();
  } catch (const SDIFException& e) {
    std::cout << sdif_messages::kFq0CatchOther << "\n"
              << sdif_messages::in_file(path) << std::flush;
    e.ErrorMessage();
  }
  // readtrack appends a time and its value together: the two lists have the same length.
  tracktomatrix(times, values, out_m);
  return Status{};
}
