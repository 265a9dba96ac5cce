#include "marks/markfail.h"

#include <string>

namespace marks_detail {

Failure markfail(const char* text, bool line_end) {
  return Failure(std::string(text) + (line_end ? "\n" : ""));
}

}  // namespace marks_detail
