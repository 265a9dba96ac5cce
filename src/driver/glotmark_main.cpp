// Entry of the analysis run.
#include "driver/glotmark_main.h"

#include <iostream>

#include "driver/check_cmdline.h"
#include "driver/cmdline.h"

int glotmark_main(int argc, char** argv) {
  gengetopt_args_info args;
  if (cmdline_parser(argc, argv, &args) != 0) return 1;
  CheckedOptions opts;
  if (check_cmdline(args, opts, std::cout) != 0) return 1;
  return 0;
}
