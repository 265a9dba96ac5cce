#include "voicing/fail.h"

#include <cstdio>
#include <cstdlib>

#include "voicing/messages.h"

namespace voicing_detail {

void fail(const char* source, const char* why) {
  std::printf("%s%s%s%s\n", voicing_msg::kErrorHead, source, voicing_msg::kErrorTail, why);
  std::fflush(stdout);
  std::exit(1);
}

}  // namespace voicing_detail
