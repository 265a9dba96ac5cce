// Step 8: the 1PSO file.
#include <iostream>

#include "driver/pso_columns.h"
#include "driver/runstate.h"
#include "sdif/datato1PSO.h"

Status step_pso(const RunContext& c, const F0Result& f0, const VoicingResult& voicing,
                const MarkResult& marks, const HeaderFacts& header) {
  const PsoColumns p =
      pso_columns(marks.marks, c.sr, f0.track, f0.median, voicing.coef, voicing.cutoff);
  // The 1PSO file is the run's main result: a run that could not write it has failed.
  if (Status w = datato1PSO(c.files.pso, c.sr, p.time, p.position, p.f0, p.voicing_flag,
                            p.voicing_coef, p.cutoff, p.periods, p.mod, p.transient_flag, header);
      !w) {
    return w;
  }
  if (c.verbose) std::cout << "\n Writing 1PSO sdiff file.\n" << std::endl;
  return Status{};
}
