#include "sdif/write_analysis_file.h"

#include <iostream>

#include "sdif/sdif_messages.h"

int write_analysis_file(const std::string& filename, const HeaderFacts& facts,
                        const SdifHeaderOptions& header,
                        const std::function<void(SDIFEntity&)>& write_frames) {
  SDIFEntity entity;
  sdifheader(entity, facts, header);
  if (!entity.OpenWrite(filename)) {
    std::cout << sdif_messages::cannot_create(filename) << std::endl;
    return 1;
  }
  try {
    write_frames(entity);
    entity.Close();
  } catch (const SDIFException& e) {
    std::cout << sdif_messages::cannot_write(filename) << std::endl;
    e.ErrorMessage();
    return 1;
  }
  return 0;
}
