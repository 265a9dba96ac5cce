// The columns of the 1PSO file, one element per mark.
#pragma once

#include "tessel/tessel.h"

struct PsoColumns {
  tessel::TesselVector<double> time;            // mark time (s)
  tessel::TesselVector<double> position;        // sr * time (samples)
  tessel::TesselVector<double> f0;              // f0 track at the mark (Hz)
  tessel::TesselVector<double> voicing_flag;    // kind with 2 replaced by 0
  tessel::TesselVector<double> voicing_coef;    // coefficient track at the mark
  tessel::TesselVector<double> cutoff;          // cut-off track at the mark (Hz)
  tessel::TesselVector<double> periods;         // smallest spacing to a neighbour (samples)
  tessel::TesselVector<double> mod;             // f0 / median f0 - 1
  tessel::TesselVector<double> transient_flag;  // 1 for kind 2, else 0
};

// Assembles the columns from the mark table (row i: time t[i] in seconds, kind 1 voiced,
// 0 unvoiced, 2 transient), the sampling rate sr (Hz), the cleaned f0 track and its median
// (Hz), and the voicing coefficient and cut-off tracks; tracks are evaluated at the marks by
// the break-point rule. A lone mark has no neighbour: its period is sr / f0 at the mark (0 when
// that f0 is not positive).
[[nodiscard]] PsoColumns pso_columns(const tessel::TesselMatrix<double>& marks, double sr,
                                     const tessel::TesselMatrix<double>& f0_track, double f0_median,
                                     const tessel::TesselMatrix<double>& coef_track,
                                     const tessel::TesselMatrix<double>& cutoff_track);
