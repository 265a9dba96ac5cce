// Assembly of the 1PSO columns.
#include "driver/pso_columns.h"

#include "driver/breakpoint_value.h"

PsoColumns pso_columns(const tessel::TesselMatrix<double>& marks, double sr,
                       const tessel::TesselMatrix<double>& f0_track, double f0_median,
                       const tessel::TesselMatrix<double>& coef_track,
                       const tessel::TesselMatrix<double>& cutoff_track) {
  const long n = marks.nrows();
  PsoColumns c;
  c.time = tessel::TesselVector<double>(n, 0.0);
  c.position = tessel::TesselVector<double>(n, 0.0);
  c.voicing_flag = tessel::TesselVector<double>(n, 0.0);
  c.periods = tessel::TesselVector<double>(n, 0.0);
  c.mod = tessel::TesselVector<double>(n, 0.0);
  c.transient_flag = tessel::TesselVector<double>(n, 0.0);
  for (long i = 0; i < n; ++i) c.time(i) = marks(i, 0);

  c.f0 = breakpoint_values(f0_track, c.time);
  c.voicing_coef = breakpoint_values(coef_track, c.time);
  c.cutoff = breakpoint_values(cutoff_track, c.time);

  const double* t = c.time.data();
  for (long i = 0; i < n; ++i) {
    const double kind = marks(i, 1);
    c.position(i) = sr * t[i];
    c.voicing_flag(i) = kind == 2.0 ? 0.0 : kind;
    c.transient_flag(i) = kind == 2.0 ? 1.0 : 0.0;
    c.mod(i) = c.f0(i) / f0_median - 1.0;
    if (n == 1) {
      c.periods(i) = c.f0(i) > 0.0 ? sr / c.f0(i) : 0.0;
    } else if (i == 0) {
      c.periods(i) = sr * (t[1] - t[0]);
    } else if (i == n - 1) {
      c.periods(i) = sr * (t[i] - t[i - 1]);
    } else {
      const double before = t[i] - t[i - 1];
      const double after = t[i + 1] - t[i];
      c.periods(i) = sr * (before < after ? before : after);
    }
  }
  return c;
}
