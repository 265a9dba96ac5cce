#include "voicing/fail.h"

#include <string>

#include "voicing/messages.h"

namespace voicing_detail {

Failure fail(const char* source, const char* why) {
  return Failure(std::string(voicing_msg::kErrorHead) + source + voicing_msg::kErrorTail + why +
                 "\n");
}

}  // namespace voicing_detail
