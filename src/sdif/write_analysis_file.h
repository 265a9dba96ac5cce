#pragma once

#include <functional>
#include <string>

#include "lumbra/lumbra.h"
#include "sdif/header_keys.h"
#include "sdif/sdifheader.h"

// Creates filename with the analysis-file header that header asks for, lets write_frames write
// the frames into it, then closes it. Returns 0 when written, 1 when the file cannot be created
// or an SDIF error stops the writing; the message goes to standard output, and the previous
// file under that name, if any, is left untouched.
[[nodiscard]] int write_analysis_file(const std::string& filename, const HeaderFacts& facts,
                                      const SdifHeaderOptions& header,
                                      const std::function<void(SDIFEntity&)>& write_frames);
