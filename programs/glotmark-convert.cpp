// glotmark-convert: analysis files to Praat, EST and CSV files, and f0 tracks of other programs
// to the 1FQ0 file that glotmark imports with -I.
#include "convert/convert_main.h"

int main(int argc, char** argv) {
  return convert_main(argc, argv);
}
