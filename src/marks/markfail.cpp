#include "marks/markfail.h"

#include <cstdio>
#include <cstdlib>

namespace marks_detail {

void markfail(const char* text, bool line_end) {
  std::fputs(text, stdout);
  if (line_end) std::fputc('\n', stdout);
  std::fflush(stdout);
  std::exit(1);
}

}  // namespace marks_detail
