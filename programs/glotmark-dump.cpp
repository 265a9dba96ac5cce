// glotmark-dump: the analysis files as text, or as CSV/TSV tables for other programs.
#include "convert/dump_main.h"

int main(int argc, char** argv) {
  return dump_main(argc, argv);
}
