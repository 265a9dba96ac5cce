#include "marks/localmaxvecteur.h"

#include <algorithm>

#include "marks/bp_increasing.h"
#include "marks/evalbp_s.h"
#include "marks/localmax.h"
#include "marks/markfail.h"
#include "marks/messages.h"
#include "marks/roundsamples.h"

Expected<tessel::TesselVector<tessel::cplx<double>>> localmaxvecteur(
    const tessel::TesselVector<double>& data_v, double sr, const tessel::TesselMatrix<double>& f0_m,
    long debut_n, long fin_n, double alpha, double energy, bool increasing) {
  using marks_detail::roundsamples;
  if (debut_n < 0) return marks_detail::markfail(marks_msg::kLocalmaxvecteurDebut);
  if (fin_n > static_cast<long>(data_v.size()) - 1)
    return marks_detail::markfail(marks_msg::kLocalmaxvecteurFin);
  const double T0 = sr / evalbp_s(f0_m, static_cast<double>(debut_n) / sr, increasing);  // samples
  const long last_start = debut_n + roundsamples(T0);
  // A very high f0 against alpha would give a step of 0 samples, which never advances.
  const long step = std::max(1L, roundsamples(T0 / alpha));

  double best = 0.0;
  long best_start = debut_n;
  for (long s = debut_n; s <= last_start; s += step) {
    energy = 0.0;
    // The bounds are checked above and an empty stretch is allowed: this cannot fail.
    (void)localmax(data_v, sr, f0_m, s, fin_n, alpha, energy, increasing, true);
    if (energy > best) {
      best = energy;
      best_start = s;
    }
  }
  return localmax(data_v, sr, f0_m, best_start, fin_n, alpha, energy, increasing, false);
}

Expected<tessel::TesselVector<tessel::cplx<double>>> localmaxvecteur(
    const tessel::TesselVector<double>& data_v, double sr, const tessel::TesselMatrix<double>& f0_m,
    long debut_n, long fin_n, double alpha, double energy) {
  return localmaxvecteur(data_v, sr, f0_m, debut_n, fin_n, alpha, energy, bp_increasing(f0_m));
}
