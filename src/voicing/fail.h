// The framed failure of a voicing analysis function.
#pragma once

#include "core/failure.h"

namespace voicing_detail {

// The failure printing "\n *** Error : <source> ***\n -> <why>\n" on standard output, status
// 1. Met only for arguments that no caller of the analysis chain can produce.
[[nodiscard]] Failure fail(const char* source, const char* why);

}  // namespace voicing_detail
