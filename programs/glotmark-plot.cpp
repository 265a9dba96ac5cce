// glotmark-plot: draws a sound and its analysis as one figure (PNG, SVG or PDF).
#include "plot/plot_main.h"

int main(int argc, char** argv) {
  return plot_main(argc, argv);
}
