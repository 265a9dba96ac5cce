#include "core/failure.h"

#include <iostream>

void print_failure(const Failure& failure, std::ostream& out, std::ostream& err) {
  out << failure.text << std::flush;
  if (!failure.diagnostics.empty()) err << failure.diagnostics << std::flush;
}

void print_failure(const Failure& failure) {
  print_failure(failure, std::cout, std::cerr);
}
