// glotmark: PSOLA analysis of one sound file.
#include "driver/glotmark_main.h"

int main(int argc, char** argv) {
  return glotmark_main(argc, argv);
}
