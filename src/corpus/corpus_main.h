// glotmark-corpus: analyses every sound of a corpus with glotmark into a mirrored output tree.
#pragma once

namespace corpus {

// The whole program: parses the command line and runs the mode it asks for. Returns the exit
// status: 0 every file analysed, 1 some failed or were not analysed, 2 bad command line or a
// run that could not start, 130 interrupted.
[[nodiscard]] int corpus_main(int argc, const char* const* argv);

}  // namespace corpus
