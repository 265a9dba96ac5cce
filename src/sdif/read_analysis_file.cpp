#include "sdif/read_analysis_file.h"

#include "sdif/sdif_messages.h"

Status read_analysis_file(const char* reader, const std::string& path, const std::string& selection,
                          const std::function<Status(SDIFEntity&)>& read_frames) {
  try {
    SDIFEntity entity;
    if (!entity.OpenRead(path)) return Failure{sdif_messages::cannot_open(path)};
    entity.ChangeSelection(selection);
    return read_frames(entity);
  } catch (const SDIFUnDefined& e) {
    return Failure{sdif_messages::catch_undefined(reader) + sdif_messages::in_file(path),
                   e.Message()};
  } catch (const SDIFException& e) {
    return Failure{sdif_messages::catch_other(reader) + sdif_messages::in_file(path), e.Message()};
  }
}

Failure reader_failure(const std::string& text) {
  return Failure{text + "\n"};
}
