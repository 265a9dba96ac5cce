#pragma once

#include <functional>
#include <string>

#include "core/failure.h"
#include "lumbra/lumbra.h"

// Opens path for reading with selection (e.g. ":1VUV/1VUN"; "" for every frame) and lets
// read_frames read it. Returns its status, or the failure of the file: "cannot open" when it
// cannot be opened (sdif_messages::cannot_open), the framed "Catch Undefined" / "Catch other
// Exception" text of `reader` with the library's details when it is malformed. The entity is
// closed on every path.
[[nodiscard]] Status read_analysis_file(const char* reader, const std::string& path,
                                        const std::string& selection,
                                        const std::function<Status(SDIFEntity&)>& read_frames);

// The failure of a reader that stops on text (printed with a line end).
[[nodiscard]] Failure reader_failure(const std::string& text);
