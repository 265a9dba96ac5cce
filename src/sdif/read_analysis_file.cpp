#include "sdif/read_analysis_file.h"

#include <utility>

#include "sdif/sdif_messages.h"

namespace {

// The reader's framed text, the file it is about on a line of its own, the library's details.
Failure caught(std::string text, const std::string& path, const SDIFException& e) {
  text.append(sdif_messages::in_file(path));
  return Failure{std::move(text), e.Message()};
}

}  // namespace

Status read_analysis_file(const char* reader, const std::string& path, const std::string& selection,
                          const std::function<Status(SDIFEntity&)>& read_frames) {
  try {
    SDIFEntity entity;
    if (!entity.OpenRead(path)) return Failure{sdif_messages::cannot_open(path)};
    entity.ChangeSelection(selection);
    return read_frames(entity);
  } catch (const SDIFUnDefined& e) {
    return caught(sdif_messages::catch_undefined(reader), path, e);
  } catch (const SDIFException& e) {
    return caught(sdif_messages::catch_other(reader), path, e);
  }
}

Failure reader_failure(const std::string& text) {
  return Failure{text + "\n"};
}
