// Ends the process after the framed error message of an analysis function.
#pragma once

namespace voicing_detail {

// Prints "\n *** Error : <source> ***\n -> <why>\n" on standard output and exits with
// status 1. Used only for arguments that no caller of the analysis chain can produce.
[[noreturn]] void fail(const char* source, const char* why);

}  // namespace voicing_detail
