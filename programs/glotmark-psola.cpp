// glotmark-psola: resynthesis of a sound from its pitch-mark analysis, with another pitch,
// duration or intonation. `glotmark-psola --help` lists the options.
#include "psola/psola_main.h"

int main(int argc, char** argv) {
  return psola_main(argc, argv);
}
