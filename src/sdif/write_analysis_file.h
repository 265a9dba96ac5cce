#pragma once

#include <functional>
#include <string>

#include "core/failure.h"
#include "lumbra/lumbra.h"
#include "sdif/header_keys.h"
#include "sdif/sdifheader.h"

// Creates filename with the analysis-file header that header asks for, lets write_frames write
// the frames into it, then closes it. Fails with "cannot create" when the file cannot be
// created, "cannot write" (and the library's details) when an SDIF error stops the writing;
// the previous file under that name, if any, is then left untouched.
[[nodiscard]] Status write_analysis_file(const std::string& filename, const HeaderFacts& facts,
                                         const SdifHeaderOptions& header,
                                         const std::function<void(SDIFEntity&)>& write_frames);
