#include "sdif/write_analysis_file.h"

#include "sdif/sdif_messages.h"

Status write_analysis_file(const std::string& filename, const HeaderFacts& facts,
                           const SdifHeaderOptions& header,
                           const std::function<void(SDIFEntity&)>& write_frames) {
  SDIFEntity entity;
  sdifheader(entity, facts, header);
  if (!entity.OpenWrite(filename)) return Failure(sdif_messages::cannot_create(filename) + "\n");
  try {
    write_frames(entity);
    entity.Close();
  } catch (const SDIFException& e) {
    return Failure(sdif_messages::cannot_write(filename) + "\n", e.Message());
  }
  return Status{};
}
