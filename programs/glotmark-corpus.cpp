// glotmark-corpus: analyses every sound file of a corpus with glotmark, on all cores through GNU
// parallel or as a Slurm array job, into an output tree that mirrors the corpus, and writes a
// summary of every file. `glotmark-corpus --help` lists the options.
#include "corpus/corpus_main.h"

int main(int argc, char** argv) {
  return corpus::corpus_main(argc, argv);
}
