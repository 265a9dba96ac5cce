// Step 8: the 1PSO file.
#include <iostream>

#include "driver/pso_columns.h"
#include "driver/runstate.h"
#include "sdif/datato1PSO.h"

void step_pso(RunState& s) {
  const PsoColumns c =
      pso_columns(s.marks, s.sr, s.f0_track, s.f0_median, s.voicing_coef, s.voicing_cutoff);
  // The 1PSO file is the run's main result: a run that could not write it has failed.
  if (datato1PSO(s.files.pso, s.sr, c.time, c.position, c.f0, c.voicing_flag, c.voicing_coef,
                 c.cutoff, c.periods, c.mod, c.transient_flag, s.header()) != 0) {
    error_end(s, "");
  }
  if (s.verbose) std::cout << "\n Writing 1PSO sdiff file.\n" << std::endl;
  normal_end(s);
}
