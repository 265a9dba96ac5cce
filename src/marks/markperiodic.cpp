#include "marks/markperiodic.h"

#include "marks/bp_increasing.h"
#include "marks/localmaxvecteur.h"
#include "marks/lsm.h"

Expected<tessel::TesselVector<double>> markperiodic(const tessel::TesselVector<double>& data_v,
                                                    double sr,
                                                    const tessel::TesselMatrix<double>& f0_m,
                                                    long debut_n, long fin_n, double alpha,
                                                    double beta, double gamma, bool increasing) {
  const auto peaks = localmaxvecteur(data_v, sr, f0_m, debut_n, fin_n, alpha, 0.0, increasing);
  if (!peaks) return peaks.error();
  const auto& R = peaks.value();
  const long n = R.size();
  tessel::TesselVector<double> times(n, 0.0);
  for (long i = 0; i < n; ++i) times[i] = R[i].re;
  if (n < 3) return times;

  // Periods of the first n - 1 marks, peak times of all n.
  tessel::TesselVector<double> periods(n - 1, 0.0);
  for (long i = 0; i < n - 1; ++i) periods[i] = R[i].im;
  return lsm(periods, times, n - 1, beta, gamma);
}

Expected<tessel::TesselVector<double>> markperiodic(const tessel::TesselVector<double>& data_v,
                                                    double sr,
                                                    const tessel::TesselMatrix<double>& f0_m,
                                                    long debut_n, long fin_n, double alpha,
                                                    double beta, double gamma) {
  return markperiodic(data_v, sr, f0_m, debut_n, fin_n, alpha, beta, gamma, bp_increasing(f0_m));
}
